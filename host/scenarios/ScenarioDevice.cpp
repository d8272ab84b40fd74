// The scenario commands that set up the device: battery, cards, store,
// memory, clock, and the waits that let its time pass.
#include "CeApi.h"
#include "CeTypes.h"
#include "Messages.h"
#include "ScenarioCommands.h"
#include "TodayShell.h"

namespace {

const long long longestWaitMs = 24LL * 3600000;  // a wait, and an interval

bool OnOff(LineReader& r, size_t i, bool* on) {
  *on = r.Word(i, L"on");
  if (*on || r.Word(i, L"off"))
    return true;
  return r.Fail(L"expected on or off, not " + Quote(r.t[i].text));
}

// total=SIZE free=SIZE from the arguments on, into the line's total and free.
bool TotalFree(LineReader& r) {
  bool store = r.Word(0, L"store");
  std::vector<std::wstring> v;
  if (!Settings(r, r.first, {L"total", L"free"}, &v))
    return false;
  if (v[0].empty() || v[1].empty())
    return r.Fail(L"both total=SIZE and free=SIZE are needed");
  ULONGLONG* figures[] = {&r.c->total, &r.c->free};
  for (int i = 0; i < 2; ++i) {
    if (!ParseSize(v[i], figures[i]) || *figures[i] > (store ? 0xFFFFFFFFULL : (2048ULL << 30))) {
      return r.Fail(std::wstring(i ? L"free" : L"total") +
                    L"= takes a size with its unit (B, KB, MB or GB) up to " +
                    (store ? L"4294967295B" : L"2048GB") +
                    L", such as 4096B, 512KB, 64MB, 2GB, not " + Quote(v[i]));
    }
  }
  if (r.c->free > r.c->total)
    return r.Fail(L"free is larger than total");
  return true;
}

bool ReadBattery(LineReader& r) {
  std::vector<std::wstring> v;
  if (r.Arguments() == 0)
    return r.Fail(L"battery needs at least one of ac=, percent=, remaining=, voltage=");
  if (!Settings(r, 1, {L"ac", L"percent", L"remaining", L"voltage"}, &v))
    return false;
  const wchar_t* ac[] = {L"off", L"on", L"backup"};  // AC_LINE_OFFLINE, _ONLINE, _BACKUP_POWER
  long long n[] = {v[0] == L"unknown" ? AC_LINE_UNKNOWN : std::find(ac, ac + 3, v[0]) - ac,
                   BATTERY_PERCENTAGE_UNKNOWN, BATTERY_LIFE_UNKNOWN * 1000LL, 0};
  if (!v[0].empty() && n[0] == 3)
    return r.Fail(L"ac must be on, off, backup or unknown, not " + Quote(v[0]));
  if (!v[1].empty() && v[1] != L"unknown" && !ParseNumber(v[1], 0, 255, &n[1]))
    return r.Fail(L"percent must be 0 to 255 or unknown, not " + Quote(v[1]));
  if (!v[2].empty() && v[2] != L"unknown" &&
      !ParseDurationIn(v[2], 0, (BATTERY_LIFE_UNKNOWN - 1LL) * 1000, L"remaining", &n[2],
                       r.error)) {
    return false;
  }
  if (n[2] % 1000 != 0)
    return r.Fail(L"remaining must be whole seconds, not " + Quote(v[2]));
  if (!v[3].empty() && !ParseNumber(v[3], 0, 0xFFFFFFFFLL, &n[3]))
    return r.Fail(L"voltage must be millivolts from 0 to 4294967295, not " + Quote(v[3]));
  n[2] /= 1000;
  const wchar_t* names[] = {L"ACLineStatus", L"BatteryPercent", L"BatteryLifeTime",
                            L"BatteryVoltage"};
  for (int i = 0; i < 4; ++i) {
    if (!v[i].empty())
      r.c->values.push_back({names[i], (ULONGLONG)n[i]});
  }
  return true;
}

bool ReadPowerQuery(LineReader& r) {
  long long n = sizeof(SYSTEM_POWER_STATUS_EX2);
  if (r.Word(1, L"short") ? !Count(r, 1, 1) || !Number(r, 2, 0, n - 1, L"the bytes", &n)
                          : !Count(r, 0, 0)) {
    return false;
  }
  r.c->values = {{L"PowerQueryBytes", (ULONGLONG)n}};
  return true;
}

bool ReadTotalFree(LineReader& r) {
  bool store = r.Word(0, L"store");
  if (!TotalFree(r))
    return false;
  r.c->values = {{store ? L"StoreSize" : L"MemoryTotal", r.c->total},
                 {store ? L"StoreFree" : L"MemoryAvail", r.c->free}};
  return true;
}

bool ReadStoreFault(LineReader& r) {
  bool fails;
  if (!Count(r, 1, 1) || !OnOff(r, r.first, &fails))
    return false;
  r.c->values = {{L"StoreQueryFails", fails}};
  return true;
}

bool ReadTick(LineReader& r) {
  long long n;
  if (!Count(r, 1, 1) || !Number(r, 1, 0, 0xFFFFFFFFLL, L"the tick count", &n))
    return false;
  r.c->values = {{L"TickCount", (ULONGLONG)n}};
  return true;
}

// One write, so another program never sees a total with the last free.
bool SetValues(const Command& c, std::wstring* error) {
  if (SimSet(c.values.data(), c.values.size()))
    return true;
  *error = L"the device refused these values";  // the reader checked them against its ranges
  return false;
}

// card add|set|remove|fault NAME ...: a new name to add, else an inserted one.
bool ReadCard(LineReader& r) {
  bool add = r.Word(1, L"add");
  if (r.Arguments() == 0)
    return r.Fail(r.t[0].text + L" " + r.t[1].text + L" needs a card name");
  std::wstring& name = r.c->name = r.t[2].text;
  if (name.size() > MAX_PATH - 1u)
    return r.Fail(L"a card name has at most 259 characters, not " + std::to_wstring(name.size()));
  if (!IsPlainFileName(name.c_str(), name.size())) {
    return r.Fail(Quote(name) + L" is not a card folder name (no \\ / : * ? \" < > | or " +
                  L"control character, not . or .., no trailing dot or blank, no device name " +
                  L"such as CON)");
  }
  bool there = r.state->cards.count(Upper(name)) > 0;
  if (!add && !there)
    return r.Fail(L"no card named " + Quote(name) + L" is inserted");
  if (add && there)
    return r.Fail(L"a card named " + Quote(name) + L" is inserted");
  if (add && r.state->cards.size() >= 100u)
    return r.Fail(L"at most 100 cards may be inserted at once");
  if (r.Word(1, L"fault"))
    return Count(r, 2, 2) && OnOff(r, 3, &r.c->on);
  if (r.Word(1, L"remove")) {
    r.state->cards.erase(Upper(name));
    return Count(r, 1, 1);
  }
  ++r.first;  // the sizes follow the name
  r.state->cards.insert(Upper(name));
  return TotalFree(r);
}

bool ReadTime(LineReader& r) {
  if (!Count(r, 2, 2))
    return false;
  // The device's own reader; the sizes keep out its 'T' and milliseconds.
  const std::wstring &date = r.t[1].text, &clock = r.t[2].text;
  std::wstring text = date + L" " + clock + (clock.size() == 5 ? L":00" : L"");
  if (date.size() != 10 || text.size() != 19 || !SimParseLocalTime(text.c_str(), &r.c->time)) {
    return r.Fail(
        L"expected a date and time from 1980-01-01 00:00 to 2099-12-31 23:59:59, "
        L"such as 2026-12-06 09:41:20, not " +
        Quote(date + L" " + clock));
  }
  r.state->clockMs = ClockMs(r.c->time);
  return true;
}

bool ReadWait(LineReader& r) {
  long long& ms = r.c->number;
  CheckState& s = *r.state;
  if (!Count(r, 1, 1) || !ParseDurationIn(r.t[1].text, 0, longestWaitMs, L"wait", &ms, r.error)) {
    return false;
  }
  r.c->untilQueryMs = s.untilQueryMs;
  r.c->intervalMs = s.intervalMs;
  r.c->on = s.suspended;
  long long past = ms - s.untilQueryMs, queries = 0;  // past the next query
  if (!s.suspended) {
    queries = past < 0 ? 0 : 1 + past / s.intervalMs;
    s.untilQueryMs = past < 0 ? -past : s.intervalMs - past % s.intervalMs;
  }
  if (queries > 43200) {
    return r.Fail(L"a wait sends at most 43200 refresh queries; this one sends " +
                  std::to_wstring(queries) + L" at the interval " + DurationText(s.intervalMs));
  }
  s.queries += queries;
  if (s.queries > 200000)
    return r.Fail(L"a script sends at most 200000 refresh queries; this wait passes that");
  SYSTEMTIME last = {simLastYear, 12, 0, 31, 23, 59, 59, 999};
  s.clockMs += ms;
  if (s.clockMs > ClockMs(last))
    return r.Fail(L"the device's clock would pass 2099-12-31 23:59:59, the last time it holds");
  return true;
}

bool ReadInterval(LineReader& r) {
  long long& ms = r.c->number;
  if (!Count(r, 1, 1) ||
      !ParseDurationIn(r.t[1].text, 1, longestWaitMs, L"interval", &ms, r.error)) {
    return false;
  }
  r.state->intervalMs = r.state->untilQueryMs = ms;
  return true;
}

// Lets device time pass: queries at the cadence the reader worked out; while suspended, none,
// and the clock runs on while the tick count stands still, as on the device.
bool Wait(const Command& c, std::wstring*) {
  DWORD tick = CeGetTickCount();
  long long ms = c.number;
  for (long long step = c.untilQueryMs; !c.on && step <= ms; step = c.intervalMs) {
    SimAdvanceClock((DWORD)step);
    ms -= step;
    QueryTodayItems();
    PumpMessages();
  }
  if (ms > 0)
    SimAdvanceClock((DWORD)ms);
  if (c.on)
    SimSetTickCount(tick);
  InvalidateTodayHeader();
  PumpMessages();
  return true;
}

// The reader made sure the device takes each change.
bool ChangeCard(const Command& c, std::wstring*) {
  std::wstring kind = c.row->name;
  if (kind == L"card remove")
    SimRemoveCard(c.name.c_str());
  else if (kind == L"card fault")
    SimSetCardQueryFails(c.name.c_str(), c.on);
  else
    SimAddCard(c.name.c_str(), c.total, c.free);
  return true;
}

bool SetTime(const Command& c, std::wstring*) {
  SimSetLocalTime(c.time);
  InvalidateTodayHeader();
  PumpMessages();
  return true;
}

}  // namespace

