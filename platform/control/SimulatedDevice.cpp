// Control of the simulated device: its setters, faults and reset. Each setter
// is one write of the shared record (SimulatedState.h) and nothing else; values
// the device cannot hold read as their defaults, as from a shell.
#define CE_PLATFORM_IMPLEMENTATION
#include "SimulatedDevice.h"

#include "CeApi.h"
#include "DeviceRegistry.h"
#include "SimulatedState.h"

// The reset clock: frozen, ten minutes after boot, on a Monday morning.
static const DWORD resetTickCount = 600000;
static const SYSTEMTIME resetLocalTime = {2004, 3, 1, 15, 10, 8, 30, 0};

// --- Clock ------------------------------------------------------------------

// Sets what the clock reads now; a running clock runs on from there.
static void SetClock(SimDevice& d, DWORD tick, ULONGLONG time, DWORD now) {
  d.numbers[TickCount] = tick;
  d.numbers[TickSetAt] = now;
  d.localTime = time;
  d.numbers[LocalTimeSetAt] = now;
}

void SimSetTickCount(DWORD tick) {
  WriteDevice([&](SimDevice& d) {
    d.numbers[TickCount] = tick;
    d.numbers[TickSetAt] = GetTickCount();
  });
}

void SimSetLocalTime(const SYSTEMTIME& time) {
  ULONGLONG ticks = SystemTimeToTicks(time);  // out of the device's years: the machine's
  WriteDevice([&](SimDevice& d) {
    d.localTime = ticks;
    d.numbers[LocalTimeSetAt] = GetTickCount();
  });
}

void SimSetClockRunning(bool running) {
  WriteDevice([&](SimDevice& d) {
    if (running == !d.numbers[ClockFrozen])
      return;
    // Freezing keeps the reading of this moment; thawing runs on from it.
    DWORD now = GetTickCount();
    SetClock(d, TickOf(d, now), LocalTimeOf(d, now), now);
    d.numbers[ClockFrozen] = running ? 0 : 1;
  });
}

void SimAdvanceClock(DWORD milliseconds) {
  WriteDevice([&](SimDevice& d) {
    DWORD now = GetTickCount();
    ULONGLONG time = LocalTimeOf(d, now) + milliseconds * fileTimePerMs;
    SYSTEMTIME t;
    TicksToSystemTime(time, &t);
    SetClock(d, TickOf(d, now) + milliseconds, SystemTimeToTicks(t), now);
  });
}

// --- Power, object store and program memory ---------------------------------------

void SimSetPower(BYTE acLineStatus, BYTE batteryPercent, DWORD lifeTimeSeconds,
                 DWORD voltageMillivolts) {
  bool known = acLineStatus <= AC_LINE_BACKUP_POWER || acLineStatus == AC_LINE_UNKNOWN;
  WriteDevice([&](SimDevice& d) {
    d.numbers[AcLine] = known ? acLineStatus : defaultAcLine;
    d.numbers[BatteryPercent] = batteryPercent;
    d.numbers[BatteryLifeTime] = lifeTimeSeconds;
    d.numbers[BatteryVoltage] = voltageMillivolts;
  });
}

static void SetNumbers(SimNumber first, ULONGLONG a, ULONGLONG b) {
  WriteDevice([&](SimDevice& d) {
    d.numbers[first] = a;
    d.numbers[first + 1] = b;
  });
}

void SimSetPowerQueryBytes(DWORD bytes) {
  WriteDevice([&](SimDevice& d) { d.numbers[PowerQueryBytes] = bytes; });
}

void SimSetStore(DWORD storeSize, DWORD freeSize) {
  SetNumbers(StoreSize, storeSize, freeSize);
}

void SimSetStoreQueryFails(bool fails) {
  WriteDevice([&](SimDevice& d) { d.numbers[StoreQueryFails] = fails; });
}

void SimSetProgramMemory(ULONGLONG totalPhys, ULONGLONG availPhys) {
  SetNumbers(MemoryTotal, totalPhys <= largestBytes ? totalPhys : defaultMemoryTotal,
             availPhys <= largestBytes ? availPhys : defaultMemoryAvail);
}

// --- Storage cards ----------------------------------------------------------------

