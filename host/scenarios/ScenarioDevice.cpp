// The scenario commands that set up the device: battery, cards, store,
// memory, clock, and the waits that let its time pass.
#include "CeTypes.h"
#include "ScenarioReader.h"

static bool HasCard(const CheckState& s, const std::wstring& name) {
  for (const auto& n : s.cards) {
    if (Upper(n) == Upper(name))
      return true;
  }
  return false;
}

static bool Size(LineReader& r, const wchar_t* key, const std::wstring& word, ULONGLONG largest,
                 const wchar_t* largestText, ULONGLONG* bytes) {
  if (!ParseSize(word, bytes) || *bytes > largest) {
    return r.Fail(std::wstring(key) + L"= takes a size with its unit (B, KB, MB or GB) up to " +
                  largestText + L", such as 4096B, 512KB, 64MB, 2GB, not " + Quote(word));
  }
  return true;
}

static bool TotalFree(LineReader& r, ULONGLONG largest, const wchar_t* largestText,
                      ULONGLONG* total, ULONGLONG* free) {
  std::vector<std::wstring> v;
  if (!Settings(r, r.first, {L"total", L"free"}, &v))
    return false;
  if (v[0].empty() || v[1].empty())
    return r.Fail(L"both total=SIZE and free=SIZE are needed");
  if (!Size(r, L"total", v[0], largest, largestText, total) ||
      !Size(r, L"free", v[1], largest, largestText, free)) {
    return false;
  }
  if (*free > *total)
    return r.Fail(L"free is larger than total");
  return true;
}

bool ParseBattery(LineReader& r) {
  BatteryArgs b;
  std::vector<std::wstring> v;
  if (r.Arguments() == 0) {
    return r.Fail(L"battery needs at least one of ac=, percent=, remaining=, voltage=");
  }
  if (!Settings(r, 1, {L"ac", L"percent", L"remaining", L"voltage"}, &v))
    return false;
  if ((b.setAc = !v[0].empty())) {
    if (v[0] == L"off")
      b.ac = AC_LINE_OFFLINE;
    else if (v[0] == L"on")
      b.ac = AC_LINE_ONLINE;
    else if (v[0] == L"backup")
      b.ac = AC_LINE_BACKUP_POWER;
    else if (v[0] == L"unknown")
      b.ac = AC_LINE_UNKNOWN;
    else
      return r.Fail(L"ac must be on, off, backup or unknown, not " + Quote(v[0]));
  }
  long long n;
  if ((b.setPercent = !v[1].empty())) {
    if (v[1] == L"unknown")
      b.percent = BATTERY_PERCENTAGE_UNKNOWN;
    else if (ParseInt(v[1], 0, 255, &n))
      b.percent = (BYTE)n;
    else
      return r.Fail(L"percent must be 0 to 255 or unknown, not " + Quote(v[1]));
  }
  if ((b.setRemaining = !v[2].empty())) {
    if (v[2] == L"unknown") {
      b.remainingSeconds = BATTERY_LIFE_UNKNOWN;
    } else if (ParseDurationIn(v[2], 0, (BATTERY_LIFE_UNKNOWN - 1LL) * 1000, L"remaining", &n,
                               r.error)) {
      if (n % 1000 != 0)
        return r.Fail(L"remaining must be whole seconds, not " + Quote(v[2]));
      b.remainingSeconds = (DWORD)(n / 1000);
    } else {
      return false;
    }
  }
  if ((b.setVoltage = !v[3].empty())) {
    if (!ParseInt(v[3], 0, 0xFFFFFFFFLL, &n)) {
      return r.Fail(L"voltage must be millivolts from 0 to 4294967295, not " + Quote(v[3]));
    }
    b.voltage = (DWORD)n;
  }
  r.c->args = b;
  return true;
}

bool ParsePowerShort(LineReader& r) {
  long long n;
  if (!Count(r, 1, 1) || !Number(r, 2, 0, sizeof(SYSTEM_POWER_STATUS_EX2) - 1, L"the bytes", &n)) {
    return false;
  }
  r.c->args = PowerQueryArgs{(DWORD)n};
  return true;
}

bool ParsePowerSound(LineReader& r) {
  r.c->args = PowerQueryArgs{sizeof(SYSTEM_POWER_STATUS_EX2)};
  return Count(r, 0, 0);
}

static bool CardName(LineReader& r, bool inserted, CardArgs* card) {
  if (r.Arguments() == 0)
    return r.Fail(r.t[0].text + L" " + r.t[1].text + L" needs a card name");
  card->name = r.t[2].text;
  if (card->name.size() > (size_t)limits::cardNameChars) {
    return r.Fail(L"a card name has at most 259 characters, not " +
                  std::to_wstring(card->name.size()));
  }
  if (!IsPlainFileName(card->name)) {
    return r.Fail(Quote(card->name) + L" is not a card folder name (no \\ / : * ? \" < > | or " +
                  L"control character, not . or .., no trailing dot or blank, no device name " +
                  L"such as CON)");
  }
  bool there = HasCard(*r.state, card->name);
  if (inserted && !there)
    return r.Fail(L"no card named " + Quote(card->name) + L" is inserted");
  if (!inserted && there)
    return r.Fail(L"a card named " + Quote(card->name) + L" is inserted");
  return true;
}

