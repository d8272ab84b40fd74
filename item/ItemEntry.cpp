// The library's entry points: the two exports the Today shell finds by
// ordinal (see Quorvane.def) and the DLL entry point.
#include "ItemEntry.h"

#include "ItemState.h"
#include "ItemWindow.h"

// Loading constructs ItemState.status by static initialisation before this
// runs; there is nothing else to do for any reason.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
  return TRUE;
}

static void RegisterItemClass(HINSTANCE instance) {
  WNDCLASSW windowClass = {};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = ItemWndProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
  windowClass.lpszClassName = ITEM_CLASS_NAME;
  RegisterClassW(&windowClass);
}

// Ordinal 240: creates the item window under the host's window. Resets what
// the strip shows; the gauge modes chosen by taps survive.
extern "C" HWND WINAPI InitializeCustomItem(TODAYLISTITEM* item, HWND parent) {
  if (!item->fEnabled)
    return nullptr;
  ItemState.hInstance = item->hinstDLL;

  // Re-register so the class belongs to this load; either call may fail
  // (a window of the class still exists), which changes nothing.
  UnregisterClassW(ITEM_CLASS_NAME, nullptr);
  RegisterItemClass(item->hinstDLL);

  ItemState.firstQuery = true;
  ItemState.shownBatteryPercent = 0;
  ItemState.shownMemoryFreeMB = 0;
  ItemState.shownCardFreeMB = 0;
  ItemState.shownCardPresent = FALSE;
  ItemState.shownCardTotalBytes = 0;
  ItemState.shownBatteryHours = 0;
  ItemState.shownBatteryMinutes = 0;
  ItemState.shownBatteryTimeValid = false;

  ItemState.batteryOrigin = {35, 3};
  ItemState.storageOrigin = {105, 3};
  ItemState.memoryOrigin = {175, 3};
  ItemState.frameOrigin = {2, 2};

  return CreateWindowExW(0, ITEM_CLASS_NAME, ITEM_WINDOW_TITLE, WS_CHILD | WS_VISIBLE,
                         CW_USEDEFAULT, CW_USEDEFAULT, kItemWidth, 0, parent, nullptr,
                         ItemState.hInstance, nullptr);
}

// Ordinal 241: dialog procedure of the options dialog (template 500), which
// carries fixed text only and closes with its caption OK button.
extern "C" INT_PTR CALLBACK CustomItemOptionsDlgProc(HWND dialog, UINT message, WPARAM wParam,
                                                     LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        EndDialog(dialog, 1);
        return TRUE;
      }
      return FALSE;
    default:
      // Deliberate: the rest goes to DefWindowProcW, as on the device; the settings rely on it.
      return DefWindowProcW(dialog, message, wParam, lParam);
  }
}
