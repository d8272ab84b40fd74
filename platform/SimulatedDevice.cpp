// The simulated device: every reading comes from the registry key
// SIM_DEVICE_KEY, so all processes (and a shell with `wine reg`) share one
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
  HKEY cards = OpenDeviceSubkey(L"Cards");
  if (!cards) {
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
    HKEY card;
    if (RegOpenKeyExW(cards, subkey, 0, KEY_READ | KEY_WRITE, &card) != ERROR_SUCCESS) {
      continue;
    }
    stopped = visit(number, card);
    RegCloseKey(card);
  }
  RegCloseKey(cards);
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
    card.totalBytes = ReadDeviceNumberOr(key, L"TotalBytes", defaultCardTotal);
    card.freeBytes = ReadDeviceNumberOr(key, L"FreeBytes", defaultCardFree);
    card.queryFails = ReadDeviceNumberOr(key, L"QueryFails", 0) != 0;
    return false;
  });
}

static void LoadState(SimState* s) {
  HKEY key = DeviceKey();
  s->acLine = (BYTE)ReadDeviceNumberOr(key, L"ACLineStatus", defaultAcLine);
  s->batteryPercent = (BYTE)ReadDeviceNumberOr(key, L"BatteryPercent", defaultBatteryPercent);
  s->batteryLifeTime = (DWORD)ReadDeviceNumberOr(key, L"BatteryLifeTime", defaultBatteryLifeTime);
  s->batteryVoltage = (DWORD)ReadDeviceNumberOr(key, L"BatteryVoltage", defaultBatteryVoltage);
  s->powerQueryBytes = (DWORD)ReadDeviceNumberOr(key, L"PowerQueryBytes", soundPowerQueryBytes);
  s->storeSize = (DWORD)ReadDeviceNumberOr(key, L"StoreSize", defaultStoreSize);
  s->storeFree = (DWORD)ReadDeviceNumberOr(key, L"StoreFree", defaultStoreFree);
  s->storeQueryFails = ReadDeviceNumberOr(key, L"StoreQueryFails", 0) != 0;
  s->memoryTotal = ReadDeviceNumberOr(key, L"MemoryTotal", defaultMemoryTotal);
  s->memoryAvail = ReadDeviceNumberOr(key, L"MemoryAvail", defaultMemoryAvail);
  s->clockFrozen = ReadDeviceNumberOr(key, L"ClockFrozen", 0) != 0;
  ULONGLONG n = 0;
  s->tickSet = ReadDeviceNumber(key, L"TickCount", &n);
  s->tickCount = (DWORD)n;
  s->tickStamped = ReadDeviceNumber(key, L"TickSetAt", &n);
  s->tickSetAt = (DWORD)n;
  wchar_t text[40];
  s->timeSet = ReadDeviceString(key, L"LocalTime", text, 40) && ParseLocalTime(text, &s->localTime);
  s->timeStamped = ReadDeviceNumber(key, L"LocalTimeSetAt", &n);
  s->timeSetAt = (DWORD)n;
  LoadCards(s);
}

static SimState state;
static HANDLE stateChanged;  // signalled by the registry at a change under the key
static bool stateWatched;
static bool stateLoaded;
static SRWLOCK stateLock = SRWLOCK_INIT;

// How often a reader asks the registry whether a shell changed the device;
// changes made through this module are seen at once through the counter.
static const DWORD shellCheckMs = 10;
static LONG loadedGeneration;
static DWORD lastShellCheck;

// Reloads the copy if the device changed since it was loaded. The readings
// are asked for a dozen times a paint: the shared counter costs a memory
// read, the registry's change event a round trip to the server each time.
static void RefreshState() {
  volatile LONG* generation = DeviceGeneration();
  if (stateLoaded && stateWatched) {
    DWORD now = GetTickCount();
    if (generation && *generation == loadedGeneration && now - lastShellCheck < shellCheckMs) {
      return;
    }
    lastShellCheck = now;
    if ((!generation || *generation == loadedGeneration) &&
        WaitForSingleObject(stateChanged, 0) == WAIT_TIMEOUT) {
      return;
    }
  }
  AcquireSRWLockExclusive(&stateLock);
  // Noted before reading, so a change made during the load is not missed.
  if (generation) loadedGeneration = *generation;
  if (!stateChanged) {
    stateChanged = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  }
  // Armed before reading, so a change made during the load is not missed.
  // Without a watch every reading reloads.
  stateWatched = stateChanged && WatchDeviceKey(stateChanged);
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
  if (ticks == 0) {
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

void SimSetTickCount(DWORD tick) {
  HKEY key = DeviceKey();
  WriteDeviceDword(key, L"TickCount", tick);
  WriteDeviceDword(key, L"TickSetAt", GetTickCount());
}

void SimSetLocalTime(const SYSTEMTIME& time) {
  wchar_t text[40];
  FormatLocalTime(time, text);
  HKEY key = DeviceKey();
  WriteDeviceString(key, L"LocalTime", text);
  WriteDeviceDword(key, L"LocalTimeSetAt", GetTickCount());
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
  TicksToSystemTime(SystemTimeToTicks(time) + milliseconds * fileTimePerMs, &time);
  SimSetTickCount(tick + milliseconds);
  SimSetLocalTime(time);
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

// Opens the subkey of the card with that name (for changing it) and notes
// its number in lastCardNumber.
static DWORD lastCardNumber;

static bool OpenCardByName(const wchar_t* path, HKEY* card) {
  *card = nullptr;
  wchar_t name[MAX_PATH];
  return ForEachCard([&](DWORD number, HKEY candidate) {
    CardName(candidate, name);
    if (!SameCardName(path, name)) {
      return false;
    }
    lastCardNumber = number;
    return RegOpenKeyExW(candidate, nullptr, 0, KEY_READ | KEY_WRITE, card) == ERROR_SUCCESS;
  });
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
  HKEY card;
  if (!OpenCardByName(name, &card)) {
    DWORD last = 0;
    ForEachCard([&](DWORD number, HKEY) {
      if (number > last) {
        last = number;
      }
      return false;
    });
    wchar_t subkey[40];
    wsprintfW(subkey, SIM_DEVICE_KEY L"\\Cards\\%u", last + 1);
    if (RegCreateKeyExW(HKEY_CURRENT_USER, subkey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                        &card, nullptr) != ERROR_SUCCESS) {
      return;
    }
    WriteDeviceString(card, L"Name", name);
  }
  WriteDeviceQword(card, L"TotalBytes", totalBytes);
  WriteDeviceQword(card, L"FreeBytes", freeBytes);
  RegCloseKey(card);
}

bool SimRemoveCard(const wchar_t* name) {
  HKEY card;
  if (!OpenCardByName(name, &card)) {
    return false;
  }
  RegCloseKey(card);
  wchar_t subkey[40];
  wsprintfW(subkey, L"Cards\\%u", lastCardNumber);
  bool removed = RegDeleteTreeW(DeviceKey(), subkey) == ERROR_SUCCESS;
  NoteDeviceChanged();
  return removed;
}

void SimRemoveAllCards() {
  RegDeleteTreeW(DeviceKey(), L"Cards");
  NoteDeviceChanged();
}

void SimSetCardQueryFails(const wchar_t* name, bool fails) {
  HKEY card;
  if (OpenCardByName(name, &card)) {
    WriteDeviceDword(card, L"QueryFails", fails ? 1 : 0);
    RegCloseKey(card);
  }
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
