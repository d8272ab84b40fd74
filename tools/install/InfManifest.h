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
  std::wstring key;  // "ROOT\subkey", ROOT as written
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

// Reads the manifest at `path`; sources are found relative to its folder.
// False with `error` "<shown>: line N: what is wrong".
bool ReadInfManifest(const std::wstring& path, const std::wstring& shown, InfManifest* manifest,
                     std::wstring* error);

// "HKLM", "HKCU" as the manifest writes them; null for anything else.
HKEY RegistryRoot(const std::wstring& name);