bool ParseCardAddOrSet(LineReader& r) {
  bool add = r.c->op == Op::CardAdd;
  CardArgs card;
  if (!CardName(r, !add, &card))
    return false;
  if (add && r.state->cards.size() >= (size_t)limits::cards) {
    return r.Fail(L"at most 100 cards may be inserted at once");
  }
  ++r.first;
  if (!TotalFree(r, limits::largestCardBytes, L"2048GB", &card.totalBytes, &card.freeBytes)) {
    return false;
  }
  if (add)
    r.state->cards.push_back(card.name);
  r.c->args = card;
  return true;
}

bool ParseCardRemove(LineReader& r) {
  CardArgs card;
  if (!CardName(r, true, &card) || !Count(r, 1, 1))
    return false;
  for (size_t i = 0; i < r.state->cards.size(); ++i) {
    if (Upper(r.state->cards[i]) == Upper(card.name)) {
      r.state->cards.erase(r.state->cards.begin() + i);
      break;
    }
  }
  r.c->args = card;
  return true;
}

bool ParseCardFault(LineReader& r) {
  CardArgs card;
  if (!CardName(r, true, &card) || !Count(r, 2, 2) || !OnOff(r, 3, &card.fails))
    return false;
  r.c->args = card;
  return true;
}

bool ParseStore(LineReader& r) {
  MemoryArgs m;
  if (!TotalFree(r, 0xFFFFFFFFULL, L"4294967295B", &m.totalBytes, &m.freeBytes))
    return false;
  r.c->args = m;
  return true;
}

bool ParseMemory(LineReader& r) {
  MemoryArgs m;
  if (!TotalFree(r, limits::largestMemoryBytes, L"2048GB", &m.totalBytes, &m.freeBytes)) {
    return false;
  }
  r.c->args = m;
  return true;
}

bool ParseFault(LineReader& r) {
  FaultArgs f;
  if (!Count(r, 1, 1) || !OnOff(r, r.first, &f.fails))
    return false;
  r.c->args = f;
  return true;
}

bool ParseTime(LineReader& r) {
  TimeArgs a;
  if (!Count(r, 2, 2))
    return false;
  if (!ParseDateTime(r.t[1].text, r.t[2].text, &a.time)) {
    return r.Fail(
        L"expected a date and time from 1980-01-01 00:00 to 2099-12-31 23:59:59, "
        L"such as 2026-12-06 09:41:20, not " +
        Quote(r.t[1].text + L" " + r.t[2].text));
  }
  r.state->clockMs = ClockMs(a.time);
  r.c->args = a;
  return true;
}

bool ParseTick(LineReader& r) {
  long long n;
  if (!Count(r, 1, 1) || !Number(r, 1, 0, 0xFFFFFFFFLL, L"the tick count", &n))
    return false;
  r.c->args = TickArgs{(DWORD)n};
  return true;
}

bool ParseWait(LineReader& r) {
  long long ms;
  CheckState& s = *r.state;
  if (!Count(r, 1, 1) ||
      !ParseDurationIn(r.t[1].text, 0, limits::longestWaitMs, L"wait", &ms, r.error)) {
    return false;
  }
  long long queries = 0;
  if (!s.suspended && ms >= s.untilQueryMs) {
    queries = 1 + (ms - s.untilQueryMs) / s.intervalMs;
    s.untilQueryMs = s.intervalMs - (ms - s.untilQueryMs) % s.intervalMs;
  } else if (!s.suspended) {
    s.untilQueryMs -= ms;
  }
  if (queries > limits::queriesPerWait) {
    return r.Fail(L"a wait sends at most 43200 refresh queries; this one sends " +
                  std::to_wstring(queries) + L" at the interval " + DurationText(s.intervalMs));
  }
  s.queries += queries;
  if (s.queries > limits::queriesPerScript) {
    return r.Fail(L"a script sends at most 200000 refresh queries; this wait passes that");
  }
  SYSTEMTIME last = {(WORD)lastDeviceYear, 12, 0, 31, 23, 59, 59, 999};
  s.clockMs += ms;
  if (s.clockMs > ClockMs(last)) {
    return r.Fail(L"the device's clock would pass 2099-12-31 23:59:59, the last time it holds");
  }
  r.c->args = DurationArgs{(DWORD)ms};
  return true;
}

bool ParseInterval(LineReader& r) {
  long long ms;
  if (!Count(r, 1, 1) ||
      !ParseDurationIn(r.t[1].text, 1, limits::longestWaitMs, L"interval", &ms, r.error)) {
    return false;
  }
  r.state->intervalMs = r.state->untilQueryMs = ms;
  r.c->args = DurationArgs{(DWORD)ms};
  return true;
}
