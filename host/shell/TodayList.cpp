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

// An enabled custom item whose library the shell could not load is left out,
// with the reason in `skipped`: the others still show.
bool ReadItem(HKEY items, const wchar_t* name, TODAYLISTITEM* item, std::wstring* skipped) {
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
  if (item->tlit != tlitCustom || !item->fEnabled) return false;
  wchar_t path[MAX_PATH];
  const wchar_t* why = !item->szDLLPath[0] ? L"has no DLL"
                       : !IsPlainDevicePath(item->szDLLPath) ? L"has a DLL that is not a device path"
                       : !DeviceFilePath(item->szDLLPath, path, MAX_PATH) ||
                               GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES
                           ? L"has a DLL that is not on the device"
                           : nullptr;
  if (why) {
    *skipped += (skipped->empty() ? L"" : L"; ") + std::wstring(name) + L" " + why + L" (" +
                item->szDLLPath + L")";
  }
  return !why;
}

}  // namespace

std::vector<TODAYLISTITEM> ReadTodayList(std::wstring* skipped) {
  std::vector<TODAYLISTITEM> list;
  skipped->clear();
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
    if (ReadItem(items, name, &item, skipped)) list.push_back(item);
  }
  std::stable_sort(list.begin(), list.end(), [](const TODAYLISTITEM& a, const TODAYLISTITEM& b) {
    return a.dwOrder != b.dwOrder ? a.dwOrder < b.dwOrder
                                  : CompareStringOrdinal(a.szName, -1, b.szName, -1, TRUE) ==
                                        CSTR_LESS_THAN;
  });
  return list;
}

bool ChooseTodayItems(std::vector<TODAYLISTITEM>* items, std::vector<std::wstring>* dllPaths,
                      std::wstring* note) {
  std::wstring skipped;
  *items = ReadTodayList(&skipped);
  note->clear();
  if (items->empty()) {
    *note = L"no Today item is enabled (a custom item, Type 4, under HKLM\\" TODAY_ITEMS_KEY
            L"); install one with DeviceInstall.exe install, or name one with --dll";
    if (!skipped.empty()) *note += L"; left out: " + skipped;
    return false;
  }
  if (!skipped.empty()) *note = L"left out: " + skipped;
  dllPaths->clear();
  for (const TODAYLISTITEM& item : *items) {
    wchar_t path[MAX_PATH];
    DeviceFilePath(item.szDLLPath, path, MAX_PATH);  // fits: the list checked it
    dllPaths->push_back(path);
  }
  return true;
}
