// The install manifest: the subset of the device's CabWiz .inf format that
// DeviceInstall applies (docs/installing.md). Reading it checks everything
// that can be checked without touching the device.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct InfFile {
  std::wstring source;  // desktop path of the file to copy
  std::wstring target;  // device path it goes to
  int line;             // the copy section's line
};

struct InfValue {
  HKEY root;
  std::wstring key;   // "ROOT\subkey" as written, for messages and the record
  std::wstring path;  // the subkey under root
  std::wstring name;
  DWORD type;  // REG_SZ or REG_DWORD
  std::wstring text;
  DWORD number;
  bool keepExisting;  // FLG_ADDREG_NOCLOBBER
  int line;
};

struct InfManifest {
  std::wstring shown;     // the manifest as the user named it, for messages
  std::wstring provider;  // [Version] Provider
  std::wstring appName;   // "<Provider> <AppName>", the device's name for the install
  std::vector<InfFile> files;
  std::vector<InfValue> values;
};

// What a run of the installer comes to; the exit status is its number.
enum class InstallResult {
  Done = 0,
  RolledBack = 1,  // a change failed or the run was interrupted: what it changed is put back
  Refused = 2,     // a check before any change failed: nothing changed
  Stopped = 3,     // left off where a kill would (the tests' crash points)
};

// Strings expand to at most this many characters, nesting this deep; a
// manifest past either is refused.
const size_t kMaxExpanded = 1024;
const int kMaxNesting = 8;

// Reads the manifest at `path` (UTF-8, with or without a byte order mark;
// UTF-16 and ANSI text are refused by their line);
// sources are found relative to its folder. `error` gets
// "<shown>: line N: what is wrong" with Refused.
InstallResult ReadInfManifest(const std::wstring& path, const std::wstring& shown,
                              InfManifest* manifest, std::wstring* error);
// The same for text already read; `folder` is where relative sources start.
InstallResult ParseInfManifest(const std::string& utf8, const std::wstring& folder,
                               const std::wstring& shown, InfManifest* manifest,
                               std::wstring* error);

// "HKLM", "HKCU" as the manifest writes them; null for anything else.
HKEY RegistryRoot(const std::wstring& name);
