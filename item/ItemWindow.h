// The item window: class "DashBoard", one child window in the Today list.
#pragma once

#include "CeApi.h"
#include "DashboardContract.h"

// The strip's size; the window is created 0 high and the host lays it out at
// the height the refresh query reports.
const int kItemWidth = 240;
const int kItemHeight = 42;

LRESULT CALLBACK ItemWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
