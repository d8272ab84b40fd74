// The simulated device's record (see SimulatedState.h for its one rule) and
// the CE readings that answer from it.
#define CE_PLATFORM_IMPLEMENTATION
#include "SimulatedState.h"

#include "CeApi.h"
#include "Device.h"

#define BATTERY_CHEMISTRY_LION 0x04

// --- The record ---------------------------------------------------------------------

// Set once by MapDevice under mapOnce, read without a lock after: the pointer
// never changes once set.
static SimDevice* device;
LONG deviceReadings;
static INIT_ONCE mapOnce = INIT_ONCE_STATIC_INIT;

// The section lives while a process of the session maps it (the session's
// keep-alive process does, throughout); a process that finds none makes it
// and takes the device key's values into it. Without shared memory the
// process keeps a device of its own.
static BOOL CALLBACK MapDevice(PINIT_ONCE, void*, void**) {
  HANDLE section = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      sizeof(SimDevice), L"Local\\CeStandIn.SimulatedDevice");
  void* view = section ? MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SimDevice))
                       : nullptr;  // mapped for the life of the process
  if (!view)
    view = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(SimDevice));
  if (!view)
    return FALSE;
  TakeShellValues((SimDevice*)view, false);
  __atomic_store_n(&device, (SimDevice*)view, __ATOMIC_RELEASE);
  return TRUE;
}

SimDevice* SharedDevice() {
  SimDevice* d = __atomic_load_n(&device, __ATOMIC_ACQUIRE);
  if (!d) {
    InitOnceExecuteOnce(&mapOnce, MapDevice, nullptr, nullptr);
    d = device;
  }
  if (!d)
    FatalAppExitW(0, L"The simulated device has no memory.");
  return d;
}

// A writer that died owning the record would stop every other process: after
// two seconds on the same odd number, the record is taken back (its last
// write perhaps half made). Writes take microseconds, so no live writer is
// ever taken from.
void WaitWhileOwned(const SimDevice* d, LONG seen, OwnerWait* wait) {
  DWORD now = GetTickCount();
  if (!(seen & 1) || wait->seen != seen) {
    wait->seen = seen;
    wait->since = now;
  } else if (now - wait->since > 2000) {
    InterlockedCompareExchange(&const_cast<SimDevice*>(d)->sequence, seen + 1, seen);
  }
  SwitchToThread();
}

SimDevice* LockDevice(SimDevice* d) {
  OwnerWait wait = {};
  for (;;) {
    LONG seen = d->sequence;
    if (!(seen & 1) && InterlockedCompareExchange(&d->sequence, seen + 1, seen) == seen)
      return d;
    WaitWhileOwned(d, seen, &wait);
  }
}

void EndDeviceWrite(SimDevice* d) {
  InterlockedIncrement(&d->sequence);
}

static const ULONGLONG defaults[numberCount] = {defaultAcLine,
                                                defaultBatteryPercent,
                                                defaultBatteryLifeTime,
                                                defaultBatteryVoltage,
                                                soundPowerQueryBytes,
                                                defaultStoreSize,
                                                defaultStoreFree,
                                                0,
                                                defaultMemoryTotal,
                                                defaultMemoryAvail,
                                                0,
                                                unset,
                                                0,
                                                0};

void DefaultRecord(SimDevice* d) {
  CopyMemory(d->numbers, defaults, sizeof(defaults));
  d->localTime = 0;
  d->cardCount = 0;
  d->ignoredCount = 0;
}

// --- Clock ------------------------------------------------------------------
// The record holds the tick count and local time as set, each with the
// machine's tick when it was set. A running clock reads the value set plus
// the machine time passed since; a frozen one reads the value set. An unset
// clock reads the machine's own.

DWORD TickOf(const SimDevice& d, DWORD now) {
  if (d.numbers[TickCount] == unset)
    return now;
  DWORD since = d.numbers[ClockFrozen] ? 0 : now - (DWORD)d.numbers[TickSetAt];
  return (DWORD)d.numbers[TickCount] + since;
}

ULONGLONG LocalTimeOf(const SimDevice& d, DWORD now) {
  if (!d.localTime) {
    SYSTEMTIME machine;
    GetLocalTime(&machine);
    FILETIME ft;
    SystemTimeToFileTime(&machine, &ft);
    return ((ULONGLONG)ft.dwHighDateTime << 32) | ft.dwLowDateTime;
  }
  DWORD since = d.numbers[ClockFrozen] ? 0 : now - (DWORD)d.numbers[LocalTimeSetAt];
  return d.localTime + since * fileTimePerMs;
}

