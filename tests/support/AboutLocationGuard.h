// The About program's path under HKLM: writes of it, and a guard that puts it back.
#pragma once

#include <windows.h>

#include <vector>

#include "DashboardContract.h"

inline bool WriteAboutLocation(DWORD type, const void* data, DWORD bytes) {
  return RegSetKeyValueW(HKEY_LOCAL_MACHINE, ABOUT_LOCATION_KEY, ABOUT_LOCATION_VALUE, type, data,
                         bytes) == ERROR_SUCCESS;
}
inline bool WriteAboutLocation(const wchar_t* text) {  // REG_SZ, terminated
  return WriteAboutLocation(REG_SZ, text, DWORD((wcslen(text) + 1) * sizeof(wchar_t)));
}
inline void DeleteAboutLocation() {
  RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, ABOUT_LOCATION_KEY, ABOUT_LOCATION_VALUE);
}

// Saves the value (room for twice the longest a test writes) and puts it back
// at destruction, or removes it when there was none.
struct AboutLocationGuard {
  AboutLocationGuard() {
    saved = RegGetValueW(HKEY_LOCAL_MACHINE, ABOUT_LOCATION_KEY, ABOUT_LOCATION_VALUE,
                         RRF_RT_ANY | RRF_NOEXPAND, &type, data.data(), &size) == ERROR_SUCCESS;
  }
  ~AboutLocationGuard() {
    if (!saved)
      DeleteAboutLocation();
    else
      WriteAboutLocation(type, data.data(), size);
  }
  std::vector<BYTE> data = std::vector<BYTE>(1 << 17);
  DWORD size = DWORD(data.size()), type = 0;
  bool saved;
};
