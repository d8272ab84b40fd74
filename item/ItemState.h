// ItemState: the item's one process-wide state record. Every part of the item
// reads and writes its fields directly, on the host's user-interface thread.
// Everything is zero at load except `status`, which is constructed then.
#pragma once

#include "CeApi.h"
#include "DashboardContract.h"
#include "DeviceStatus.h"

struct ItemStateRecord {
  HINSTANCE hInstance;  // module the bitmaps are loaded from
  bool firstQuery;      // the next refresh query is the first since initialisation
  bool initMode;        // start-up labels are shown (after a wake-up notice)
  DWORD wakeTick;       // GetTickCount at the last wake-up notice
  COLORREF textColor;   // the host's text colour, read on every paint

  POINT frameOrigin;  // top-left corners of the strip's elements
  POINT batteryOrigin;
  POINT storageOrigin;
  POINT memoryOrigin;

  bool batteryShowsTime;   // battery label shows remaining time, not percent
  bool storageShowsClock;  // storage slot shows the analog clock
  bool wakeupRegistered;   // the About program runs at every wake-up
  bool paintIncomplete;    // the last paint left a part out (or none happened): repaint

  // What the last paint showed; the refresh decision compares against these.
  int shownBatteryPercent;
  bool shownBatteryTimeValid;
  int shownBatteryHours;
  int shownBatteryMinutes;
  BOOL shownCardPresent;
  ULONGLONG shownCardTotalBytes;
  DWORD shownCardFreeMB;
  DWORD shownMemoryFreeMB;
  SYSTEMTIME shownClockTime;

  DeviceStatus status;  // the one device probe, with the card walk's state
};

extern ItemStateRecord ItemState;
