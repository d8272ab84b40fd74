// Control of the simulated device: its setters, faults and reset. Each setter
// is one write of the shared record and nothing else; a value the device
// cannot hold is refused, and nothing is written.
#define CE_PLATFORM_IMPLEMENTATION
#include "SimulatedDevice.h"

#include "CeApi.h"
#include "Device.h"
#include "SimulatedState.h"

// The reset clock: frozen, ten minutes after boot, on a Monday morning.
static const DWORD simResetTick = 600000;
const SYSTEMTIME simResetTime = {2004, 3, 1, 15, 10, 8, 30, 0};
const WORD simLastYear = lastYear;

static int ValueNamed(const wchar_t* name) {
  for (int i = 0; i < numberCount; i++) {
    if (lstrcmpiW(name, simValues[i].name) == 0)
      return i;
  }
  return -1;
}

bool SimSet(const SimValueSet* first, size_t count) {
  const SimValueSet* last = first + count;
  for (const SimValueSet* v = first; v != last; v++) {
    int i = ValueNamed(v->name);
    if (i < 0 || !InRange(simValues[i].range, v->value))
      return false;
  }
  WriteDevice([&](SimDevice& d) {
    for (const SimValueSet* v = first; v != last; v++) {
      int i = ValueNamed(v->name);
      d.numbers[i] = v->value;
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

bool SimParseLocalTime(const wchar_t* text, SYSTEMTIME* time) {
  ULONGLONG ticks = ParseLocalTime(text);
  if (ticks)
    TicksToSystemTime(ticks, time);  // with its day of the week
  return ticks != 0;
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
    SetClock(d, TickOf(d, now) + milliseconds, InRange(Date, time) ? time : 0, now);
  });
}

bool SimAddCard(const wchar_t* name, ULONGLONG totalBytes, ULONGLONG freeBytes) {
  if (!name[0] || lstrlenW(name) >= MAX_PATH || totalBytes > largestBytes ||
      freeBytes > largestBytes) {
    return false;
  }
  bool added = false;
  WriteDevice([&](SimDevice& d) {
    int at = CardAt(d, name);
    if (at < 0 && d.cardCount < maxCards) {
      at = d.cardCount++;
      SimCard& card = d.cards[at];
      card.number = at ? d.cards[at - 1].number + 1 : 1;
      card.queryFails = FALSE;
      lstrcpynW(card.name, name, MAX_PATH);
    }
    if ((added = at >= 0))
      d.cards[at].totalBytes = totalBytes, d.cards[at].freeBytes = freeBytes;
  });
  return added;
}

bool SimRemoveCard(const wchar_t* name) {
  int at = -1;
  WriteDevice([&](SimDevice& d) {
    if ((at = CardAt(d, name)) >= 0) {
      MoveMemory(&d.cards[at], &d.cards[at + 1], (d.cardCount - at - 1) * sizeof(SimCard));
      d.cardCount--;
    }
  });
  return at >= 0;
}

void SimRemoveAllCards() {
  WriteDevice([](SimDevice& d) { d.cardCount = 0; });
}

bool SimSetCardQueryFails(const wchar_t* name, bool fails) {
  int at = -1;
  WriteDevice([&](SimDevice& d) {
    if ((at = CardAt(d, name)) >= 0)
      d.cards[at].queryFails = fails;
  });
  return at >= 0;
}

void SimReloadDevice() {
  TakeShellValues(SharedDevice(), false);
}

LONG SimDeviceReadings() {
  return deviceReadings;
}

int SimIgnoredValues(wchar_t (*names)[48], wchar_t (*values)[32], int max) {
  int count = 0;
  ReadDevice([&](const SimDevice& d) {  // copied again, whole, after a write in between
    count = d.ignoredCount < maxIgnored ? d.ignoredCount : maxIgnored;
    for (int i = 0; i < count && i < max; i++) {
      lstrcpynW(names[i], d.ignored[i].name, 48);
      lstrcpynW(values[i], d.ignored[i].value, 32);
    }
  });
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
    ScopedRegKey key(OpenDeviceKey());
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

void SimResetDevice() {
  TakeShellValues(SharedDevice(), true);  // an empty key, the record at its defaults
  ULONGLONG time = SystemTimeToTicks(simResetTime);
  WriteDevice([&](SimDevice& d) {
    SetClock(d, simResetTick, time, GetTickCount());
    d.numbers[ClockFrozen] = 1;
  });
}

DeviceKind CurrentDeviceKind() {
  return LiveDeviceChosen() ? DeviceKind::Live : DeviceKind::Simulated;
}

void SelectDevice(DeviceKind kind) {
  ChooseLiveDevice(kind == DeviceKind::Live);
}

bool SetUpCommonControls() {
  return EnsureCommonControls();
}

void SimSetWakeupRefusals(DWORD count) {
  SimSet({{L"WakeupRefusals", count}});
}

int SimWakeupRegistrations(wchar_t (*paths)[MAX_PATH], int max) {
  AutoHeapFree<wchar_t> list(ReadWakeupPrograms());
  int count = 0;
  for (const wchar_t* p = list; p && *p; p += lstrlenW(p) + 1, count++)
    if (paths && count < max)
      lstrcpynW(paths[count], p, MAX_PATH);
  return count;
}

int FireWakeupEvent(HANDLE* processes, int max) {
  AutoHeapFree<wchar_t> list(ReadWakeupPrograms());
  int started = 0;
  for (const wchar_t* p = list; p && *p; p += lstrlenW(p) + 1) {
    // Started as the device starts them: CE's CreateProcessW gives the program
    // the argument alone, and a device path names a file on the device (DeviceFiles.h).
    wchar_t argument[] = APP_RUN_AFTER_WAKEUP;
    PROCESS_INFORMATION process = {};
    if (!CeCreateProcessW(p, argument, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                          &process)) {
      continue;
    }
    CloseHandle(process.hThread);
    if (processes && started < max)
      processes[started] = process.hProcess;  // the caller's to close
    else
      CloseHandle(process.hProcess);
    started++;
  }
  return started;
}