ULONGLONG SystemTimeToTicks(const SYSTEMTIME& time) {
  FILETIME ft;
  if (time.wYear < firstYear || time.wYear > lastYear || !SystemTimeToFileTime(&time, &ft)) {
    return 0;
  }
  return ((ULONGLONG)ft.dwHighDateTime << 32) | ft.dwLowDateTime;
}

void TicksToSystemTime(ULONGLONG ticks, SYSTEMTIME* time) {
  FILETIME ft;
  ft.dwLowDateTime = (DWORD)ticks;
  ft.dwHighDateTime = (DWORD)(ticks >> 32);
  FileTimeToSystemTime(&ft, time);
}

// Reads `count` decimal digits.
static bool ReadDigits(const wchar_t*& text, int count, WORD* value) {
  WORD n = 0;
  for (int i = 0; i < count; i++, text++) {
    if (*text < L'0' || *text > L'9') {
      return false;
    }
    n = (WORD)(n * 10 + (*text - L'0'));
  }
  *value = n;
  return true;
}

static bool Expect(const wchar_t*& text, wchar_t c) {
  if (*text != c) {
    return false;
  }
  text++;
  return true;
}

bool ParseLocalTime(const wchar_t* text, SYSTEMTIME* time) {
  SYSTEMTIME t = {};
  if (!ReadDigits(text, 4, &t.wYear) || !Expect(text, L'-') || !ReadDigits(text, 2, &t.wMonth) ||
      !Expect(text, L'-') || !ReadDigits(text, 2, &t.wDay) ||
      !(Expect(text, L' ') || Expect(text, L'T')) || !ReadDigits(text, 2, &t.wHour) ||
      !Expect(text, L':') || !ReadDigits(text, 2, &t.wMinute) || !Expect(text, L':') ||
      !ReadDigits(text, 2, &t.wSecond)) {
    return false;
  }
  if (*text == L'.' && !(++text, ReadDigits(text, 3, &t.wMilliseconds))) {
    return false;
  }
  ULONGLONG ticks = *text == 0 ? SystemTimeToTicks(t) : 0;
  if (ticks == 0) {
    return false;
  }
  TicksToSystemTime(ticks, time);  // fills in the day of the week
  return true;
}

static DWORD SimTickCount() {
  DWORD now = GetTickCount(), tick = 0;
  ReadDevice([&](const SimDevice& d) { tick = TickOf(d, now); });
  return tick;
}

static void SimLocalTime(SYSTEMTIME* time) {
  DWORD now = GetTickCount();
  ULONGLONG ticks = 0;
  ReadDevice([&](const SimDevice& d) { ticks = LocalTimeOf(d, now); });
  TicksToSystemTime(ticks, time);
}

// --- Power --------------------------------------------------------------------

static BYTE BatteryFlagFor(BYTE acLine, BYTE percent) {
  if (percent == BATTERY_PERCENTAGE_UNKNOWN) {
    return BATTERY_FLAG_UNKNOWN;
  }
  BYTE flag =
      percent <= 5 ? BATTERY_FLAG_CRITICAL : (percent < 33 ? BATTERY_FLAG_LOW : BATTERY_FLAG_HIGH);
  if (acLine == AC_LINE_ONLINE && percent < 100) {
    flag |= BATTERY_FLAG_CHARGING;
  }
  return flag;
}

