// The simulated device: one plain record in a named shared section, the same
// memory in every process of the session (the host with the item, the About
// program, tests, the session's keep-alive process). Private to the stand-in:
// the system's code cannot see it.
//
// Coherence, in one sentence: a writer owns the record while its sequence
// number is odd (taken by compare-and-swap from even, given back by the next
// even number), and a reader copies what it needs and keeps the copy only if
// the sequence number was even and unchanged around the copy.
//
// Why this and not the registry: the item asks for a dozen readings a paint,
// 43,200 times a simulated day; every registry call and every wait on a
// kernel object is a round trip to the wineserver, while this costs a few
// memory reads, and a write (a clock advance) a few memory writes. The
// registry is only the shell's way in (DeviceRegistry.cpp): what a shell
// changes under the device key is taken into the record as a write like any
// other, and the record is never written back there.
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
// What the device holds: sizes up to 2048 GB, times in these years, this many cards.
static const ULONGLONG largestBytes = 2048ULL << 30;
static const WORD firstYear = 1980, lastYear = 2099;
static const int maxCards = 128;
static const int maxIgnored = 8;
static const ULONGLONG fileTimePerMs = 10000;

// The device's numbers, indexed by their values' names in the device key
// (numberNames in DeviceRegistry.cpp, in this order).
enum SimNumber {
  AcLine,
  BatteryPercent,
  BatteryLifeTime,
  BatteryVoltage,
  PowerQueryBytes,
  StoreSize,
  StoreFree,
  StoreQueryFails,
  MemoryTotal,
  MemoryAvail,
  ClockFrozen,
  TickCount,
  TickSetAt,
  LocalTimeSetAt,
  numberCount
};
static const ULONGLONG unset = ~0ULL;  // TickCount not set: the machine's

struct SimCard {
  DWORD number;  // Cards\<number> when a shell made it; cards go in ascending number
  BOOL queryFails;
  ULONGLONG totalBytes;
  ULONGLONG freeBytes;
  wchar_t name[MAX_PATH];
};

struct SimIgnored {
  wchar_t name[48];   // "BatteryPercent", "Cards\\2\\TotalBytes"
  wchar_t value[32];  // as stored, cut to 31 characters
};

struct SimDevice {
  volatile LONG sequence;  // odd while a writer owns the record
  DWORD taken;             // 0 until the first process took the shell's values
  ULONGLONG numbers[numberCount];
  ULONGLONG localTime;  // FILETIME units; 0: the machine's
  int cardCount;
  SimCard cards[maxCards];
  // What the device key held at the device's last look, one hash a value
  // (0: absent) and one for all the cards; see TakeShellValues.
  DWORD seen[numberCount + 2];
  int ignoredCount;
  SimIgnored ignored[maxIgnored];
};

// The record, mapped on first use; the shell's values are taken then.
SimDevice* SharedDevice();

// Yields while another thread owns the record (`seen` is odd); see its
// definition for a writer that died owning it.
struct OwnerWait {
  LONG seen;    // even: not waiting yet
  DWORD since;  // when `seen` was first seen
};
void WaitWhileOwned(const SimDevice* d, LONG seen, OwnerWait* wait);

// Copies out what `copy` reads, again until no writer came in between. Card
// names stay terminated throughout a write (name[MAX_PATH - 1] is always 0),
// so a copy that is thrown away never runs off its card.
extern LONG deviceReadings;  // by this process, for SimDeviceReadings
template <typename Copy>
void ReadDevice(Copy copy) {
  InterlockedIncrement(&deviceReadings);
  const SimDevice* d = SharedDevice();
  OwnerWait wait = {};
  for (;;) {
    LONG before = __atomic_load_n(&d->sequence, __ATOMIC_ACQUIRE);
    if (!(before & 1)) {
      copy(*d);
      __atomic_thread_fence(__ATOMIC_ACQUIRE);
      if (__atomic_load_n(&d->sequence, __ATOMIC_RELAXED) == before)
        return;
    }
    WaitWhileOwned(d, before, &wait);
  }
}

// One write: `change` runs with the record owned by this thread. A change
// only computes and stores (no waits, no registry), so the record is owned
// for microseconds.
SimDevice* LockDevice(SimDevice* d);
void EndDeviceWrite(SimDevice* d);
template <typename Change>
void WriteDevice(Change change) {
  SimDevice* d = LockDevice(SharedDevice());
  change(*d);
  EndDeviceWrite(d);
}

// Takes into the record what a shell changed in the device key since the
// device last looked (DeviceRegistry.cpp). `reset` empties the key first and
// puts the record at its defaults.
void TakeShellValues(SimDevice* d, bool reset);
// Every number at its default, no cards, nothing ignored, the machine's clock.
void DefaultRecord(SimDevice* d);

// The clock, read from the record at the machine's tick `now`.
DWORD TickOf(const SimDevice& d, DWORD now);
ULONGLONG LocalTimeOf(const SimDevice& d, DWORD now);
// FILETIME units; 0 when `time` is not a valid date in firstYear..lastYear.
ULONGLONG SystemTimeToTicks(const SYSTEMTIME& time);
void TicksToSystemTime(ULONGLONG ticks, SYSTEMTIME* time);
// "YYYY-MM-DD hh:mm:ss" with optional ".mmm"; a 'T' may stand for the space.
bool ParseLocalTime(const wchar_t* text, SYSTEMTIME* time);

// Whether a CE path ("\Storage Card", a trailing backslash allowed) names the card.
bool SameCardName(const wchar_t* path, const wchar_t* name);
