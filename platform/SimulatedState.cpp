// The simulated device: every reading comes from the device key (see
// DeviceRegistry.cpp), so all processes (and a shell with `wine reg`) share one
// device. Absent values read as the defaults in SimulatedState.h; the device's
// control (control/SimulatedDevice.cpp) writes them all out at a reset, with
// the clock frozen.
//
// The readings are asked for on every paint, so each process keeps a copy of
// the device's state and reloads it only after the registry reports a change
// under the key (made by any process, or a shell).
#define CE_PLATFORM_IMPLEMENTATION
#include "SimulatedState.h"

#include "CeApi.h"
#include "Device.h"
#include "DeviceRegistry.h"

static const ULONGLONG anyDword = 0xFFFFFFFF;

#define BATTERY_CHEMISTRY_LION 0x04

// --- The process's copy of the device state -----------------------------------------

static bool CardNumber(const wchar_t* subkey, DWORD* number) {
  DWORD n = 0;
  if (!*subkey) {
    return false;
  }
  for (; *subkey; subkey++) {
    if (*subkey < L'0' || *subkey > L'9' || n > 100000000) {
      return false;
    }
    n = n * 10 + (*subkey - L'0');
  }
  *number = n;
  return n > 0;
}

static void CardName(HKEY card, wchar_t* name) {
  if (!ReadDeviceString(card, L"Name", name, MAX_PATH) || !name[0]) {
    lstrcpyW(name, defaultCardName);
  }
}

// Calls visit(number, cardKey) for each card subkey, in registry order, until
// it returns true.
template <typename Visit>
static bool ForEachCard(Visit visit) {
  ScopedRegKey cards(OpenDeviceSubkey(L"Cards"));
  if (!cards.IsValid()) {
    return false;
  }
  bool stopped = false;
  wchar_t subkey[32];
  for (DWORD i = 0; !stopped; i++) {
    DWORD chars = 32;
    LONG result = RegEnumKeyExW(cards, i, subkey, &chars, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA) {
      continue;
    }
    if (result != ERROR_SUCCESS) {
      break;
    }
    DWORD number;
    if (!CardNumber(subkey, &number)) {
      continue;
    }
    ScopedRegKey card;
    if (RegOpenKeyExW(cards, subkey, 0, KEY_READ | KEY_WRITE, card.Out()) != ERROR_SUCCESS) {
      continue;
    }
    stopped = visit(number, card.Get());
  }
  return stopped;
}

bool GrowCards(SimState* s) {
  if (s->cardCount < s->cardCapacity) {
    return true;
  }
  int capacity = s->cardCapacity ? s->cardCapacity * 2 : 8;
  SIZE_T bytes = capacity * sizeof(SimCard);
  void* grown = s->cards ? HeapReAlloc(GetProcessHeap(), 0, s->cards, bytes)
                         : HeapAlloc(GetProcessHeap(), 0, bytes);
  if (!grown) {
    return false;
  }
  s->cards = (SimCard*)grown;
  s->cardCapacity = capacity;
  return true;
}

static void LoadCards(SimState* s) {
  s->cardCount = 0;
  ForEachCard([s](DWORD number, HKEY key) {
    if (!GrowCards(s)) {
      return true;  // out of memory: the cards so far
    }
    // Insert in ascending order of number.
    int at = s->cardCount++;
    for (; at > 0 && s->cards[at - 1].number > number; at--) {
      s->cards[at] = s->cards[at - 1];
    }
    SimCard& card = s->cards[at];
    card.number = number;
    CardName(key, card.name);
    wchar_t shown[48];
    wsprintfW(shown, L"Cards\\%u\\TotalBytes", number);
    card.totalBytes = ReadDeviceNumberIn(key, L"TotalBytes", shown, 0, largestBytes,
                                         defaultCardTotal);
    wsprintfW(shown, L"Cards\\%u\\FreeBytes", number);
    card.freeBytes = ReadDeviceNumberIn(key, L"FreeBytes", shown, 0, largestBytes,
                                        defaultCardFree);
    wsprintfW(shown, L"Cards\\%u\\QueryFails", number);
    card.queryFails = ReadDeviceNumberIn(key, L"QueryFails", shown, 0, anyDword, 0) != 0;
    return false;
  });
}

// A DWORD of the device; anything else reads as `fallback` and is noted.
__attribute__((noinline)) static DWORD ReadDword(HKEY key, const wchar_t* name, DWORD fallback) {
  return (DWORD)ReadDeviceNumberIn(key, name, nullptr, 0, anyDword, fallback);
}