// The card with that name; null when there is none.
static SimCard* FindCard(SimDevice& d, const wchar_t* path) {
  for (int i = 0; i < d.cardCount; i++) {
    if (SameCardName(path, d.cards[i].name))
      return &d.cards[i];
  }
  return nullptr;
}

void SimAddCard(const wchar_t* name, ULONGLONG totalBytes, ULONGLONG freeBytes) {
  WriteDevice([&](SimDevice& d) {
    SimCard* card = FindCard(d, name);
    if (!card) {
      if (d.cardCount >= maxCards)
        return;  // the device's limit
      card = &d.cards[d.cardCount];
      card->number = d.cardCount ? d.cards[d.cardCount - 1].number + 1 : 1;
      card->queryFails = FALSE;
      lstrcpynW(card->name, name[0] && lstrlenW(name) < MAX_PATH ? name : defaultCardName,
                MAX_PATH);
      d.cardCount++;
    }
    card->totalBytes = totalBytes <= largestBytes ? totalBytes : defaultCardTotal;
    card->freeBytes = freeBytes <= largestBytes ? freeBytes : defaultCardFree;
  });
}

bool SimRemoveCard(const wchar_t* name) {
  bool removed = false;
  WriteDevice([&](SimDevice& d) {
    SimCard* card = FindCard(d, name);
    if (!card)
      return;
    int at = (int)(card - d.cards);
    MoveMemory(card, card + 1, (d.cardCount - at - 1) * sizeof(SimCard));
    d.cardCount--;
    removed = true;
  });
  return removed;
}

void SimRemoveAllCards() {
  WriteDevice([](SimDevice& d) { d.cardCount = 0; });
}

void SimSetCardQueryFails(const wchar_t* name, bool fails) {
  WriteDevice([&](SimDevice& d) {
    SimCard* card = FindCard(d, name);
    if (card)
      card->queryFails = fails;
  });
}

// --- The shell's values -----------------------------------------------------------------

void SimReloadDevice() {
  TakeShellValues(SharedDevice(), false);
}

LONG SimDeviceReadings() {
  return deviceReadings;
}

int SimIgnoredValues(wchar_t (*names)[48], wchar_t (*values)[32], int max) {
  SimIgnored ignored[maxIgnored];
  int count = 0;
  ReadDevice([&](const SimDevice& d) {
    count = d.ignoredCount < maxIgnored ? d.ignoredCount : maxIgnored;
    CopyMemory(ignored, d.ignored, sizeof(ignored));
  });
  for (int i = 0; i < count && i < max; i++) {
    lstrcpynW(names[i], ignored[i].name, 48);
    lstrcpynW(values[i], ignored[i].value, 32);
  }
  return count;
}

static bool KeyDeleted(HKEY key) {
  DWORD values;
  return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                          nullptr, nullptr, nullptr, nullptr) == ERROR_KEY_DELETED;
}

static DWORD WINAPI WatchShell(void*) {
  AutoCloseHandle changed(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  const DWORD filter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
  for (;;) {
    ScopedRegKey key;
    RegCreateKeyExW(HKEY_CURRENT_USER, SIM_DEVICE_KEY, 0, nullptr, 0, KEY_READ, nullptr, key.Out(),
                    nullptr);
    // Armed before each look, so that no change made during it is missed. A
    // deleted key tells no one: it is checked every second, and then reopened.
    DWORD waited = WAIT_OBJECT_0;
    while (waited == WAIT_OBJECT_0 && key.IsValid() &&
           RegNotifyChangeKeyValue(key, TRUE, filter, changed, TRUE) == ERROR_SUCCESS) {
      TakeShellValues(SharedDevice(), false);
      while ((waited = WaitForSingleObject(changed, 1000)) == WAIT_TIMEOUT && !KeyDeleted(key)) {
      }
    }
    if (!key.IsValid())
      Sleep(1000);
  }
}

void SimWatchShell() {
  AutoCloseHandle thread(CreateThread(nullptr, 0, WatchShell, nullptr, 0, nullptr));
}

// --- Reset --------------------------------------------------------------------------

void SimResetDevice() {
  TakeShellValues(SharedDevice(), true);  // an empty key, the record at its defaults
  ULONGLONG time = SystemTimeToTicks(resetLocalTime);
  WriteDevice([&](SimDevice& d) {
    SetClock(d, resetTickCount, time, GetTickCount());
    d.numbers[ClockFrozen] = 1;
  });
}
