// What an install made, kept so that the uninstall takes exactly that away
// again, and the plan of a run under way. Each is text in one registry value
// under HKCU\Software\CeStandIn\Installed\<Provider AppName>, written in one
// call (so never half written) and ending in a checksum line that is checked
// before anything in it is trusted.
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

struct InstalledFile {
  std::wstring path, hash;  // device path, ContentHash of what was installed
};

struct Record {
  std::wstring run;                         // the run that wrote it
  std::vector<std::wstring> folders, keys;  // made by the install: device paths, "HKLM\..."
  std::vector<InstalledFile> files;
  std::vector<SavedValue> values;  // each value the install set, as it was before
};

// One change of a run. Each can be undone after any part of it was done;
// a file goes in under PATH.~new and an old one steps aside to PATH.~old.
enum class ChangeKind { MakeFolder, MakeKey, SetValue, PlaceFile, RemoveFile };
struct Change {
  ChangeKind kind;
  std::wstring path;         // device path or "HKLM\..." key
  std::wstring source;       // PlaceFile: the desktop file it copies
  bool replaces;             // PlaceFile: a file stands at `path` now
  SavedValue before, after;  // SetValue
};

struct Plan {
  std::wstring verb, run;  // "install" or "uninstall"; the run's id
  std::vector<Change> changes;
  // Once the run is past its point of no return: removed when they are empty.
  std::vector<std::wstring> emptyFolders, emptyKeys;
};

std::wstring RecordText(const Record& record);
std::wstring PlanText(const Plan& plan);
// False for text that is not whole or not as the two above write it.
bool ParseRecord(const std::wstring& text, Record* record);
bool ParsePlan(const std::wstring& text, Plan* plan);

// A file's contents as 16 hex digits (FNV-1a); empty when it cannot be read.
std::wstring ContentHash(const std::wstring& desktopPath);

// --- The registry, by "HKLM\..." key names --------------------------------

HKEY SplitKey(const std::wstring& key, std::wstring* path);
bool KeyExists(const std::wstring& key);
bool KeyIsEmpty(const std::wstring& key);  // no values, no subkeys
bool MakeKey(const std::wstring& key);
bool DeleteKeyIfEmpty(const std::wstring& key);  // true when it is gone
SavedValue ReadValue(const std::wstring& key, const std::wstring& name);
// Puts a value as `v` describes it: set to its data, or removed.
bool WriteValue(const SavedValue& v);
// A text value of ours: false when there is none.
bool ReadTextValue(const std::wstring& key, const wchar_t* name, std::wstring* text);
