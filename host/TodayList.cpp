// Reads the Today list from the registry, as the Pocket PC shell does when it
// builds the Today screen.
#include "TodayList.h"

#include <algorithm>

#include "DeviceFiles.h"
#include "ScopedWin.h"

namespace {

DWORD ReadNumber(HKEY key, const wchar_t* name) {
  DWORD value = 0, type = 0, bytes = sizeof value;
  if (RegQueryValueExW(key, name, nullptr, &type, (BYTE*)&value, &bytes) != ERROR_SUCCESS ||
      type != REG_DWORD || bytes != sizeof value) {
    return 0;
  }
  return value;
}

bool ReadItem(HKEY items, const wchar_t* name, TODAYLISTITEM* item) {
  ScopedRegKey key;
  if (RegOpenKeyExW(items, name, 0, KEY_READ, key.Out()) != ERROR_SUCCESS) return false;
  ZeroMemory(item, sizeof *item);
  lstrcpynW(item->szName, name, ARRAYSIZE(item->szName));
  item->tlit = (TODAYLISTITEMTYPE)ReadNumber(key, L"Type");
  item->fEnabled = ReadNumber(key, L"Enabled") != 0;
  item->dwOrder = ReadNumber(key, L"Order");
  item->fOptions = ReadNumber(key, L"Options") != 0;
  item->grfFlags = ReadNumber(key, L"Flags");
  DWORD type = 0, bytes = sizeof item->szDLLPath - sizeof(WCHAR);
  if (RegQueryValueExW(key, L"DLL", nullptr, &type, (BYTE*)item->szDLLPath, &bytes) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    item->szDLLPath[0] = L'\0';
  }
  return item->tlit == tlitCustom && item->fEnabled && item->szDLLPath[0];
}

}  // namespace

std::vector<TODAYLISTITEM> ReadTodayList() {
  std::vector<TODAYLISTITEM> list;
  ScopedRegKey items;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TODAY_ITEMS_KEY, 0, KEY_READ, items.Out()) !=
      ERROR_SUCCESS) {
    return list;
  }
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD chars = ARRAYSIZE(name);
    if (RegEnumKeyExW(items, i, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    TODAYLISTITEM item;
    if (ReadItem(items, name, &item)) list.push_back(item);
  }
  std::stable_sort(list.begin(), list.end(), [](const TODAYLISTITEM& a, const TODAYLISTITEM& b) {
    return a.dwOrder != b.dwOrder ? a.dwOrder < b.dwOrder
                                  : CompareStringOrdinal(a.szName, -1, b.szName, -1, TRUE) ==
                                        CSTR_LESS_THAN;
  });
  return list;
}

bool ChooseTodayItem(TODAYLISTITEM* item, std::wstring* dllPath, std::wstring* note) {
  std::vector<TODAYLISTITEM> list = ReadTodayList();
  note->clear();
  if (list.empty()) {
    *note = L"no Today item is enabled (a custom item, Type 4, under HKLM\\" TODAY_ITEMS_KEY
            L"); install one with DeviceInstall.exe install, or name one with --dll";
    return false;
  }
  *item = list[0];
  for (size_t i = 1; i < list.size(); ++i) {
    *note += (note->empty() ? L"shows the first item only; also enabled: " : L", ") +
             std::wstring(list[i].szName);
  }
  wchar_t path[MAX_PATH];
  DeviceFilePath(item->szDLLPath, path, MAX_PATH);
  *dllPath = path;
  return true;
}
