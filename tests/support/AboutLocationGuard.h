// The registry home of "AboutLocation", HKLM "Software\Tessel-Quarry\Quorvane":
// snapshots of the key, writes of the value, and a guard that puts the key's
// values back.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"

inline const wchar_t kQuorvaneKey[] = L"Software\\Tessel-Quarry\\Quorvane";
inline const wchar_t kAboutLocation[] = L"AboutLocation";

// The key's subkey count and values (name: type and bytes); no key: !exists.
struct KeySnapshot {
  bool exists = false;
  DWORD subkeys = 0;
  std::map<std::wstring, std::pair<DWORD, std::vector<BYTE>>> values;
  bool operator==(const KeySnapshot& o) const {
    return exists == o.exists && subkeys == o.subkeys && values == o.values;
  }
};

inline KeySnapshot SnapshotQuorvaneKey() {
  KeySnapshot snap;
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kQuorvaneKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return snap;
  snap.exists = true;
  RegQueryInfoKeyW(key, 0, 0, 0, &snap.subkeys, 0, 0, 0, 0, 0, 0, 0);
  std::vector<BYTE> data(70000);
  wchar_t name[256];
  for (DWORD i = 0;; i++) {
    DWORD nameLength = 256, size = DWORD(data.size()), type = 0;
    if (RegEnumValueW(key, i, name, &nameLength, 0, &type, data.data(), &size) != ERROR_SUCCESS)
      break;
    snap.values[name] = {type, std::vector<BYTE>(data.begin(), data.begin() + size)};
  }
  RegCloseKey(key);
  return snap;
}

inline bool WriteAboutLocation(DWORD type, const void* data, DWORD bytes) {
  HKEY key;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kQuorvaneKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  LONG r = RegSetValueExW(key, kAboutLocation, 0, type, static_cast<const BYTE*>(data), bytes);
  RegCloseKey(key);
  return r == ERROR_SUCCESS;
}

inline bool WriteAboutLocation(const std::wstring& text) {  // REG_SZ, terminated
  return WriteAboutLocation(REG_SZ, text.c_str(), DWORD((text.size() + 1) * sizeof(wchar_t)));
}

inline void DeleteAboutLocation() {
  RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kQuorvaneKey, kAboutLocation);
}

inline void DeleteQuorvaneKey() { RegDeleteKeyW(HKEY_LOCAL_MACHINE, kQuorvaneKey); }

// Saves the key's values (the installer's "AboutLocation") and puts them back
// at destruction, also after a test deleted the whole key; `active` lets a
// crash handler put them back too.
class AboutLocationGuard {
public:
  AboutLocationGuard() : saved(SnapshotQuorvaneKey()) { active = this; }
  ~AboutLocationGuard() {
    Restore();
    active = nullptr;
  }
  void Restore() {
    DeleteAboutLocation();
    HKEY key;
    if (!saved.exists || RegCreateKeyExW(HKEY_LOCAL_MACHINE, kQuorvaneKey, 0, nullptr, 0,
                                         KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
      return;
    for (const auto& [name, value] : saved.values)
      RegSetValueExW(key, name.c_str(), 0, value.first, value.second.data(),
                     DWORD(value.second.size()));
    RegCloseKey(key);
  }
  // The saved path, or AboutDashboard.exe beside the test.
  std::wstring ValidPath() const {
    auto found = saved.values.find(kAboutLocation);
    if (found == saved.values.end() || found->second.first != REG_SZ)
      return BesideTest(L"AboutDashboard.exe");
    const std::vector<BYTE>& bytes = found->second.second;
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2).c_str();
  }

  static inline AboutLocationGuard* active;

private:
  KeySnapshot saved;
};