// A clock value; false when absent (the machine's own then) or not sane.
static bool ReadClockDword(HKEY key, const wchar_t* name, DWORD* value) {
  const ULONGLONG absent = ~0ULL;
  ULONGLONG n = ReadDeviceNumberIn(key, name, nullptr, 0, anyDword, absent);
  *value = (DWORD)n;
  return n != absent;
}

static void LoadClock(SimState* s);

static void LoadState(SimState* s) {
  HKEY key = DeviceKey();
  ForgetIgnoredDeviceValues();
  DWORD ac = ReadDword(key, L"ACLineStatus", defaultAcLine);
  if (ac != AC_LINE_OFFLINE && ac != AC_LINE_ONLINE && ac != AC_LINE_BACKUP_POWER &&
      ac != AC_LINE_UNKNOWN) {
    wchar_t text[16];
    wsprintfW(text, L"%lu", (unsigned long)ac);
    NoteIgnoredDeviceValue(L"ACLineStatus", text);
    ac = defaultAcLine;
  }
  s->acLine = (BYTE)ac;
  s->batteryPercent =
      (BYTE)ReadDeviceNumberIn(key, L"BatteryPercent", nullptr, 0, 255, defaultBatteryPercent);
  s->batteryLifeTime = ReadDword(key, L"BatteryLifeTime", defaultBatteryLifeTime);
  s->batteryVoltage = ReadDword(key, L"BatteryVoltage", defaultBatteryVoltage);
  s->powerQueryBytes = ReadDword(key, L"PowerQueryBytes", soundPowerQueryBytes);
  s->storeSize = ReadDword(key, L"StoreSize", defaultStoreSize);
  s->storeFree = ReadDword(key, L"StoreFree", defaultStoreFree);
  s->storeQueryFails = ReadDword(key, L"StoreQueryFails", 0) != 0;
  s->memoryTotal =
      ReadDeviceNumberIn(key, L"MemoryTotal", nullptr, 0, largestBytes, defaultMemoryTotal);
  s->memoryAvail =
      ReadDeviceNumberIn(key, L"MemoryAvail", nullptr, 0, largestBytes, defaultMemoryAvail);
  s->clockFrozen = ReadDword(key, L"ClockFrozen", 0) != 0;
  LoadClock(s);
  LoadCards(s);
}

// The values the clock's writes change (counted by DeviceClockGeneration).
static void LoadClock(SimState* s) {
  HKEY key = DeviceKey();
  s->tickSet = ReadClockDword(key, L"TickCount", &s->tickCount);
  s->tickStamped = ReadClockDword(key, L"TickSetAt", &s->tickSetAt);
  wchar_t text[40];
  bool present = ReadDeviceString(key, L"LocalTime", text, 40);
  s->timeSet = present && ParseLocalTime(text, &s->localTime);
  if (present && !s->timeSet) {
    NoteIgnoredDeviceValue(L"LocalTime", text);
  }
  s->timeStamped = ReadClockDword(key, L"LocalTimeSetAt", &s->timeSetAt);
}

static SimState state;
static HANDLE stateChanged;  // signalled by the registry at a change under the key
static bool stateWatched;
static bool stateLoaded;
static SRWLOCK stateLock = SRWLOCK_INIT;

// How often a reader asks the registry whether a shell changed the device;
// changes made through this module are seen at once through the counter.
static const DWORD shellCheckMs = 10;
static LONG loadedGeneration, loadedClockGeneration;
static DWORD lastShellCheck;
// Writes counted by the shared counters (this process's and others') also
// fire the registry's change notice, which then cannot tell them from a
// shell's. Such a notice is trusted for up to `verifyMs` after a full load;
// the next check after that reloads, so a shell's change made while the
// device is being written through this module shows within that time.
static const DWORD verifyMs = 1000;
static bool countedWritesSinceArmed;
static bool unverified;
static DWORD lastLoad;