#define SIZES L"sizes up to "
const std::vector<CommandInfo> deviceCommands = {
    {L"battery", ReadBattery, SetValues,
     L"battery [ac=on|off|backup|unknown] [percent=N|unknown] [remaining=DURATION|unknown] "
     L"[voltage=MV]",
     L"sets the battery (percent 0-255, 255 unknown); fields not given keep their values"},
    {L"battery-fault short", ReadPowerQuery, SetValues, L"battery-fault short N",
     L"the power query fills only N bytes (0-55)"},
    {L"battery-fault none", ReadPowerQuery, SetValues, L"battery-fault none",
     L"a sound power query again"},
    {L"card add", ReadCard, ChangeCard, L"card add NAME total=SIZE free=SIZE",
     L"inserts a card: a new folder name of at most 259 characters, " SIZES L"2048GB, "
     L"at most 100 cards"},
    {L"card set", ReadCard, ChangeCard, L"card set NAME total=SIZE free=SIZE",
     L"new figures for an inserted card"},
    {L"card remove", ReadCard, ChangeCard, L"card remove NAME", L"pulls a card out"},
    {L"card fault", ReadCard, ChangeCard, L"card fault NAME on|off",
     L"the card's disk query fails, or works again"},
    {L"store fault", ReadStoreFault, SetValues, L"store fault on|off",
     L"the object store query fails, or works again"},
    {L"store", ReadTotalFree, SetValues, L"store total=SIZE free=SIZE",
     L"the object store, " SIZES L"4294967295B"},
    {L"memory", ReadTotalFree, SetValues, L"memory total=SIZE free=SIZE",
     L"program memory, " SIZES L"2048GB"},
    {L"time", ReadTime, SetTime, L"time YYYY-MM-DD HH:MM[:SS]",
     L"the local time, 1980-01-01 00:00 to 2099-12-31 23:59:59"},
    {L"tick", ReadTick, SetValues, L"tick N", L"the tick count in ms, 0 to 4294967295"},
    {L"wait", ReadWait, Wait, L"wait DURATION",
     L"lets device time pass (at most 24h), sending a refresh query at every interval (at most "
     L"43200 per wait, 200000 per script); while suspended, no queries are sent and the tick "
     L"count stands still"},
    {L"interval", ReadInterval, nullptr, L"interval DURATION",
     L"the query interval from now on, 1ms to 24h (its cadence restarts)"},
};