static DWORD SimPowerStatus(SYSTEM_POWER_STATUS_EX2* status, DWORD length) {
  ULONGLONG n[PowerQueryBytes + 1];
  ReadDevice([&](const SimDevice& d) { CopyMemory(n, d.numbers, sizeof(n)); });
  SYSTEM_POWER_STATUS_EX2 s = {};
  s.ACLineStatus = (BYTE)n[AcLine];
  s.BatteryLifePercent = (BYTE)n[BatteryPercent];
  s.BatteryFlag = BatteryFlagFor(s.ACLineStatus, s.BatteryLifePercent);
  s.BatteryLifeTime = (DWORD)n[BatteryLifeTime];
  s.BatteryFullLifeTime = BATTERY_LIFE_UNKNOWN;
  s.BackupBatteryFlag = BATTERY_FLAG_HIGH;
  s.BackupBatteryLifePercent = 100;
  s.BackupBatteryLifeTime = BATTERY_LIFE_UNKNOWN;
  s.BackupBatteryFullLifeTime = BATTERY_LIFE_UNKNOWN;
  s.BatteryVoltage = (DWORD)n[BatteryVoltage];
  s.BatteryChemistry = BATTERY_CHEMISTRY_LION;
  // Fault: a driver that fills fewer bytes than asked for.
  DWORD bytes = (DWORD)n[PowerQueryBytes];
  if (bytes > sizeof(s)) {
    bytes = sizeof(s);
  }
  if (bytes > length) {
    bytes = length;
  }
  CopyMemory(status, &s, bytes);
  if (bytes == 0) {
    SetLastError(ERROR_GEN_FAILURE);
  }
  return bytes;
}

// --- Object store and program memory -------------------------------------------

static BOOL SimStoreInformation(STORE_INFORMATION* info) {
  ULONGLONG size = 0, free = 0, fails = 0;
  ReadDevice([&](const SimDevice& d) {
    size = d.numbers[StoreSize], free = d.numbers[StoreFree], fails = d.numbers[StoreQueryFails];
  });
  if (fails) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  info->dwStoreSize = (DWORD)size;
  info->dwFreeSize = (DWORD)free;
  return TRUE;
}

static void SimMemoryStatus(MEMORYSTATUSEX* status) {
  ULONGLONG total = 0, avail = 0;
  ReadDevice(
      [&](const SimDevice& d) { total = d.numbers[MemoryTotal], avail = d.numbers[MemoryAvail]; });
  status->dwMemoryLoad = total && avail <= total ? (DWORD)(100 - avail * 100 / total) : 0;
  status->ullTotalPhys = total;
  status->ullAvailPhys = avail;
  status->ullTotalPageFile = 0;
  status->ullAvailPageFile = 0;
  // A CE process lives in a 32 MB slot.
  status->ullTotalVirtual = 32 << 20;
  status->ullAvailVirtual = 32 << 20;
}

// --- Storage cards ----------------------------------------------------------------

static bool SimNextCard(DWORD* position, wchar_t* name) {
  DWORD next = 0;
  ReadDevice([&](const SimDevice& d) {
    next = 0;
    for (int i = 0; i < d.cardCount && i < maxCards && !next; i++) {
      if (d.cards[i].number > *position) {
        next = d.cards[i].number;
        lstrcpynW(name, d.cards[i].name, MAX_PATH);
      }
    }
  });
  if (next)
    *position = next;
  return next != 0;
}

bool SameCardName(const wchar_t* path, const wchar_t* name) {
  if (*path == L'\\' || *path == L'/') {
    path++;
  }
  int length = lstrlenW(name);
  if (lstrlenW(path) < length ||
      CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, path, length, name, length) != CSTR_EQUAL) {
    return false;
  }
  path += length;
  return path[0] == 0 || ((path[0] == L'\\' || path[0] == L'/') && path[1] == 0);
}

static BOOL SimDiskFreeSpace(LPCWSTR path, PULARGE_INTEGER freeToCaller, PULARGE_INTEGER totalBytes,
                             PULARGE_INTEGER totalFreeBytes) {
  SimCard card;
  bool found = false;
  ReadDevice([&](const SimDevice& d) {
    found = false;
    for (int i = 0; i < d.cardCount && i < maxCards && !found; i++) {
      if (SameCardName(path, d.cards[i].name)) {
        found = true;
        card = d.cards[i];
      }
    }
  });
  if (!found) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  if (card.queryFails) {
    SetLastError(ERROR_NOT_READY);
    return FALSE;
  }
  if (freeToCaller) {
    freeToCaller->QuadPart = card.freeBytes;
  }
  if (totalBytes) {
    totalBytes->QuadPart = card.totalBytes;
  }
  if (totalFreeBytes) {
    totalFreeBytes->QuadPart = card.freeBytes;
  }
  return TRUE;
}

const DeviceBackend SimulatedDeviceBackend = {
    SimTickCount,   SimLocalTime, SimMemoryStatus,  SimStoreInformation,
    SimPowerStatus, SimNextCard,  SimDiskFreeSpace,
};
