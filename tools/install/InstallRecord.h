// What an install made, kept so that the uninstall takes exactly that away,
// and the plan of a run under way: each is text in one registry value (so
// never half written), ending in a checksum that is checked before anything
// in it is trusted.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Where the records of installed products live (under HKCU).
#define INSTALLED_RECORDS_KEY L"Software\\CeStandIn\\Installed"

// A registry value as it stands: `existed` false for none.
struct SavedValue {
  std::wstring key, name;  // "HKLM\Software\...", value name
  bool existed;
  DWORD type;
  std::vector<BYTE> data;
};

// One change of a run, undone after any part of it was done. The Drop kinds
// come after the commit: a folder or key removed when empty.
enum class ChangeKind { MakeFolder, MakeKey, SetValue, PlaceFile, RemoveFile, DropFolder, DropKey };
struct Change {
  ChangeKind kind;
  std::wstring path;                   // device path or "HKLM\..." key
  std::wstring text = {};              // PlaceFile: the desktop file it copies (a record: its hash)
  bool replaces = false;               // PlaceFile: a file stands at `path` now
  SavedValue before = {}, after = {};  // SetValue
};

// A plan, or (with no verb) the record of an install: the folders and keys
// it made, the files with their hash, each value with what it was before.
struct Plan {
  std::wstring verb, run;  // "install", "uninstall" or "" for a record; the run's id
  std::vector<Change> changes;
};

std::wstring PlanText(const Plan& plan);
// False for text that is not whole or not as PlanText writes it.
bool ParsePlan(const std::wstring& text, Plan* plan);

// A file's contents as 16 hex digits (FNV-1a); empty when it cannot be read.
std::wstring ContentHash(const std::wstring& desktopPath);

// The registry, by "HKLM\..." key names.

HKEY SplitKey(const std::wstring& key, std::wstring* path);
bool KeyExists(const std::wstring& key);
bool MakeKey(const std::wstring& key);
bool DeleteKeyIfEmpty(const std::wstring& key);  // true when it is gone
SavedValue ReadValue(const std::wstring& key, const std::wstring& name);
// Puts a value as `v` describes it: set to its data, or removed.
bool WriteValue(const SavedValue& v);
// A text value of ours: false when there is none.
bool ReadTextValue(const std::wstring& key, const wchar_t* name, std::wstring* text);
