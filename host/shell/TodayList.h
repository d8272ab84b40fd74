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

// The custom items (Type 4) whose Enabled is not 0, by Order (equal orders by
// name), filled from their keys; a value missing or not REG_DWORD reads as 0.
// One whose DLL is not a file on the device goes into `leftOut`, by key and why.
std::vector<TodayListEntry> ReadTodayList(std::vector<std::wstring>* leftOut);
// A library named on the command line.
TodayListEntry EntryForLibrary(const std::wstring& dll, const std::wstring& shown);
