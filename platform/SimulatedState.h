// The simulated device: one plain record in a named shared section, the same
// memory in every process of the session. A writer owns it while its sequence
// number is odd (taken by compare-and-swap from even, with the writer's process
// id beside it); a reader keeps what it copied only if the number was even and
// unchanged around the copy. The item reads a dozen values a paint: a few
// memory reads, where the registry costs a round trip to the wineserver each.
// A shell's way in is the device key (DeviceRegistry.cpp), never written back.
#pragma once

#include <windows.h>

#include "CeTypes.h"

#define SIM_DEVICE_KEY L"Software\\CeStandIn\\SimulatedDevice"

// What the device holds: sizes up to 2048 GiB, times in these years, this many cards.
static const ULONGLONG largestBytes = 2048ULL << 30;
static const WORD firstYear = 1980, lastYear = 2099;
static const int maxCards = 128, maxIgnored = 8;
static const ULONGLONG fileTimePerMs = 10000;
static const ULONGLONG unset = ~0ULL;  // a clock value not set: the machine's

// Which numbers a value takes, and how a shell stores it.
enum SimRange { Dword, Percent, LineStatus, Bytes, Date };

// The device's values, one row each: the name in the device key, what it
// takes, its default. The record, the key's reader, the setters and the
// table in docs/simulated-device.md (DeviceReadings.exe --values) come from here.
#define SIM_VALUES(X)                                                         \
  X(AcLine, ACLineStatus, LineStatus, AC_LINE_OFFLINE)                        \
  X(BatteryPercent, BatteryPercent, Percent, 80)                              \
  X(BatteryLifeTime, BatteryLifeTime, Dword, 7200)                            \
  X(BatteryVoltage, BatteryVoltage, Dword, 3900)                              \
  X(PowerQueryBytes, PowerQueryBytes, Dword, sizeof(SYSTEM_POWER_STATUS_EX2)) \
  X(StoreSize, StoreSize, Dword, 16 << 20)                                    \
  X(StoreFree, StoreFree, Dword, 8 << 20)                                     \
  X(StoreQueryFails, StoreQueryFails, Dword, 0)                               \
  X(MemoryTotal, MemoryTotal, Bytes, 32 << 20)                                \
  X(MemoryAvail, MemoryAvail, Bytes, 16 << 20)                                \
  X(ClockFrozen, ClockFrozen, Dword, 0)                                       \
  X(TickCount, TickCount, Dword, unset)                                       \
  X(TickSetAt, TickSetAt, Dword, unset)                                       \
  X(LocalTime, LocalTime, Date, unset)                                        \
  X(LocalTimeSetAt, LocalTimeSetAt, Dword, unset)                             \
  X(WakeupRefusals, WakeupRefusals, Dword, 0)

#define SIM_ID(id, name, range, fallback) id,
enum SimNumber { SIM_VALUES(SIM_ID) numberCount };
#undef SIM_ID

struct SimValue {
  const wchar_t* name;
  SimRange range;
  ULONGLONG fallback;
};
#define SIM_ROW(id, name, range, fallback) {L## #name, range, (ULONGLONG)(fallback)},
static const SimValue simValues[numberCount] = {SIM_VALUES(SIM_ROW)};
#undef SIM_ROW

// Whether the device holds `value` for a number of that range (a date in FILETIME units).
bool InRange(SimRange range, ULONGLONG value);

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
  ULONGLONG layout;  // simLayout: set by the process that made the section
  // The sequence number (low half; odd while a writer owns the record) and
  // the owning writer's process id (high half; 0 when even).
  volatile LONGLONG sequence;
  DWORD taken;  // 0 until the first process took the shell's values
  ULONGLONG numbers[numberCount];
  int cardCount;
  SimCard cards[maxCards];
  // From here on, what the device key held at the last look (TakeLook copies
  // it whole): one hash a value (0: absent), one for all the cards, and the
  // values ignored.
  DWORD seen[numberCount];
  DWORD cardsSeen;
  int ignoredCount;
  SimIgnored ignored[maxIgnored];
};
// Changes whenever the record does: the size, and a version for a change of the same size.
static const ULONGLONG simLayout = 3ULL << 32 | sizeof(SimDevice);

// The record, mapped on first use; the shell's values are taken then.
SimDevice* SharedDevice();

// Waits until no writer owns the record; returns its even sequence number.
LONGLONG UnownedSequence(SimDevice* d);

// Copies out what `copy` reads, again until no writer came in between. Card
// names stay terminated throughout a write (name[MAX_PATH - 1] is always 0),
// so a copy that is thrown away never runs off its card.
extern LONG deviceReadings;  // by this process, for SimDeviceReadings
template <typename Copy>
void ReadDevice(Copy copy) {
  InterlockedIncrement(&deviceReadings);
  SimDevice* d = SharedDevice();
  for (;;) {
    LONGLONG before = UnownedSequence(d);
    copy(*(const SimDevice*)d);
    __atomic_thread_fence(__ATOMIC_ACQUIRE);
    if (__atomic_load_n(&d->sequence, __ATOMIC_RELAXED) == before)
      return;
  }
}

// One write: `change` runs with the record owned by this thread. A change
// only computes and stores (no waits, no registry), so the record is owned
// for microseconds.
SimDevice* LockDevice(SimDevice* d);
void EndDeviceWrite(SimDevice* d);
template <typename Change>
void WriteDevice(Change change, SimDevice* d = SharedDevice()) {
  change(*LockDevice(d));
  EndDeviceWrite(d);
}

// Takes into the record what a shell changed in the device key since the
// device last looked. `reset` empties the key first and puts the record at
// its defaults.
void TakeShellValues(SimDevice* d, bool reset);

// The clock, read from the record at the machine's tick `now`.
DWORD TickOf(const SimDevice& d, DWORD now);
ULONGLONG LocalTimeOf(const SimDevice& d, DWORD now);

// The card a CE path names ("\Storage Card", a trailing backslash allowed); -1 for none.
int CardAt(const SimDevice& d, const wchar_t* path);

// The key, opened (made if need be) for reading and writing; the caller closes it.
HKEY OpenDeviceKey();

// What the key holds, as the device would take it: `look` gets every value
// at its default, replaced by each one present and sane; each other one
// present is noted as ignored, and `seen` gets a hash of each (0: absent).
// `reset` empties the key first. Marks the key as taken; says whether it was.
bool LookAtDeviceKey(bool reset, SimDevice* look);

// The wake-up registrations (WakeupPrograms.cpp): paths in a heap block, the
// last one empty; null only when memory runs out.
wchar_t* ReadWakeupPrograms();

// FILETIME units; 0 when `time` is not a valid time in firstYear..lastYear.
ULONGLONG SystemTimeToTicks(const SYSTEMTIME& time);
void TicksToSystemTime(ULONGLONG ticks, SYSTEMTIME* time);
// "YYYY-MM-DD hh:mm:ss" with optional ".mmm", a 'T' allowed for the blank, in
// the device's years; 0 otherwise.
ULONGLONG ParseLocalTime(const wchar_t* text);
