// The simulated device's state as this process holds it, shared by the device
// (SimulatedState.cpp, which answers the CE calls from it) and its control
// (control/SimulatedDevice.cpp, which writes it). Private to the stand-in: the
// system's code cannot see it.
#pragma once

#include <windows.h>

#include "CeTypes.h"

// Defaults of the simulated device.
static const DWORD defaultAcLine = AC_LINE_OFFLINE;
static const DWORD defaultBatteryPercent = 80;
static const DWORD defaultBatteryLifeTime = 7200;  // seconds
static const DWORD defaultBatteryVoltage = 3900;   // millivolts
static const DWORD soundPowerQueryBytes = sizeof(SYSTEM_POWER_STATUS_EX2);
static const DWORD defaultStoreSize = 16 << 20;
static const DWORD defaultStoreFree = 8 << 20;
static const ULONGLONG defaultMemoryTotal = 32 << 20;
static const ULONGLONG defaultMemoryAvail = 16 << 20;
static const ULONGLONG defaultCardTotal = 64 << 20;
static const ULONGLONG defaultCardFree = 32 << 20;
static const wchar_t defaultCardName[] = L"Storage Card";
// What the device holds: sizes up to 2048 GB, times in these years.
static const ULONGLONG largestBytes = 2048ULL << 30;
static const WORD firstYear = 1980, lastYear = 2099;

struct SimCard {
  DWORD number;  // the subkey Cards\<number>; cards enumerate in ascending number
  wchar_t name[MAX_PATH];
  ULONGLONG totalBytes;
  ULONGLONG freeBytes;
  bool queryFails;
};

struct SimState {
  BYTE acLine;
  BYTE batteryPercent;
  DWORD batteryLifeTime;
  DWORD batteryVoltage;
  DWORD powerQueryBytes;
  DWORD storeSize;
  DWORD storeFree;
  bool storeQueryFails;
  ULONGLONG memoryTotal;
  ULONGLONG memoryAvail;
  bool clockFrozen;
  bool tickSet;  // false: the machine's tick count
  DWORD tickCount;
  bool tickStamped;
  DWORD tickSetAt;
  bool timeSet;  // false: the machine's local time
  SYSTEMTIME localTime;
  bool timeStamped;
  DWORD timeSetAt;
  int cardCount;
  int cardCapacity;
  SimCard* cards;  // on the process heap, in enumeration order
};

// Room for one more card; false when memory runs out.
bool GrowCards(SimState* s);

// Holds the current copy of the device's state while a reading uses it: the
// copy is reloaded first if the device changed since it was loaded.
class StateReader {
public:
  StateReader();
  ~StateReader();
  StateReader(const StateReader&) = delete;
  StateReader& operator=(const StateReader&) = delete;
  const SimState* operator->() const;
};

// Writes that keep this process's copy good: `write` makes them (returning
// how many values it wrote, all counted by the clock's counter when `clock`,
// else by the general one) and `update` applies the same change to the copy,
// returning false when it cannot, so the next reading need not reload. A
// change from another process made before or between the writes makes the
// next reading reload instead.
void WriteThroughCalls(bool clock, LONG (*write)(void* context),
                       bool (*update)(void* context, SimState* s), void* context);

template <typename Write, typename Update>
void WriteThrough(bool clock, Write write, Update update) {
  struct Calls {
    Write& write;
    Update& update;
  } calls = {write, update};
  WriteThroughCalls(
      clock, [](void* c) -> LONG { return ((Calls*)c)->write(); },
      [](void* c, SimState* s) -> bool { return ((Calls*)c)->update(s); }, &calls);
}

// The clock's readings, and the conversions its values go through.
static const ULONGLONG fileTimePerMs = 10000;
DWORD SimulatedTickCount();
void SimulatedLocalTime(SYSTEMTIME* time);
// FILETIME units; 0 when `time` is not a valid date.
ULONGLONG SystemTimeToTicks(const SYSTEMTIME& time);
void TicksToSystemTime(ULONGLONG ticks, SYSTEMTIME* time);
// "YYYY-MM-DD hh:mm:ss" with optional ".mmm"; a 'T' may stand for the space.
bool ParseLocalTime(const wchar_t* text, SYSTEMTIME* time);
// `text` holds at least 24 characters.
void FormatLocalTime(const SYSTEMTIME& t, wchar_t* text);

// Whether a CE path ("\Storage Card", a trailing backslash allowed) names the card.
bool SameCardName(const wchar_t* path, const wchar_t* name);
