// The simulated device's record (see SimulatedState.h for its one rule) and
// the CE readings that answer from it.
#define CE_PLATFORM_IMPLEMENTATION
#include "SimulatedState.h"

#include "CeApi.h"
#include "Device.h"

// Set once by MapDevice under mapOnce, read without a lock after.
static SimDevice* device;
LONG deviceReadings;
static INIT_ONCE mapOnce = INIT_ONCE_STATIC_INIT;

// The section lives while a process of the session maps it (the keep-alive
// process does); the process that makes it takes the device key's values. A
// section of another layout (another build still runs in the session) stops
// the process: a record of its own would silently part from the others'.
static BOOL CALLBACK MapDevice(PINIT_ONCE, void*, void**) {
  HANDLE section = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      sizeof(SimDevice), L"Local\\CeStandIn.SimulatedDevice");
  // Mapped for the life of the process.
  auto* view = section ? (SimDevice*)MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, 0) : nullptr;
  ULONGLONG found = view ? InterlockedCompareExchange64((LONGLONG*)&view->layout, simLayout, 0) : 0;
  if (!view || (found && found != simLayout)) {
    StopDevice(3,
               L"the simulated device of this session has another layout (a program of "
               L"another build still runs in it): stop the session and start it again");
  }
  TakeShellValues(view, false);
  __atomic_store_n(&device, view, __ATOMIC_RELEASE);
  return TRUE;
}

SimDevice* SharedDevice() {
  if (!__atomic_load_n(&device, __ATOMIC_ACQUIRE))
    InitOnceExecuteOnce(&mapOnce, MapDevice, nullptr, nullptr);
  return device;
}

static bool ProcessEnded(DWORD id) {
  AutoCloseHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
  return process.IsValid() ? WaitForSingleObject(process, 0) == WAIT_OBJECT_0
                           : GetLastError() == ERROR_INVALID_PARAMETER;
}

// A writer whose process ended while it owned the record would stop every
// other process: once its process has ended (looked at every 100 ms), the
// record is taken back, its last write perhaps half made. A live writer held
// up (stopped, in a debugger) is waited for, however long.
LONGLONG UnownedSequence(SimDevice* d) {
  LONGLONG waited = 0;
  DWORD since = 0;
  for (;;) {
    LONGLONG seen = __atomic_load_n(&d->sequence, __ATOMIC_ACQUIRE);
    if (!(seen & 1))
      return seen;
    DWORD now = GetTickCount();
    if (seen != waited) {
      waited = seen;
      since = now;
    } else if (now - since > 100) {
      since = now;
      if (ProcessEnded((DWORD)(seen >> 32)))
        InterlockedCompareExchange64(&d->sequence, (DWORD)seen + 1, seen);
    }
    SwitchToThread();
  }
}

SimDevice* LockDevice(SimDevice* d) {
  LONGLONG owner = (LONGLONG)GetCurrentProcessId() << 32, seen;
  do
    seen = UnownedSequence(d);
  while (InterlockedCompareExchange64(&d->sequence, owner | (DWORD)(seen + 1), seen) != seen);
  return d;
}

void EndDeviceWrite(SimDevice* d) {
  __atomic_store_n(&d->sequence, (LONGLONG)(DWORD)(d->sequence + 1), __ATOMIC_RELEASE);
}

// A value is taken when the key's changed since the last look; a fresh look
// (a new or deleted key, or a reset) takes all, absent ones at their defaults.
static void TakeLook(SimDevice* d, const SimDevice& v, bool fresh) {
  DWORD now = GetTickCount();
  for (int i = 0; i < numberCount; i++) {
    if (fresh || v.seen[i] != d->seen[i])
      d->numbers[i] = v.numbers[i];
  }
  // A clock value taken runs from its stamp in the key, or without one from now.
  const ULONGLONG* n = v.numbers;
  if (fresh || v.seen[TickCount] != d->seen[TickCount])
    d->numbers[TickSetAt] = n[TickSetAt] != unset ? n[TickSetAt] : now;
  if (fresh || v.seen[LocalTime] != d->seen[LocalTime])
    d->numbers[LocalTimeSetAt] = n[LocalTimeSetAt] != unset ? n[LocalTimeSetAt] : now;
  if (fresh || v.cardsSeen != d->cardsSeen) {
    d->cardCount = v.cardCount;
    CopyMemory(d->cards, v.cards, v.cardCount * sizeof(SimCard));
  }
  CopyMemory(d->seen, v.seen, sizeof(SimDevice) - offsetof(SimDevice, seen));  // the look's notes
  d->taken = 1;
}

void TakeShellValues(SimDevice* d, bool reset) {
  // One look at a time, across the session: an older look taken after a newer
  // one would undo it. A look reads the registry outside the record's lock.
  AutoCloseHandle looking(CreateMutexW(nullptr, FALSE, L"Local\\CeStandIn.DeviceLook"));
  if (looking.IsValid())
    WaitForSingleObject(looking, INFINITE);  // abandoned: ours now
  AutoHeapFree<SimDevice> look(
      (SimDevice*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(SimDevice)));
  if (look) {
    bool fresh = !LookAtDeviceKey(reset, look) || reset || !d->taken;
    WriteDevice([&](SimDevice& r) { TakeLook(&r, *look, fresh); }, d);
  }
  if (looking.IsValid())
    ReleaseMutex(looking);
}

// The clock as set, plus the machine time passed since unless it is frozen;
// unset, the machine's own.
DWORD TickOf(const SimDevice& d, DWORD now) {
  const ULONGLONG* n = d.numbers;
  if (n[TickCount] == unset)
    return now;
  return (DWORD)n[TickCount] + (n[ClockFrozen] ? 0 : now - (DWORD)n[TickSetAt]);
}

