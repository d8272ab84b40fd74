// The simulated device: every reading comes from the device key (see
// DeviceRegistry.cpp), so all processes (and a shell with `wine reg`) share one
// device. Absent values read as the defaults below; SimResetDevice writes
// them all out, with the clock frozen.
//
// The readings are asked for on every paint, so each process keeps a copy of
// the device's state and reloads it only after the registry reports a change
// under the key (made by any process, or a shell).
#define CE_PLATFORM_IMPLEMENTATION
#include "SimulatedDevice.h"

#include "CeApi.h"
#include "Device.h"
#include "DeviceRegistry.h"

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
// The reset clock: frozen, ten minutes after boot, on a Monday morning.
static const DWORD resetTickCount = 600000;
static const wchar_t resetLocalTime[] = L"2004-03-15 10:08:30.000";
// What the device holds: sizes up to 2048 GB, times in these years.
static const ULONGLONG largestBytes = 2048ULL << 30;
static const WORD firstYear = 1980, lastYear = 2099;
static const ULONGLONG anyDword = 0xFFFFFFFF;

#define BATTERY_CHEMISTRY_LION 0x04

// --- The process's copy of the device state -----------------------------------------

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

static bool ParseLocalTime(const wchar_t* text, SYSTEMTIME* time);

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

static void LoadCards(SimState* s) {
  s->cardCount = 0;
  ForEachCard([s](DWORD number, HKEY key) {
    if (s->cardCount == s->cardCapacity) {
      int capacity = s->cardCapacity ? s->cardCapacity * 2 : 8;
      SIZE_T bytes = capacity * sizeof(SimCard);
      void* grown = s->cards ? HeapReAlloc(GetProcessHeap(), 0, s->cards, bytes)
                             : HeapAlloc(GetProcessHeap(), 0, bytes);
      if (!grown) {
        return true;  // out of memory: the cards so far
      }
      s->cards = (SimCard*)grown;
      s->cardCapacity = capacity;
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

// Holds the current copy of the device's state while a reading uses it.
class StateReader {
public:
  StateReader() {
    RefreshState();
    AcquireSRWLockShared(&stateLock);
  }
  ~StateReader() { ReleaseSRWLockShared(&stateLock); }
  StateReader(const StateReader&) = delete;
  StateReader& operator=(const StateReader&) = delete;
  const SimState* operator->() const { return &state; }
};

// Writes made through this module keep this process's copy good: `write`
// makes them (returning how many values it wrote, all counted by the clock's
// counter when `clock`, else by the general one) and `update` applies the
// same change to the copy, so the next reading need not reload. A change
// from another process made before or between the writes makes the next
// reading reload instead.
template <typename Write, typename Update>
static void WriteThrough(bool clock, Write write, Update update) {
  volatile LONG* generation = DeviceGeneration();
  volatile LONG* counter = clock ? DeviceClockGeneration() : generation;
  LONG* loaded = clock ? &loadedClockGeneration : &loadedGeneration;
  AcquireSRWLockExclusive(&stateLock);
  bool current = stateLoaded && stateWatched && generation && *generation == loadedGeneration &&
                 *DeviceClockGeneration() == loadedClockGeneration;
  LONG before = counter ? *counter : 0;
  LONG writes = write();
  if (current && *counter == before + writes) {
    update(&state);
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

static const ULONGLONG fileTimePerMs = 10000;

static ULONGLONG SystemTimeToTicks(const SYSTEMTIME& time) {
  FILETIME ft;
  if (!SystemTimeToFileTime(&time, &ft)) {
    return 0;
  }
  return ((ULONGLONG)ft.dwHighDateTime << 32) | ft.dwLowDateTime;
}

static void TicksToSystemTime(ULONGLONG ticks, SYSTEMTIME* time) {
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

// "YYYY-MM-DD hh:mm:ss" with optional ".mmm"; a 'T' may stand for the space.
static bool ParseLocalTime(const wchar_t* text, SYSTEMTIME* time) {
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

// `text` holds at least 24 characters.
static void FormatLocalTime(const SYSTEMTIME& t, wchar_t* text) {
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

static DWORD SimTickCount() {
  StateReader s;
  if (!s->tickSet) {
    return GetTickCount();
  }
  if (s->clockFrozen) {
    return s->tickCount;
  }
  return s->tickCount + SinceSet(s->tickStamped, s->tickSetAt, L"TickSetAt");
}

static void SimLocalTime(SYSTEMTIME* time) {
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

// Sets the tick count, and its stamp unless `stamp` is false (a frozen
// clock reads no stamp).
static void SetTickCount(DWORD tick, bool stamp) {
  DWORD now = GetTickCount();
  WriteThrough(
      true,
      [&] {
        WriteClockDword(DeviceKey(), L"TickCount", tick);
        if (stamp) {
          WriteClockDword(DeviceKey(), L"TickSetAt", now);
        }
        return stamp ? 2 : 1;
      },
      [&](SimState* s) {
        s->tickSet = true;
        s->tickCount = tick;
        if (stamp) {
          s->tickStamped = true;
          s->tickSetAt = now;
        }
      });
}

static void SetLocalTime(const SYSTEMTIME& time, bool stamp) {
  wchar_t text[40];
  FormatLocalTime(time, text);
  SYSTEMTIME read;
  bool held = ParseLocalTime(text, &read);  // what a reader of the value gets
  DWORD now = GetTickCount();
  WriteThrough(
      true,
      [&] {
        WriteClockString(DeviceKey(), L"LocalTime", text);
        if (stamp) {
          WriteClockDword(DeviceKey(), L"LocalTimeSetAt", now);
        }
        return stamp ? 2 : 1;
      },
      [&](SimState* s) {
        s->timeSet = held;
        s->localTime = read;
        if (stamp) {
          s->timeStamped = true;
          s->timeSetAt = now;
        }
      });
}

void SimSetTickCount(DWORD tick) {
  SetTickCount(tick, true);
}

void SimSetLocalTime(const SYSTEMTIME& time) {
  SetLocalTime(time, true);
}

void SimSetClockRunning(bool running) {
  bool frozen;
  {
    StateReader s;
    frozen = s->clockFrozen;
  }
  if (running != frozen) {
    return;
  }
  // Freezing keeps the reading of this moment; thawing runs on from it.
  DWORD tick = SimTickCount();
  SYSTEMTIME time;
  SimLocalTime(&time);
  SimSetTickCount(tick);
  SimSetLocalTime(time);
  WriteDeviceDword(DeviceKey(), L"ClockFrozen", running ? 0 : 1);
}

void SimAdvanceClock(DWORD milliseconds) {
  DWORD tick = SimTickCount();
  SYSTEMTIME time;
  SimLocalTime(&time);
  bool frozen;
  {
    StateReader s;
    frozen = s->clockFrozen;
  }
  TicksToSystemTime(SystemTimeToTicks(time) + milliseconds * fileTimePerMs, &time);
  SetTickCount(tick + milliseconds, !frozen);
  SetLocalTime(time, !frozen);
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

void SimSetPower(BYTE acLineStatus, BYTE batteryPercent, DWORD lifeTimeSeconds,
                 DWORD voltageMillivolts) {
  HKEY key = DeviceKey();
  WriteDeviceDword(key, L"ACLineStatus", acLineStatus);
  WriteDeviceDword(key, L"BatteryPercent", batteryPercent);
  WriteDeviceDword(key, L"BatteryLifeTime", lifeTimeSeconds);
  WriteDeviceDword(key, L"BatteryVoltage", voltageMillivolts);
}

void SimSetPowerQueryBytes(DWORD bytes) {
  WriteDeviceDword(DeviceKey(), L"PowerQueryBytes", bytes);
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

static void SimMemoryStatus(MEMORYSTATUS* status) {
  StateReader s;
  ULONGLONG total = s->memoryTotal;
  ULONGLONG avail = s->memoryAvail;
  status->dwMemoryLoad = total && avail <= total ? (DWORD)(100 - avail * 100 / total) : 0;
  status->dwTotalPhys = (SIZE_T)total;
  status->dwAvailPhys = (SIZE_T)avail;
  status->dwTotalPageFile = 0;
  status->dwAvailPageFile = 0;
  // A CE process lives in a 32 MB slot.
  status->dwTotalVirtual = 32 << 20;
  status->dwAvailVirtual = 32 << 20;
}

void SimSetStore(DWORD storeSize, DWORD freeSize) {
  HKEY key = DeviceKey();
  WriteDeviceDword(key, L"StoreSize", storeSize);
  WriteDeviceDword(key, L"StoreFree", freeSize);
}

void SimSetStoreQueryFails(bool fails) {
  WriteDeviceDword(DeviceKey(), L"StoreQueryFails", fails ? 1 : 0);
}

void SimSetProgramMemory(ULONGLONG totalPhys, ULONGLONG availPhys) {
  HKEY key = DeviceKey();
  WriteDeviceQword(key, L"MemoryTotal", totalPhys);
  WriteDeviceQword(key, L"MemoryAvail", availPhys);
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

// CE paths may start with a backslash ("\Storage Card"); a trailing one is allowed.
static bool SameCardName(const wchar_t* path, const wchar_t* name) {
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

// The subkey number of the card with that name, and the highest number; 0
// when there is none.
static DWORD FindCard(const wchar_t* path, DWORD* last) {
  StateReader s;
  DWORD found = 0;
  *last = 0;
  for (int i = 0; i < s->cardCount; i++) {
    if (!found && SameCardName(path, s->cards[i].name)) {
      found = s->cards[i].number;
    }
    *last = s->cards[i].number;  // ascending
  }
  return found;
}

static HKEY OpenCard(DWORD number) {
  wchar_t subkey[40];
  wsprintfW(subkey, L"Cards\\%u", number);
  return OpenDeviceSubkey(subkey);
}

static SimCard* CachedCard(SimState* s, DWORD number) {
  for (int i = 0; i < s->cardCount; i++) {
    if (s->cards[i].number == number) {
      return &s->cards[i];
    }
  }
  return nullptr;
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

void SimAddCard(const wchar_t* name, ULONGLONG totalBytes, ULONGLONG freeBytes) {
  DWORD last;
  DWORD number = FindCard(name, &last);
  bool added = number == 0;
  ScopedRegKey card;
  if (added) {
    number = last + 1;
    wchar_t subkey[40];
    wsprintfW(subkey, L"Cards\\%u", number);
    card.Reset(CreateDeviceSubkey(subkey));
  } else {
    card.Reset(OpenCard(number));
  }
  if (!card.IsValid()) {
    return;
  }
  WriteThrough(
      false,
      [&] {
        if (added) {
          WriteDeviceString(card, L"Name", name);
        }
        WriteDeviceQword(card, L"TotalBytes", totalBytes);
        WriteDeviceQword(card, L"FreeBytes", freeBytes);
        return added ? 3 : 2;
      },
      [&](SimState* s) {
        SimCard* cached = CachedCard(s, number);
        if (!cached) {
          if (s->cardCount == s->cardCapacity) {
            int capacity = s->cardCapacity ? s->cardCapacity * 2 : 8;
            SIZE_T bytes = capacity * sizeof(SimCard);
            void* grown = s->cards ? HeapReAlloc(GetProcessHeap(), 0, s->cards, bytes)
                                   : HeapAlloc(GetProcessHeap(), 0, bytes);
            if (!grown) {
              stateLoaded = false;
              return;
            }
            s->cards = (SimCard*)grown;
            s->cardCapacity = capacity;
          }
          cached = &s->cards[s->cardCount++];  // the highest number: last in order
          cached->number = number;
          cached->queryFails = false;
          lstrcpynW(cached->name, name[0] && lstrlenW(name) < MAX_PATH ? name : defaultCardName,
                    MAX_PATH);
        }
        cached->totalBytes = totalBytes <= largestBytes ? totalBytes : defaultCardTotal;
        cached->freeBytes = freeBytes <= largestBytes ? freeBytes : defaultCardFree;
      });
}

bool SimRemoveCard(const wchar_t* name) {
  DWORD last;
  DWORD number = FindCard(name, &last);
  if (!number) {
    return false;
  }
  bool removed = false;
  WriteThrough(
      false,
      [&] {
        wchar_t subkey[40];
        wsprintfW(subkey, L"Cards\\%u", number);
        removed = RegDeleteTreeW(DeviceKey(), subkey) == ERROR_SUCCESS;
        NoteDeviceChanged();
        return 1;
      },
      [&](SimState* s) {
        SimCard* cached = CachedCard(s, number);
        if (cached) {
          int at = (int)(cached - s->cards);
          MoveMemory(cached, cached + 1, (s->cardCount - at - 1) * sizeof(SimCard));
          s->cardCount--;
        }
      });
  return removed;
}

void SimRemoveAllCards() {
  RegDeleteTreeW(DeviceKey(), L"Cards");
  NoteDeviceChanged();
}

void SimSetCardQueryFails(const wchar_t* name, bool fails) {
  DWORD last;
  DWORD number = FindCard(name, &last);
  ScopedRegKey card(number ? OpenCard(number) : nullptr);
  if (!card.IsValid()) {
    return;
  }
  WriteThrough(
      false,
      [&] {
        WriteDeviceDword(card, L"QueryFails", fails ? 1 : 0);
        return 1;
      },
      [&](SimState* s) {
        SimCard* cached = CachedCard(s, number);
        if (cached) {
          cached->queryFails = fails;
        }
      });
}

int SimIgnoredValues(wchar_t (*names)[48], wchar_t (*values)[32], int max) {
  StateReader s;  // loaded, and so checked
  IgnoredDeviceValue ignored[8];
  int count = IgnoredDeviceValues(ignored, 8);
  for (int i = 0; i < count && i < max && i < 8; i++) {
    lstrcpynW(names[i], ignored[i].name, 48);
    lstrcpynW(values[i], ignored[i].value, 32);
  }
  return count;
}

// --- Reset --------------------------------------------------------------------------

void SimResetDevice() {
  HKEY key = DeviceKey();
  // Empties the key but keeps it, so the handles other processes keep stay good.
  RegDeleteTreeW(key, nullptr);
  NoteDeviceChanged();
  SimSetPower(defaultAcLine, defaultBatteryPercent, defaultBatteryLifeTime,
              defaultBatteryVoltage);
  SimSetPowerQueryBytes(soundPowerQueryBytes);
  SimSetStore(defaultStoreSize, defaultStoreFree);
  SimSetStoreQueryFails(false);
  SimSetProgramMemory(defaultMemoryTotal, defaultMemoryAvail);
  WriteDeviceDword(key, L"ClockFrozen", 1);
  SimSetTickCount(resetTickCount);
  WriteDeviceString(key, L"LocalTime", resetLocalTime);
  WriteDeviceDword(key, L"LocalTimeSetAt", GetTickCount());
  SimSetWakeupRefusals(0);
}

const DeviceBackend SimulatedDeviceBackend = {
    SimTickCount,     SimLocalTime, SimMemoryStatus, SimStoreInformation, SimPowerStatus,
    SimNextCard,      SimDiskFreeSpace,
};
