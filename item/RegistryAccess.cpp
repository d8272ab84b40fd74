// RegistryAccess. CloseKey calls RegCloseKey by hand: closing a key is one of
// the class's own operations, with its own result code. Everything else
// holds its keys in ScopedRegKey.
#include "RegistryAccess.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

// The access the item asks for when it opens a key: everything the key's
// security grants. Registries that ignore access masks take it as well.
static const REGSAM kKeyAccess = MAXIMUM_ALLOWED;

// Opens `subkey`, runs `op` on the key, closes it again.
// Deliberate: the close's result is not passed on; callers rely on the operation's own.
template <typename Op>
static RegResult WithKey(RegistryAccess& registry, HKEY root, const wchar_t* subkey, Op op) {
  HKEY key = nullptr;
  RegResult result = registry.OpenKey(root, subkey, &key);
  if (result != RegResult::Ok)
    return result;
  result = op(key);
  registry.CloseKey(key);
  return result;
}

RegResult RegistryAccess::OpenKey(HKEY root, const wchar_t* subkey, HKEY* key) {
  DWORD disposition = 0;
  LONG rc = RegCreateKeyExW(root, subkey, 0, nullptr, 0, kKeyAccess, nullptr, key, &disposition);
  return rc == ERROR_SUCCESS ? RegResult::Ok : RegResult::KeyOpenFailed;
}

RegResult RegistryAccess::CloseKey(HKEY key) {
  return RegCloseKey(key) == ERROR_SUCCESS ? RegResult::Ok : RegResult::KeyCloseFailed;
}

bool RegistryAccess::KeyExists(HKEY root, const wchar_t* subkey) {
  ScopedRegKey key;
  return RegOpenKeyExW(root, subkey, 0, 0, key.Out()) == ERROR_SUCCESS;
}

// --- Path-level operations ----------------------------------------------------

RegResult RegistryAccess::SetDword(HKEY root, const wchar_t* subkey, const wchar_t* name,
                                   DWORD value) {
  return WithKey(*this, root, subkey, [&](HKEY key) { return SetDword(key, name, value); });
}

RegResult RegistryAccess::SetString(HKEY root, const wchar_t* subkey, const wchar_t* name,
                                    const wchar_t* text) {
  return WithKey(*this, root, subkey, [&](HKEY key) { return SetString(key, name, text); });
}

RegResult RegistryAccess::SetBytes(HKEY root, const wchar_t* subkey, const wchar_t* name,
                                   const BYTE* data, DWORD size) {
  return WithKey(*this, root, subkey, [&](HKEY key) { return SetBytes(key, name, data, size); });
}

RegResult RegistryAccess::GetDword(HKEY root, const wchar_t* subkey, const wchar_t* name,
                                   DWORD* value) {
  return WithKey(*this, root, subkey, [&](HKEY key) { return GetDword(key, name, value); });
}

RegResult RegistryAccess::GetString(HKEY root, const wchar_t* subkey, const wchar_t* name,
                                    wchar_t** text) {
  return WithKey(*this, root, subkey, [&](HKEY key) { return GetString(key, name, text); });
}

RegResult RegistryAccess::GetBytes(HKEY root, const wchar_t* subkey, const wchar_t* name,
                                   BYTE** data, DWORD* size) {
  return WithKey(*this, root, subkey, [&](HKEY key) { return GetBytes(key, name, data, size); });
}

RegResult RegistryAccess::DeleteValue(HKEY root, const wchar_t* subkey, const wchar_t* name) {
  return WithKey(*this, root, subkey, [&](HKEY key) { return DeleteValue(key, name); });
}

RegResult RegistryAccess::DeleteKey(HKEY root, const wchar_t* subkey, const wchar_t* name) {
  return WithKey(*this, root, subkey, [&](HKEY key) { return DeleteKey(key, name); });
}

// --- Key-level operations -----------------------------------------------------

RegResult RegistryAccess::SetDword(HKEY key, const wchar_t* name, DWORD value) {
  if (!key)
    return RegResult::NoKey;
  LONG rc =
      RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
  return rc == ERROR_SUCCESS ? RegResult::Ok : RegResult::DwordWriteFailed;
}

