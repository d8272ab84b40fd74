#include "NeedsRefresh.h"

#include "ItemState.h"
#include "ItemTap.h"

bool NeedsRefresh() {
  if (!ItemState.wakeupRegistered)
    RegisterWakeupLaunch();  // whatever it achieves, go on
  if (ItemState.initMode)
    return true;  // the start-up labels repaint until init mode ends

  // Readings, also taken while the storage slot shows the clock.
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  bool acOnline = false;
  int percent = 0;
  int voltage = 0;
  ItemState.status.PowerStatus(&acOnline, &percent, &voltage);
  ULONGLONG memoryMB = ItemState.status.MemoryFreeBytes() >> 20;
  BOOL found = FALSE;
  ULONGLONG cardTotal = ItemState.status.CardTotalBytes(&found);

  // Storage slot: the clock's minute, or the selected card's figures.
  bool minuteTurned = now.wMinute != ItemState.shownClockTime.wMinute;
  if (ItemState.storageShowsClock) {
    if (minuteTurned)
      return true;
  } else if (found != ItemState.shownCardPresent) {
    return true;
  } else if (!found) {
    if (minuteTurned)  // no card is read, so the slot shows the clock
      return true;
  } else {
    if ((ItemState.status.CardFreeBytes() >> 20) != ItemState.shownCardFreeMB)
      return true;
    if (cardTotal != ItemState.shownCardTotalBytes)
      return true;
  }

  if (memoryMB != ItemState.shownMemoryFreeMB)
    return true;

  if (percent > 100)
    percent = 100;  // as the battery gauge shows it (255: not available)
  if (percent != ItemState.shownBatteryPercent)
    return true;

  // The remaining time counts in either label mode.
  int hours = 0;
  int minutes = 0;
  int seconds = 0;
  bool valid = ItemState.status.BatteryTime(&hours, &minutes, &seconds);
  if (valid != ItemState.shownBatteryTimeValid)
    return true;
  if (valid && hours != ItemState.shownBatteryHours)
    return true;
  if (valid && minutes != ItemState.shownBatteryMinutes)
    return true;
  return false;
}
