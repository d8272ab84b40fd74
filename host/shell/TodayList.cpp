// The Today list, read from the registry as the Pocket PC shell reads it.
#include "TodayList.h"

#include <algorithm>

#include "DeviceFiles.h"
#include "ScopedWin.h"

namespace {

DWORD ReadNumber(HKEY items, const wchar_t* key, const wchar_t* name) {
  DWORD value = 0, bytes = sizeof value;
  return RegGetValueW(items, key, name, RRF_RT_REG_DWORD, nullptr, &value, &bytes) ? 0 : value;
}

// Why the shell could not load an enabled custom item's library; empty when it can try.
std::wstring Unloadable(HKEY items, const wchar_t* key, TodayListEntry* entry) {
  wchar_t dll[1024] = L"";
  DWORD bytes = sizeof dll - sizeof(wchar_t);
  LSTATUS read =
      RegGetValueW(items, key, L"DLL", RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr,
                   dll, &bytes);
  if (read == ERROR_MORE_DATA || (read == ERROR_SUCCESS && wcslen(dll) >= MAX_PATH))
    return L"its DLL value is longer than a device path may be (259 characters)";
  if (read != ERROR_SUCCESS || !dll[0])
    return L"it has no DLL value";
  lstrcpynW(entry->item.szDLLPath, dll, MAX_PATH);
  wchar_t path[MAX_PATH];
  DWORD attributes = IsPlainDevicePath(dll) && DeviceFilePath(dll, path, MAX_PATH)
                         ? GetFileAttributesW(path)
                         : INVALID_FILE_ATTRIBUTES;
  entry->dll = entry->shown = attributes == INVALID_FILE_ATTRIBUTES ? L"" : path;
  std::wstring its = L"its DLL " + std::wstring(dll);
  return !IsPlainDevicePath(dll)                 ? its + L" is not a device path"
         : attributes == INVALID_FILE_ATTRIBUTES ? its + L" is not on the device"
         : attributes & FILE_ATTRIBUTE_DIRECTORY ? its + L" is a folder"
                                                 : L"";
}

}  // namespace

std::vector<TodayListEntry> ReadTodayList(std::vector<std::wstring>* leftOut) {
  std::vector<TodayListEntry> list;
  ScopedRegKey items;  // none to enumerate when there is no such key
  RegOpenKeyExW(HKEY_LOCAL_MACHINE, TODAY_ITEMS_KEY, 0, KEY_READ, items.Out());
  wchar_t name[256];
  for (DWORD i = 0, chars = 256;
       RegEnumKeyExW(items, i, name, &chars, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, chars = 256) {
    TodayListEntry entry = {};
    entry.key = L"Items\\" + std::wstring(name);
    TODAYLISTITEM& item = entry.item;
    lstrcpynW(item.szName, name, ARRAYSIZE(item.szName));
    item.tlit = (TODAYLISTITEMTYPE)ReadNumber(items, name, L"Type");
    item.fEnabled = ReadNumber(items, name, L"Enabled") != 0;
    item.dwOrder = ReadNumber(items, name, L"Order");
    item.fOptions = ReadNumber(items, name, L"Options") != 0;
    item.grfFlags = ReadNumber(items, name, L"Flags");
    if (item.tlit != tlitCustom || !item.fEnabled)
      continue;
    std::wstring why = Unloadable(items, name, &entry);
    if (why.empty())
      list.push_back(entry);
    else
      leftOut->push_back(entry.key + L": " + why);
  }
  std::stable_sort(list.begin(), list.end(), [](const TodayListEntry& a, const TodayListEntry& b) {
    return a.item.dwOrder != b.item.dwOrder
               ? a.item.dwOrder < b.item.dwOrder
               : CompareStringOrdinal(a.key.c_str(), -1, b.key.c_str(), -1, TRUE) == CSTR_LESS_THAN;
  });
  return list;
}

TodayListEntry EntryForLibrary(const std::wstring& dll, const std::wstring& shown) {
  TodayListEntry entry = {};
  lstrcpynW(entry.item.szName, L"Quorvane", 32);
  lstrcpynW(entry.item.szDLLPath, dll.c_str(), MAX_PATH);
  entry.item.tlit = tlitCustom;
  entry.item.fEnabled = TRUE;
  entry.dll = dll;
  entry.shown = shown;
  return entry;
}