ULONGLONG LocalTimeOf(const SimDevice& d, DWORD now) {
  const ULONGLONG* n = d.numbers;
  if (n[LocalTime] == unset) {
    FILETIME utc, local;
    GetSystemTimeAsFileTime(&utc);
    FileTimeToLocalFileTime(&utc, &local);
    return ((ULONGLONG)local.dwHighDateTime << 32) | local.dwLowDateTime;
  }
  return n[LocalTime] + (n[ClockFrozen] ? 0 : now - (DWORD)n[LocalTimeSetAt]) * fileTimePerMs;
}

DWORD SimTickCount() {
  DWORD now = GetTickCount(), tick = 0;
  ReadDevice([&](const SimDevice& d) { tick = TickOf(d, now); });
  return tick;
}

void SimLocalTime(SYSTEMTIME* time) {
  DWORD now = GetTickCount();
  ULONGLONG ticks = 0;
  ReadDevice([&](const SimDevice& d) { ticks = LocalTimeOf(d, now); });
  TicksToSystemTime(ticks, time);
}

static BYTE BatteryFlagFor(BYTE acLine, BYTE percent) {
  if (percent == BATTERY_PERCENTAGE_UNKNOWN)
    return BATTERY_FLAG_UNKNOWN;
  BYTE flag =
      percent <= 5 ? BATTERY_FLAG_CRITICAL : (percent < 33 ? BATTERY_FLAG_LOW : BATTERY_FLAG_HIGH);
  if (acLine == AC_LINE_ONLINE && percent < 100)
    flag |= BATTERY_FLAG_CHARGING;
  return flag;
}

DWORD SimPowerStatus(SYSTEM_POWER_STATUS_EX2* status, DWORD length) {
  ULONGLONG n[PowerQueryBytes + 1];
  ReadDevice([&](const SimDevice& d) { CopyMemory(n, d.numbers, sizeof(n)); });
  SYSTEM_POWER_STATUS_EX2 s = {};
  s.ACLineStatus = (BYTE)n[AcLine];
  s.BatteryLifePercent = (BYTE)n[BatteryPercent];
  s.BatteryFlag = BatteryFlagFor(s.ACLineStatus, s.BatteryLifePercent);
  s.BatteryLifeTime = (DWORD)n[BatteryLifeTime];
  s.BatteryFullLifeTime = s.BackupBatteryLifeTime = s.BackupBatteryFullLifeTime =
      BATTERY_LIFE_UNKNOWN;
  s.BackupBatteryFlag = BATTERY_FLAG_HIGH;
  s.BackupBatteryLifePercent = 100;
  s.BatteryVoltage = (DWORD)n[BatteryVoltage];
  s.BatteryChemistry = 0x04;  // lithium-ion
  // Fault: a driver that fills fewer bytes than asked for.
  DWORD bytes = n[PowerQueryBytes] < sizeof(s) ? (DWORD)n[PowerQueryBytes] : sizeof(s);
  bytes = bytes < length ? bytes : length;
  CopyMemory(status, &s, bytes);
  if (bytes == 0)
    SetLastError(ERROR_GEN_FAILURE);
  return bytes;
}

BOOL SimStoreInformation(STORE_INFORMATION* info) {
  ULONGLONG n[StoreQueryFails + 1];
  ReadDevice([&](const SimDevice& d) { CopyMemory(n, d.numbers, sizeof(n)); });
  if (n[StoreQueryFails]) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  info->dwStoreSize = (DWORD)n[StoreSize];
  info->dwFreeSize = (DWORD)n[StoreFree];
  return TRUE;
}

void SimMemoryStatus(MEMORYSTATUSEX* status) {
  ULONGLONG total = 0, avail = 0;
  ReadDevice(
      [&](const SimDevice& d) { total = d.numbers[MemoryTotal], avail = d.numbers[MemoryAvail]; });
  status->dwMemoryLoad = total && avail <= total ? (DWORD)(100 - avail * 100 / total) : 0;
  status->ullTotalPhys = total;
  status->ullAvailPhys = avail;
  status->ullTotalPageFile = status->ullAvailPageFile = 0;
  // A CE process lives in a 32 MB slot.
  status->ullTotalVirtual = status->ullAvailVirtual = 32 << 20;
}

bool SimNextCard(DWORD* position, wchar_t* name) {
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

int CardAt(const SimDevice& d, const wchar_t* path) {
  if (*path == L'\\' || *path == L'/')
    path++;
  for (int i = 0; i < d.cardCount && i < maxCards; i++) {
    int length = lstrlenW(d.cards[i].name);
    const wchar_t* end = path + length;
    if (lstrlenW(path) >= length &&
        CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, path, length, d.cards[i].name, length) ==
            CSTR_EQUAL &&
        (!end[0] || ((end[0] == L'\\' || end[0] == L'/') && !end[1]))) {
      return i;
    }
  }
  return -1;
}

BOOL SimDiskFreeSpace(LPCWSTR path, PULARGE_INTEGER freeToCaller, PULARGE_INTEGER totalBytes,
                      PULARGE_INTEGER totalFreeBytes) {
  SimCard card;
  int at = -1;
  ReadDevice([&](const SimDevice& d) {
    if ((at = CardAt(d, path)) >= 0)
      card = d.cards[at];
  });
  if (at < 0 || card.queryFails) {
    SetLastError(at < 0 ? ERROR_PATH_NOT_FOUND : ERROR_NOT_READY);
    return FALSE;
  }
  if (freeToCaller)
    freeToCaller->QuadPart = card.freeBytes;
  if (totalBytes)
    totalBytes->QuadPart = card.totalBytes;
  if (totalFreeBytes)
    totalFreeBytes->QuadPart = card.freeBytes;
  return TRUE;
}