RegResult RegistryAccess::SetString(HKEY key, const wchar_t* name, const wchar_t* text) {
  if (!key)
    return RegResult::NoKey;
  DWORD size = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
  LONG rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size);
  return rc == ERROR_SUCCESS ? RegResult::Ok : RegResult::WriteFailed;
}

RegResult RegistryAccess::SetBytes(HKEY key, const wchar_t* name, const BYTE* data, DWORD size) {
  if (!key)
    return RegResult::NoKey;
  LONG rc = RegSetValueExW(key, name, 0, REG_BINARY, data, size);
  return rc == ERROR_SUCCESS ? RegResult::Ok : RegResult::WriteFailed;
}

RegResult RegistryAccess::GetDword(HKEY key, const wchar_t* name, DWORD* value) {
  if (!key)
    return RegResult::NoKey;
  DWORD type = REG_DWORD;
  DWORD size = sizeof(DWORD);
  LONG rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  if (rc != ERROR_SUCCESS)
    return RegResult::ReadFailed;
  return type == REG_DWORD ? RegResult::Ok : RegResult::WrongType;
}

RegResult RegistryAccess::GetString(HKEY key, const wchar_t* name, wchar_t** text) {
  if (*text)
    return RegResult::OutputInUse;
  if (!key)
    return RegResult::NoKey;

  DWORD type = 0;
  DWORD size = 0;
  LONG first = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
  if (size == 0) {
    // A zero-length value reads as an empty string, whatever its type.
    if (first != ERROR_SUCCESS && first != ERROR_MORE_DATA)
      return RegResult::ReadFailed;
    wchar_t* empty = static_cast<wchar_t*>(malloc(sizeof(wchar_t)));
    if (!empty)
      return RegResult::OutOfMemory;
    empty[0] = L'\0';
    *text = empty;
    return RegResult::Ok;
  }

  // Room for the stored bytes rounded up to whole characters, plus a
  // terminator: a value stored without its terminating zero, or with an odd
  // byte count, still comes out as a terminated string.
  DWORD chars = (size + 1) / sizeof(wchar_t);
  size_t bytes = (static_cast<size_t>(chars) + 1) * sizeof(wchar_t);
  wchar_t* buffer = static_cast<wchar_t*>(malloc(bytes));
  if (!buffer)
    return RegResult::OutOfMemory;
  memset(buffer, 0, bytes);
  LONG second = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  if (second != ERROR_SUCCESS) {
    free(buffer);
    return second == ERROR_MORE_DATA ? RegResult::MoreData : RegResult::ReadFailed;
  }
  if (type != REG_SZ) {
    free(buffer);
    return RegResult::WrongType;
  }
  *text = buffer;
  return RegResult::Ok;
}

RegResult RegistryAccess::GetBytes(HKEY key, const wchar_t* name, BYTE** data, DWORD* size) {
  if (*data)
    return RegResult::OutputInUse;
  if (!key)
    return RegResult::NoKey;

  DWORD type = 0;
  LONG first = RegQueryValueExW(key, name, nullptr, &type, nullptr, size);
  if (first != ERROR_SUCCESS && first != ERROR_MORE_DATA)
    return RegResult::ReadFailed;
  // Two bytes more than the value: the platform may append a terminator to a
  // string-typed value (Wine writes one past a buffer of an odd size).
  BYTE* buffer = static_cast<BYTE*>(malloc(*size + sizeof(wchar_t)));
  if (!buffer)
    return RegResult::OutOfMemory;
  LONG rc = RegQueryValueExW(key, name, nullptr, &type, buffer, size);
  if (rc != ERROR_SUCCESS) {
    free(buffer);
    return rc == ERROR_MORE_DATA ? RegResult::MoreData : RegResult::ReadFailed;
  }
  if (type != REG_BINARY) {
    free(buffer);
    return RegResult::WrongType;
  }
  *data = buffer;
  return RegResult::Ok;
}

RegResult RegistryAccess::DeleteValue(HKEY key, const wchar_t* name) {
  if (!key)
    return RegResult::NoKey;
  return RegDeleteValueW(key, name) == ERROR_SUCCESS ? RegResult::Ok : RegResult::DeleteFailed;
}

RegResult RegistryAccess::DeleteKey(HKEY key, const wchar_t* name) {
  if (!key)
    return RegResult::NoKey;
  return RegDeleteKeyW(key, name) == ERROR_SUCCESS ? RegResult::Ok : RegResult::DeleteFailed;
}
