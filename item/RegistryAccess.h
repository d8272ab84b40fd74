// RegistryAccess: reads and writes single registry values. Every path-level
// operation opens its key (creating it when missing), does one thing with one
// value, closes the key and reports the outcome as a RegResult. The object
// holds nothing; construct one on the stack for a call or two.
#pragma once

#include "CeApi.h"

enum class RegResult : int {
  Ok = 0,
  DwordWriteFailed = 1,  // the platform refused to write a DWORD value
  WriteFailed = 2,       // ... a string or byte value
  ReadFailed = 3,        // missing value or any other read error
  MoreData = 4,          // the value grew between taking its size and reading it
  KeyOpenFailed = 5,     // the key could neither be opened nor created
  WrongType = 6,         // the value exists with another type
  NoKey = 7,             // a key-level operation got a null key
  KeyCloseFailed = 8,
  OutOfMemory = 9,
  DeleteFailed = 10,
  OutputInUse = 11,  // the output pointer already holds a buffer
};

class RegistryAccess {
public:
  RegistryAccess() {}
  virtual ~RegistryAccess() {}

  RegResult OpenKey(HKEY root, const wchar_t* subkey, HKEY* key);
  RegResult CloseKey(HKEY key);
  // True when the key exists; never creates it.
  bool KeyExists(HKEY root, const wchar_t* subkey);

  // Path-level operations: open, the key-level operation below, close.
  RegResult SetDword(HKEY root, const wchar_t* subkey, const wchar_t* name, DWORD value);
  RegResult SetString(HKEY root, const wchar_t* subkey, const wchar_t* name, const wchar_t* text);
  RegResult SetBytes(HKEY root, const wchar_t* subkey, const wchar_t* name, const BYTE* data,
                     DWORD size);
  RegResult GetDword(HKEY root, const wchar_t* subkey, const wchar_t* name, DWORD* value);
  RegResult GetString(HKEY root, const wchar_t* subkey, const wchar_t* name, wchar_t** text);
  RegResult GetBytes(HKEY root, const wchar_t* subkey, const wchar_t* name, BYTE** data,
                     DWORD* size);
  RegResult DeleteValue(HKEY root, const wchar_t* subkey, const wchar_t* name);
  RegResult DeleteKey(HKEY root, const wchar_t* subkey, const wchar_t* name);

  // Key-level operations on an open key. Buffers handed out through `text`
  // and `data` come from malloc and belong to the caller (free).
  RegResult SetDword(HKEY key, const wchar_t* name, DWORD value);
  RegResult SetString(HKEY key, const wchar_t* name, const wchar_t* text);
  RegResult SetBytes(HKEY key, const wchar_t* name, const BYTE* data, DWORD size);
  RegResult GetDword(HKEY key, const wchar_t* name, DWORD* value);
  RegResult GetString(HKEY key, const wchar_t* name, wchar_t** text);
  RegResult GetBytes(HKEY key, const wchar_t* name, BYTE** data, DWORD* size);
  RegResult DeleteValue(HKEY key, const wchar_t* name);
  RegResult DeleteKey(HKEY key, const wchar_t* name);
};
