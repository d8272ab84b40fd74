#include "NeedsRefresh.h"

#include "Gauges.h"
#include "ItemState.h"
#include "ItemTap.h"

bool NeedsRefresh() {
  if (!ItemState.wakeupRegistered)
    RegisterWakeupLaunch();  // whatever it achieves, go on
  if (ItemState.initMode)
    return true;  // the start-up labels repaint until init mode ends
  if (ItemState.paintIncomplete)
    return true;  // a part was left out: draw it all again

  // Readings, also taken while the storage slot shows the clock.
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  const int percent = ShownCharge();
  ULONGLONG memoryFree = 0, memoryTotal = 0;
  const bool memoryRead = ItemState.status.Memory(&memoryFree, &memoryTotal);
  const DWORD memoryMB = ShownMegabytes(memoryRead, memoryFree);
  ULONGLONG cardTotal = 0, cardFree = 0;
  const BOOL found = ItemState.status.CardSpace(&cardTotal, &cardFree);

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
    if ((cardFree >> 20) != ItemState.shownCardFreeMB)
      return true;
    if (cardTotal != ItemState.shownCardTotalBytes)
      return true;
  }

  if (memoryMB != ItemState.shownMemoryFreeMB)
    return true;

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
