// Control of the simulated device: its setters, faults and reset. Each setter
// is one write of the shared record (SimulatedState.h) and nothing else; a
// value the device cannot hold is refused, and nothing is written.
#define CE_PLATFORM_IMPLEMENTATION
#include "SimulatedDevice.h"

#include "CeApi.h"
#include "DeviceRegistry.h"
#include "SimulatedState.h"

// The reset clock: frozen, ten minutes after boot, on a Monday morning.
const DWORD simResetTick = 600000;
const SYSTEMTIME simResetTime = {2004, 3, 1, 15, 10, 8, 30, 0};

// --- Values by name -----------------------------------------------------------------

static int ValueNamed(const wchar_t* name) {
  for (int i = 0; i < numberCount; i++) {
    if (lstrcmpiW(name, simValues[i].name) == 0)
      return i;
  }
  return -1;
}

bool SimSet(std::initializer_list<SimValueSet> values) {
  for (const SimValueSet& v : values) {
    int i = ValueNamed(v.name);
    if (i < 0 || !InRange(simValues[i].range, v.value))
      return false;
  }
  WriteDevice([&](SimDevice& d) {
    for (const SimValueSet& v : values) {
      int i = ValueNamed(v.name);
      d.numbers[i] = v.value;
      if (i == TickCount || i == LocalTime)
        d.numbers[i == TickCount ? TickSetAt : LocalTimeSetAt] = GetTickCount();
    }
  });
  return true;
}

bool SimValueRow(int i, wchar_t (&row)[96]) {
  if (i < 0 || i >= numberCount)
    return false;
  static const wchar_t* const types[] = {L"DWORD", L"DWORD", L"DWORD", L"QWORD", L"SZ"};
  static const wchar_t* const takes[] = {L"0\u20134294967295", L"0\u2013255", L"0, 1, 2, 255",
                                         L"0\u20132048 GiB", L"1980\u20132099"};
  const SimValue& v = simValues[i];
  wchar_t fallback[24] = L"\u2014";
  if (v.fallback != unset)
    wsprintfW(fallback, L"%I64u", v.fallback);
  wsprintfW(row, L"| `%s` | %s | %s | %s |", v.name, types[v.range], fallback, takes[v.range]);
  return true;
}

// --- Clock ------------------------------------------------------------------

// Sets what the clock reads now; a running clock runs on from there.
static void SetClock(SimDevice& d, DWORD tick, ULONGLONG time, DWORD now) {
  d.numbers[TickCount] = tick;
  d.numbers[TickSetAt] = now;
  d.numbers[LocalTime] = time;
  d.numbers[LocalTimeSetAt] = now;
}

bool SimSetLocalTime(const SYSTEMTIME& time) {
  ULONGLONG ticks = SystemTimeToTicks(time);
  return ticks && SimSet({{L"LocalTime", ticks}});
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

// --- Storage cards ----------------------------------------------------------------

// The card with that name; null when there is none.
static SimCard* FindCard(SimDevice& d, const wchar_t* path) {
  for (int i = 0; i < d.cardCount; i++) {
    if (SameCardName(path, d.cards[i].name))
      return &d.cards[i];
  }
  return nullptr;
}

bool SimAddCard(const wchar_t* name, ULONGLONG totalBytes, ULONGLONG freeBytes) {
  if (!name[0] || lstrlenW(name) >= MAX_PATH || totalBytes > largestBytes ||
      freeBytes > largestBytes) {
    return false;
  }
  bool added = false;
  WriteDevice([&](SimDevice& d) {
    SimCard* card = FindCard(d, name);
    if (!card && d.cardCount < maxCards) {
      card = &d.cards[d.cardCount];
      card->number = d.cardCount ? d.cards[d.cardCount - 1].number + 1 : 1;
      card->queryFails = FALSE;
      lstrcpynW(card->name, name, MAX_PATH);
      d.cardCount++;
    }
    if ((added = card != nullptr))
      card->totalBytes = totalBytes, card->freeBytes = freeBytes;
  });
  return added;
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

bool SimSetCardQueryFails(const wchar_t* name, bool fails) {
  bool found = false;
  WriteDevice([&](SimDevice& d) {
    SimCard* card = FindCard(d, name);
    if ((found = card != nullptr))
      card->queryFails = fails;
  });
  return found;
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
  ULONGLONG time = SystemTimeToTicks(simResetTime);
  WriteDevice([&](SimDevice& d) {
    SetClock(d, simResetTick, time, GetTickCount());
    d.numbers[ClockFrozen] = 1;
  });
}
