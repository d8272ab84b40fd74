// The Today list as the shell builds it from the registry: one key per item
// under HKLM\Software\Microsoft\Today\Items, named after the item.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "CeTypes.h"

#define TODAY_ITEMS_KEY L"Software\\Microsoft\\Today\\Items"

// The custom items (Type 4, tlitCustom) whose Enabled is not 0, by Order
// (equal orders by name), each as the shell hands it to the item: szName is
// the key's name, szDLLPath its DLL (a device path), dwOrder, fEnabled,
// fOptions from Options and grfFlags from Flags. Values that are missing or
// not REG_DWORD read as 0. An item whose DLL is missing, not a device path or
// not on the device is left out and named, with why, in `skipped`.
std::vector<TODAYLISTITEM> ReadTodayList(std::wstring* skipped);

// The items the host shows, in order, with their DLLs as desktop paths in the
// device's file system. False when none is enabled, with the reason in
// `note`; otherwise `note` names the items left out, if any.
bool ChooseTodayItems(std::vector<TODAYLISTITEM>* items, std::vector<std::wstring>* dllPaths,
                      std::wstring* note);