// Reloads the copy if the device changed since it was loaded: only the
// clock when only the clock's counter moved. The readings are asked for a
// dozen times a paint: the shared counters cost a memory read, the
// registry's change event a round trip to the server each time.
static void RefreshState() {
  volatile LONG* generation = DeviceGeneration();
  volatile LONG* clockGeneration = DeviceClockGeneration();
  if (stateLoaded && stateWatched && generation) {
    DWORD now = GetTickCount();
    bool counted = *generation == loadedGeneration;
    if (counted && *clockGeneration != loadedClockGeneration) {
      AcquireSRWLockExclusive(&stateLock);
      loadedClockGeneration = *clockGeneration;  // before reading: no change missed
      LoadClock(&state);
      countedWritesSinceArmed = true;
      ReleaseSRWLockExclusive(&stateLock);
    }
    if (counted && now - lastShellCheck < shellCheckMs) {
      return;
    }
    lastShellCheck = now;
    if (counted) {
      bool noticed = WaitForSingleObject(stateChanged, 0) == WAIT_OBJECT_0;
      bool due = now - lastLoad >= verifyMs;
      if (!noticed && !(unverified && due)) {
        return;
      }
      if (noticed && countedWritesSinceArmed && !due) {
        AcquireSRWLockExclusive(&stateLock);
        countedWritesSinceArmed = false;
        unverified = true;
        stateWatched = WatchDeviceKey(stateChanged);
        ReleaseSRWLockExclusive(&stateLock);
        return;
      }
    }
  }
  AcquireSRWLockExclusive(&stateLock);
  // Noted before reading, so a change made during the load is not missed.
  if (generation) {
    loadedGeneration = *generation;
    loadedClockGeneration = *clockGeneration;
  }
  if (!stateChanged) {
    stateChanged = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  }
  // Armed before reading, so a change made during the load is not missed.
  // Without a watch every reading reloads.
  stateWatched = stateChanged && WatchDeviceKey(stateChanged);
  countedWritesSinceArmed = false;
  unverified = false;
  lastLoad = GetTickCount();
  HKEY key = DeviceKey();
  LoadState(&state);
  if (key != DeviceKey() && stateWatched) {
    // The key was deleted and made anew while loading: watch the new one.
    stateWatched = WatchDeviceKey(stateChanged);
    LoadState(&state);
  }
  stateLoaded = true;
  ReleaseSRWLockExclusive(&stateLock);
}

StateReader::StateReader() {
  RefreshState();
  AcquireSRWLockShared(&stateLock);
}

StateReader::~StateReader() {
  ReleaseSRWLockShared(&stateLock);
}

const SimState* StateReader::operator->() const {
  return &state;
}

void WriteThroughCalls(bool clock, LONG (*write)(void* context),
                       bool (*update)(void* context, SimState* s), void* context) {
  volatile LONG* generation = DeviceGeneration();
  volatile LONG* counter = clock ? DeviceClockGeneration() : generation;
  LONG* loaded = clock ? &loadedClockGeneration : &loadedGeneration;
  AcquireSRWLockExclusive(&stateLock);
  bool current = stateLoaded && stateWatched && generation && *generation == loadedGeneration &&
                 *DeviceClockGeneration() == loadedClockGeneration;
  LONG before = counter ? *counter : 0;
  LONG writes = write(context);
  if (current && *counter == before + writes && update(context, &state)) {
    *loaded = *counter;
    countedWritesSinceArmed = true;
  } else {
    stateLoaded = false;
  }
  ReleaseSRWLockExclusive(&stateLock);
}

// --- Clock ------------------------------------------------------------------
// Stored: TickCount / LocalTime (the value set), TickSetAt / LocalTimeSetAt
// (the machine's tick count when it was set) and ClockFrozen. A running clock
// reads the value set plus the machine time passed since; a frozen one reads
// the value set. An unset clock reads the machine's own.

