// What the Today item (Quorvane.dll) and its About program agree on, and
// what the bench and the tests drive them by: the item window's class and
// title, its private messages and the registry home of the About program's
// path. Nothing else passes between the two.
#pragma once

#include <windows.h>

// The item window, found by its class under the Today window.
#define ITEM_CLASS_NAME L"DashBoard"
#define ITEM_WINDOW_TITLE L"DashBoardScreen"

// Private messages of the item window, no parameters. The item posts the
// redraw to itself (it repaints at once); the About program sends the
// wake-up notice after the device has woken up.
#define WM_DASHBOARD_REDRAW (WM_USER + 4)
#define WM_DASHBOARD_WAKEUP (WM_USER + 15)
static_assert(WM_DASHBOARD_REDRAW == 1028 && WM_DASHBOARD_WAKEUP == 1039, "item messages");

// The About program's full path (REG_SZ), written by the installer under
// HKEY_LOCAL_MACHINE; the item starts it and registers it for wake-up.
#define ABOUT_LOCATION_KEY L"Software\\Tessel-Quarry\\Quorvane"
#define ABOUT_LOCATION_VALUE L"AboutLocation"
