#include "ItemTap.h"

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
  AutoFree<wchar_t> path;
  RegResult result =
      registry.GetString(HKEY_LOCAL_MACHINE, ABOUT_LOCATION_KEY, ABOUT_LOCATION_VALUE, path.Out());
  if (result == RegResult::Ok && path) {
    // Path only, no command line: the program shows its About dialog.
    StartProgram(path, nullptr);
  }
}

void RegisterWakeupLaunch() {
  RegistryAccess registry;
  AutoFree<wchar_t> path;
  RegResult result =
      registry.GetString(HKEY_LOCAL_MACHINE, ABOUT_LOCATION_KEY, ABOUT_LOCATION_VALUE, path.Out());
  if (result == RegResult::Ok) {
    // Drop every earlier registration so exactly one stays, however often
    // the item registers (once per load of the library).
    CeRunAppAtEvent(path, NOTIFICATION_EVENT_NONE);
    BOOL ok = CeRunAppAtEvent(path, NOTIFICATION_EVENT_WAKEUP);
    ItemState.wakeupRegistered = ok != FALSE;
  }
}
