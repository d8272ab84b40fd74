// The library's two exports, found by the host by ordinal only (240, 241).
#pragma once

#include "CeApi.h"

extern "C" HWND WINAPI InitializeCustomItem(TODAYLISTITEM* item, HWND parent);
extern "C" INT_PTR CALLBACK CustomItemOptionsDlgProc(HWND dialog, UINT message, WPARAM wParam,
                                                     LPARAM lParam);
