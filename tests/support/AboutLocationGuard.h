// The registry home of "AboutLocation", HKLM "Software\Tessel-Quarry\Quorvane":
// snapshots of the key, writes of the value, and a guard that puts the key's
// values back.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "TestSupport.h"

inline const wchar_t kQuorvaneKey[] = L"Software\\Tessel-Quarry\\Quorvane";
inline const wchar_t kAboutLocation[] = L"AboutLocation";

// The key's values (type and bytes), or exists = false.
struct RegValue {
  std::wstring name;
  DWORD type;
  std::vector<BYTE> data;
  bool operator==(const RegValue& o) const {
    return name == o.name && type == o.type && data == o.data;
  }
};
struct KeySnapshot {
  bool exists = false;
  DWORD subkeys = 0;
  std::vector<RegValue> values;
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
  DWORD values = 0, maxName = 0, maxData = 0;
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &snap.subkeys, nullptr, nullptr, &values,
                   &maxName, &maxData, nullptr, nullptr);
  for (DWORD i = 0; i < values; i++) {
    std::vector<wchar_t> name(maxName + 1);
    std::vector<BYTE> data(maxData + 1);
    DWORD nameLen = maxName + 1, dataLen = maxData + 1, type = 0;
    if (RegEnumValueW(key, i, name.data(), &nameLen, nullptr, &type, data.data(), &dataLen) !=
        ERROR_SUCCESS)
      continue;
    data.resize(dataLen);
    snap.values.push_back({std::wstring(name.data(), nameLen), type, data});
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
    for (const RegValue& v : saved.values)
      RegSetValueExW(key, v.name.c_str(), 0, v.type, v.data.data(), DWORD(v.data.size()));
    RegCloseKey(key);
  }
  // The saved path, or AboutDashboard.exe beside the test.
  std::wstring ValidPath() const {
    for (const RegValue& v : saved.values) {
      if (v.name != kAboutLocation || v.type != REG_SZ) continue;
      std::wstring text(reinterpret_cast<const wchar_t*>(v.data.data()), v.data.size() / 2);
      while (!text.empty() && text.back() == 0) text.pop_back();
      if (!text.empty()) return text;
    }
    return BesideTest(L"AboutDashboard.exe");
  }

  static inline AboutLocationGuard* active;

private:
  KeySnapshot saved;
};
