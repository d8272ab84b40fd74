// Control of the simulated device: its setters, faults and reset. Every value
// is written to the device key (DeviceRegistry.cpp), where every process
// reads it; the writes that the readings need at once (the clock, the cards)
// also go through this process's copy of the state (SimulatedState.h).
#define CE_PLATFORM_IMPLEMENTATION
#include "SimulatedDevice.h"

#include "CeApi.h"
#include "DeviceRegistry.h"
#include "SimulatedState.h"

// The reset clock: frozen, ten minutes after boot, on a Monday morning.
static const DWORD resetTickCount = 600000;
static const wchar_t resetLocalTime[] = L"2004-03-15 10:08:30.000";

// --- Clock ------------------------------------------------------------------

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
      [&](SimState* s) -> bool {
        s->tickSet = true;
        s->tickCount = tick;
        if (stamp) {
          s->tickStamped = true;
          s->tickSetAt = now;
        }
        return true;
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
      [&](SimState* s) -> bool {
        s->timeSet = held;
        s->localTime = read;
        if (stamp) {
          s->timeStamped = true;
          s->timeSetAt = now;
        }
        return true;
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
  DWORD tick = SimulatedTickCount();
  SYSTEMTIME time;
  SimulatedLocalTime(&time);
  SimSetTickCount(tick);
  SimSetLocalTime(time);
  WriteDeviceDword(DeviceKey(), L"ClockFrozen", running ? 0 : 1);
}

void SimAdvanceClock(DWORD milliseconds) {
  DWORD tick = SimulatedTickCount();
  SYSTEMTIME time;
  SimulatedLocalTime(&time);
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
      [&](SimState* s) -> bool {
        SimCard* cached = CachedCard(s, number);
        if (!cached) {
          if (!GrowCards(s)) {
            return false;  // the next reading reloads
          }
          cached = &s->cards[s->cardCount++];  // the highest number: last in order
          cached->number = number;
          cached->queryFails = false;
          lstrcpynW(cached->name, name[0] && lstrlenW(name) < MAX_PATH ? name : defaultCardName,
                    MAX_PATH);
        }
        cached->totalBytes = totalBytes <= largestBytes ? totalBytes : defaultCardTotal;
        cached->freeBytes = freeBytes <= largestBytes ? freeBytes : defaultCardFree;
        return true;
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
      [&](SimState* s) -> bool {
        SimCard* cached = CachedCard(s, number);
        if (cached) {
          int at = (int)(cached - s->cards);
          MoveMemory(cached, cached + 1, (s->cardCount - at - 1) * sizeof(SimCard));
          s->cardCount--;
        }
        return true;
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
      [&](SimState* s) -> bool {
        SimCard* cached = CachedCard(s, number);
        if (cached) {
          cached->queryFails = fails;
        }
        return true;
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

void SimReloadDevice() {
  WriteThrough(false, [] { return 0L; }, [](SimState*) { return false; });
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
