// The wake-up path: find the item window in the Today screen and tell it that
// the device has just woken up.
#include "AboutProgram.h"

void NotifyItemOfWakeup() {
  HWND today = FindWindowW(TODAY_WINDOW_CLASS, nullptr);
  if (!today) {
    return;
  }
  HWND item = FindItemWindow(today);
  if (!item) {
    return;
  }
  // Synchronous: returns once the item has noted the wake-up.
  SendMessageW(item, WM_DASHBOARD_WAKEUP, 0, 0);
}

// Depth-first, pre-order: a window, then its children, then its later
// siblings.
// Deliberate: a window whose class name cannot be read ends its branch, as on the device.
HWND FindItemWindow(HWND window) {
  while (window) {
    wchar_t className[260];
    if (GetClassNameW(window, className, 260) == 0) {
      return nullptr;
    }
    if (wcscmp(className, ITEM_CLASS_NAME) == 0) {
      return window;
    }
    if (HWND found = FindItemWindow(GetWindow(window, GW_CHILD))) {
      return found;
    }
    window = GetWindow(window, GW_HWNDNEXT);
  }
  return nullptr;
}
