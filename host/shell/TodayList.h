// The Today list as the shell builds it from the registry: one key per item
// under HKLM\Software\Microsoft\Today\Items, named after the item.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "CeTypes.h"

#define TODAY_ITEMS_KEY L"Software\\Microsoft\\Today\\Items"

// An item to load: the record the shell hands it, and its library.
struct TodayListEntry {
  TODAYLISTITEM item;
  std::wstring key;    // "Items\Quorvane"; empty for a library named on the command line
  std::wstring dll;    // the library as a desktop path
  std::wstring shown;  // the library as messages name it
};

// The custom items (Type 4, tlitCustom) whose Enabled is not 0, by Order
// (equal orders by name), each as the shell hands it to the item: szName is
// the key's name, szDLLPath its DLL (a device path), dwOrder, fEnabled,
// fOptions from Options and grfFlags from Flags. Values that are missing or
// not REG_DWORD read as 0. An item whose DLL is missing, not a device path or
// not a file on the device is left out, with a line in `leftOut` naming its
// key and why.
std::vector<TodayListEntry> ReadTodayList(std::vector<std::wstring>* leftOut);
// A library named on the command line, with the record the shell makes for it.
TodayListEntry EntryForLibrary(const std::wstring& dll, const std::wstring& shown);