ULONGLONG SystemTimeToTicks(const SYSTEMTIME& time) {
  FILETIME ft;
  if (!SystemTimeToFileTime(&time, &ft)) {
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
  if (ticks == 0 || t.wYear < firstYear || t.wYear > lastYear) {
    return false;
  }
  TicksToSystemTime(ticks, time);  // fills in the day of the week
  return true;
}

void FormatLocalTime(const SYSTEMTIME& t, wchar_t* text) {
  wsprintfW(text, L"%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour,
            t.wMinute, t.wSecond, t.wMilliseconds);
}

// Machine milliseconds since a value was set. A value set from a shell
// carries no stamp; the first reader stamps it, so it runs on from there.
static DWORD SinceSet(bool stamped, DWORD setAt, const wchar_t* stampName) {
  DWORD now = GetTickCount();
  if (!stamped) {
    WriteDeviceDword(DeviceKey(), stampName, now);
    return 0;
  }
  return now - setAt;
}

DWORD SimulatedTickCount() {
  StateReader s;
  if (!s->tickSet) {
    return GetTickCount();
  }
  if (s->clockFrozen) {
    return s->tickCount;
  }
  return s->tickCount + SinceSet(s->tickStamped, s->tickSetAt, L"TickSetAt");
}

void SimulatedLocalTime(SYSTEMTIME* time) {
  StateReader s;
  if (!s->timeSet) {
    GetLocalTime(time);
  } else if (s->clockFrozen) {
    *time = s->localTime;
  } else {
    DWORD since = SinceSet(s->timeStamped, s->timeSetAt, L"LocalTimeSetAt");
    TicksToSystemTime(SystemTimeToTicks(s->localTime) + since * fileTimePerMs, time);
  }
}

// --- Power --------------------------------------------------------------------

static BYTE BatteryFlagFor(BYTE acLine, BYTE percent) {
  if (percent == BATTERY_PERCENTAGE_UNKNOWN) {
    return BATTERY_FLAG_UNKNOWN;
  }
  BYTE flag = percent <= 5 ? BATTERY_FLAG_CRITICAL
                           : (percent < 33 ? BATTERY_FLAG_LOW : BATTERY_FLAG_HIGH);
  if (acLine == AC_LINE_ONLINE && percent < 100) {
    flag |= BATTERY_FLAG_CHARGING;
  }
  return flag;
}

static DWORD SimPowerStatus(SYSTEM_POWER_STATUS_EX2* status, DWORD length) {
  StateReader device;
  SYSTEM_POWER_STATUS_EX2 s = {};
  s.ACLineStatus = device->acLine;
  s.BatteryLifePercent = device->batteryPercent;
  s.BatteryFlag = BatteryFlagFor(s.ACLineStatus, s.BatteryLifePercent);
  s.BatteryLifeTime = device->batteryLifeTime;
  s.BatteryFullLifeTime = BATTERY_LIFE_UNKNOWN;
  s.BackupBatteryFlag = BATTERY_FLAG_HIGH;
  s.BackupBatteryLifePercent = 100;
  s.BackupBatteryLifeTime = BATTERY_LIFE_UNKNOWN;
  s.BackupBatteryFullLifeTime = BATTERY_LIFE_UNKNOWN;
  s.BatteryVoltage = device->batteryVoltage;
  s.BatteryChemistry = BATTERY_CHEMISTRY_LION;
  // Fault: a driver that fills fewer bytes than asked for.
  DWORD bytes = device->powerQueryBytes;
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
  StateReader s;
  if (s->storeQueryFails) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  info->dwStoreSize = s->storeSize;
  info->dwFreeSize = s->storeFree;
  return TRUE;
}

static void SimMemoryStatus(MEMORYSTATUSEX* status) {
  StateReader s;
  ULONGLONG total = s->memoryTotal;
  ULONGLONG avail = s->memoryAvail;
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
  StateReader s;
  for (int i = 0; i < s->cardCount; i++) {
    if (s->cards[i].number > *position) {
      *position = s->cards[i].number;
      lstrcpyW(name, s->cards[i].name);
      return true;
    }
  }
  return false;
}

bool SameCardName(const wchar_t* path, const wchar_t* name) {
  if (*path == L'\\' || *path == L'/') {
    path++;
  }
  int length = lstrlenW(name);
  if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, path, length, name, length) !=
      CSTR_EQUAL) {
    return false;
  }
  path += length;
  return path[0] == 0 || ((path[0] == L'\\' || path[0] == L'/') && path[1] == 0);
}

static BOOL SimDiskFreeSpace(LPCWSTR path, PULARGE_INTEGER freeToCaller,
                             PULARGE_INTEGER totalBytes, PULARGE_INTEGER totalFreeBytes) {
  StateReader s;
  const SimCard* card = nullptr;
  for (int i = 0; i < s->cardCount && !card; i++) {
    if (SameCardName(path, s->cards[i].name)) {
      card = &s->cards[i];
    }
  }
  if (!card) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  if (card->queryFails) {
    SetLastError(ERROR_NOT_READY);
    return FALSE;
  }
  if (freeToCaller) {
    freeToCaller->QuadPart = card->freeBytes;
  }
  if (totalBytes) {
    totalBytes->QuadPart = card->totalBytes;
  }
  if (totalFreeBytes) {
    totalFreeBytes->QuadPart = card->freeBytes;
  }
  return TRUE;
}

const DeviceBackend SimulatedDeviceBackend = {
    SimulatedTickCount, SimulatedLocalTime, SimMemoryStatus,  SimStoreInformation,
    SimPowerStatus,     SimNextCard,        SimDiskFreeSpace,
};
