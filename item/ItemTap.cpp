#include "ItemTap.h"

#include <stdlib.h>

#include "ItemState.h"
#include "RegistryAccess.h"

static bool InGaugeZone(int x, const POINT& origin) {
  return x >= origin.x && x < origin.x + kGaugeTapWidth;
}

void OnItemTap(HWND /*window*/, int x, int /*y*/) {
  if (x < ItemState.batteryOrigin.x) {
    LaunchAboutProgram();
    return;
  }
  if (x < ItemState.batteryOrigin.x + kGaugeTapWidth) {
    ItemState.batteryShowsTime = !ItemState.batteryShowsTime;
    return;
  }
  if (InGaugeZone(x, ItemState.storageOrigin)) {
    // From the clock start over at the first card; from a card step to the
    // next one, which after the last card ends the walk (back to the clock).
    bool found = ItemState.storageShowsClock ? ItemState.status.FindFirstCard()
                                             : ItemState.status.FindNextCard();
    ItemState.storageShowsClock = !found;
    return;
  }
  if (InGaugeZone(x, ItemState.memoryOrigin))
    return;
  LaunchAboutProgram();
}

void LaunchAboutProgram() {
  RegistryAccess registry;
  wchar_t* path = nullptr;
  RegResult result = registry.GetString(HKEY_LOCAL_MACHINE, ABOUT_LOCATION_KEY,
                                        ABOUT_LOCATION_VALUE, &path);
  if (result == RegResult::Ok && path) {
    // Path only, no command line: the program shows its About dialog. Nothing
    // waits for it, so its handles are closed at once.
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(path, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                       &process)) {
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
  }
  free(path);
}

void RegisterWakeupLaunch() {
  RegistryAccess registry;
  wchar_t* path = nullptr;
  RegResult result = registry.GetString(HKEY_LOCAL_MACHINE, ABOUT_LOCATION_KEY,
                                        ABOUT_LOCATION_VALUE, &path);
  if (result == RegResult::Ok) {
    // Drop every earlier registration so exactly one stays, however often
    // the item registers (once per load of the library).
    CeRunAppAtEvent(path, NOTIFICATION_EVENT_NONE);
    BOOL ok = CeRunAppAtEvent(path, NOTIFICATION_EVENT_WAKEUP);
    ItemState.wakeupRegistered = ok != FALSE;
  }
  free(path);
}
