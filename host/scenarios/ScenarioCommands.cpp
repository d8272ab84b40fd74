// The scenario language's commands: one table row each, with its parser,
// its usage and what it does. The device's commands are in ScenarioDevice.cpp.
#include "ScenarioReader.h"

namespace {

bool ParseNothing(LineReader& r) {
  return Count(r, 0, 0);
}

bool ParseRefresh(LineReader& r) {
  ++r.state->queries;
  return Count(r, 0, 0);
}

bool ParseTap(LineReader& r) {
  long long x, y;
  if (r.state->suspended)
    return r.Fail(L"the device is suspended: a tap needs a resume before it");
  if (!Count(r, 2, 2) || !Number(r, 1, 0, 239, L"x", &x) || !Number(r, 2, 0, 41, L"y", &y)) {
    return false;
  }
  r.c->args = TapArgs{(int)x, (int)y};
  return true;
}

bool ParseSuspend(LineReader& r) {
  if (!Count(r, 0, 0))
    return false;
  if (r.state->suspended)
    return r.Fail(L"the device is already suspended");
  r.state->suspended = true;
  return true;
}

bool ParseResume(LineReader& r) {
  if (!Count(r, 0, 0))
    return false;
  if (!r.state->suspended)
    return r.Fail(L"resume needs a suspend before it");
  r.state->suspended = false;
  r.state->untilQueryMs = r.state->intervalMs;
  return true;
}

bool ParseTextColor(LineReader& r) {
  ColorArgs a;
  if (!Count(r, 1, 1))
    return false;
  if (!ParseColor(r.t[1].text, &a.color)) {
    return r.Fail(L"expected a colour as #RRGGBB, not " + Quote(r.t[1].text));
  }
  r.c->args = a;
  return true;
}

bool PictureName(LineReader& r, const wchar_t* extension, std::wstring* file) {
  if (r.Arguments() == 0)
    return r.Fail(r.t[0].text + L" needs a file name");
  *file = r.t[1].text;
  if (!FitsNameLimits(*file)) {
    return r.Fail(Quote(*file) + L" is longer than a file name may be: " +
                  std::to_wstring(Utf8Bytes(*file)) +
                  L" bytes in UTF-8, at most 255 (and 255 characters)");
  }
  if (!IsPlainFileNameWith(*file, extension)) {
    return r.Fail(Quote(*file) + L" is not a plain *" + extension + L" file name (no folders, " +
                  L"no control character, no trailing dot or blank, no device name such as CON, " +
                  L"CONIN$ or COM1)");
  }
  if (!r.state->pictures.insert(Upper(*file)).second) {
    return r.Fail(Quote(*file) + L" is written twice");
  }
  return true;
}

bool Scale(LineReader& r, const std::wstring& value, int* scale) {
  long long v;
  if (!ParseInt(value, 1, 16, &v)) {
    return r.Fail(L"scale must be a whole number from 1 to 16, not " + Quote(value));
  }
  *scale = (int)v;
  return true;
}

bool ParseSnapshot(LineReader& r) {
  SnapshotArgs a;
  if (!PictureName(r, L".png", &a.file))
    return false;
  size_t i = 2;
  if (r.Word(i, L"window")) {
    a.of = PictureOf::TodayWindow;
    ++i;
  } else if (r.Word(i, L"of")) {
    a.of = PictureOf::OtherWindow;
    if (i + 1 == r.t.size())
      return r.Fail(L"of needs a window title in quotes");
    if (!Title(r, i + 1, &a.title))
      return false;
    i += 2;
  }
  std::vector<std::wstring> v;
  if (!Settings(r, i, {L"scale"}, &v) || (!v[0].empty() && !Scale(r, v[0], &a.scale))) {
    return false;
  }
  if (a.of == PictureOf::Strip)
    ++r.state->stripSnapshots;
  r.c->args = a;
  return true;
}

bool ParseAnimation(LineReader& r) {
  AnimationArgs a;
  long long ms;
  std::vector<std::wstring> v;
  if (!PictureName(r, L".gif", &a.file) || !Settings(r, 2, {L"scale", L"delay"}, &v)) {
    return false;
  }
  if (!v[0].empty() && !Scale(r, v[0], &a.scale))
    return false;
  if (!v[1].empty()) {
    if (!ParseDurationIn(v[1], 10, 655350, L"delay", &ms, r.error))
      return false;
    a.delayMs = (DWORD)ms;
  }
  ULONGLONG frames = r.state->stripSnapshots;
  if (frames == 0)
    return r.Fail(L"an animation needs a strip snapshot before it");
  if (frames * a.scale * a.scale * 240 * 42 > limits::animationPixels) {
    return r.Fail(L"an animation holds at most 67108864 pixels: " + std::to_wstring(frames) +
                  L" frames at scale=" + std::to_wstring(a.scale) + L" are more");
  }
  r.c->args = a;
  return true;
}

bool ParseOptions(LineReader& r) {
  OptionsArgs a;
  if (r.Arguments() == 0 || r.Arguments() > (size_t)limits::optionPresses) {
    return r.Fail(L"options presses 1 to 10 buttons, the last ok: for example options cancel ok");
  }
  for (size_t i = 1; i < r.t.size(); ++i) {
    if (r.Word(i, L"ok"))
      a.presses.push_back(IDOK);
    else if (r.Word(i, L"cancel"))
      a.presses.push_back(IDCANCEL);
    else
      return r.Fail(L"options presses ok or cancel, not " + Quote(r.t[i].text));
  }
  if (a.presses.back() != IDOK)
    return r.Fail(L"options must end with ok, which closes the dialog");
  r.c->args = a;
  return true;
}

// A window by its title; foreground and expect foreground also take today.
bool ParseWindow(LineReader& r) {
  WindowArgs a;
  bool today = r.c->op != Op::Close && r.Word(r.first, L"today");
  if (!Count(r, 1, 1) || (!today && !Title(r, r.first, &a.title)))
    return false;
  r.c->args = a;
  return true;
}

bool ParseExpectCount(LineReader& r) {
  long long n;
  if (!Count(r, 1, 1) || !Number(r, 2, 0, 1000000, r.t[1].text.c_str(), &n))
    return false;
  r.c->args = CountArgs{n};
  return true;
}

// expect window "TITLE" [N] (-1: at least one), expect no-window "TITLE" (0).
bool ParseExpectWindow(LineReader& r) {
  WindowCountArgs a;
  long long n = r.Word(1, L"no-window") ? 0 : -1;
  if (!Count(r, 1, n ? 2 : 1) || !Title(r, 2, &a.title))
    return false;
  if (r.Arguments() == 2 && !Number(r, 3, 0, 100, L"the window count", &n))
    return false;
  a.count = (int)n;
  r.c->args = a;
  return true;
}

bool ParseExpectRegistered(LineReader& r) {
  if (!Count(r, 1, 1))
    return false;
  if (!IsPlainFileName(r.t[2].text))
    return r.Fail(Quote(r.t[2].text) + L" is not a file name");
  r.c->args = RegisteredArgs{r.t[2].text};
  return true;
}

#define SIZES L"sizes up to "
const CommandInfo commands[] = {
    {L"battery", Op::Battery, ParseBattery,
     L"battery [ac=on|off|backup|unknown] [percent=N|unknown] [remaining=DURATION|unknown] "
     L"[voltage=MV]",
     L"sets the battery (percent 0-255, 255 unknown); fields not given keep their values"},
    {L"battery-fault short", Op::BatteryFault, ParsePowerShort, L"battery-fault short N",
     L"the power query fills only N bytes (0-55)"},
    {L"battery-fault none", Op::BatteryFault, ParsePowerSound, L"battery-fault none",
     L"a sound power query again"},
    {L"card add", Op::CardAdd, ParseCardAddOrSet, L"card add NAME total=SIZE free=SIZE",
     L"inserts a card: a new folder name of at most 259 characters, " SIZES L"2048GB, "
     L"at most 100 cards"},
    {L"card set", Op::CardSet, ParseCardAddOrSet, L"card set NAME total=SIZE free=SIZE",
     L"new figures for an inserted card"},
    {L"card remove", Op::CardRemove, ParseCardRemove, L"card remove NAME", L"pulls a card out"},
    {L"card fault", Op::CardFault, ParseCardFault, L"card fault NAME on|off",
     L"the card's disk query fails, or works again"},
    {L"store fault", Op::StoreFault, ParseFault, L"store fault on|off",
     L"the object store query fails, or works again"},
    {L"store", Op::Store, ParseStore, L"store total=SIZE free=SIZE",
     L"the object store, " SIZES L"4294967295B"},
    {L"memory", Op::Memory, ParseMemory, L"memory total=SIZE free=SIZE",
     L"program memory, " SIZES L"2048GB"},
    {L"time", Op::Time, ParseTime, L"time YYYY-MM-DD HH:MM[:SS]",
     L"the local time, 1980-01-01 00:00 to 2099-12-31 23:59:59"},
    {L"tick", Op::Tick, ParseTick, L"tick N", L"the tick count in ms, 0 to 4294967295"},
    {L"wait", Op::Wait, ParseWait, L"wait DURATION",
     L"lets device time pass (at most 24h), sending a refresh query at every interval (at most "
     L"43200 per wait, 200000 per script); while suspended, no queries are sent and the tick "
     L"count stands still"},
    {L"interval", Op::Interval, ParseInterval, L"interval DURATION",
     L"the query interval from now on, 1ms to 24h (its cadence restarts)"},
    {L"refresh", Op::Refresh, ParseRefresh, L"refresh", L"one refresh query now"},
    {L"tap", Op::Tap, ParseTap, L"tap X Y",
     L"a pen tap (button down and up) at item coordinates, X 0-239, Y 0-41; not while "
     L"suspended"},
    {L"suspend", Op::Suspend, ParseSuspend, L"suspend", L"suspends the device"},
    {L"resume", Op::Resume, ParseResume, L"resume",
     L"fires the wake-up event and waits (up to 15 s) for the programs it starts"},
    {L"text-color", Op::TextColor, ParseTextColor, L"text-color #RRGGBB",
     L"the Today text colour, used from the item's next paint"},
    {L"snapshot", Op::Snapshot, ParseSnapshot, L"snapshot NAME.png [window|of \"TITLE\"] [scale=N]",
     L"a PNG of the 240 x 42 strip as painted (scale 1-16, nearest neighbour), or of the whole "
     L"Today window, or of another program's window"},
    {L"animation", Op::Animation, ParseAnimation, L"animation NAME.gif [scale=N] [delay=DURATION]",
     L"a looping GIF of every strip snapshot so far (delay 10ms-655350ms, default 1s; at most "
     L"67108864 pixels in all frames: 400 frames at scale=4, 26 at scale=16)"},
    {L"options", Op::Options, ParseOptions, L"options ok|cancel ... ok",
     L"opens the options dialog and presses up to 10 buttons in turn; it must close on the "
     L"last press (OK) with result 1, within 15 s"},
    {L"foreground", Op::Foreground, ParseWindow, L"foreground today|\"TITLE\"",
     L"brings a window to the front"},
    {L"close", Op::Close, ParseWindow, L"close \"TITLE\"",
     L"presses OK in a window and waits (up to 15 s) until it closes"},
    {L"reset-paints", Op::ResetPaints, ParseNothing, L"reset-paints",
     L"sets the count of the item's WM_PAINTs to zero"},
    {L"expect paints", Op::ExpectPaints, ParseExpectCount, L"expect paints N",
     L"item paints since reset-paints"},
    {L"expect true-answers", Op::ExpectTrueAnswers, ParseExpectCount, L"expect true-answers N",
     L"TRUE answers to refresh queries so far"},
    {L"expect height", Op::ExpectHeight, ParseExpectCount, L"expect height N",
     L"the item's height"},
    {L"expect window", Op::ExpectWindow, ParseExpectWindow, L"expect window \"TITLE\" [N]",
     L"top-level windows with that title: at least one, or N; waits up to 15 s"},
    {L"expect no-window", Op::ExpectWindow, ParseExpectWindow, L"expect no-window \"TITLE\"",
     L"no top-level window with that title; waits up to 15 s"},
    {L"expect foreground", Op::ExpectForeground, ParseWindow, L"expect foreground today|\"TITLE\"",
     L"the foreground window; waits up to 15 s"},
    {L"expect wakeup-started", Op::ExpectWakeupStarted, ParseExpectCount,
     L"expect wakeup-started N", L"programs started by the last resume"},
    {L"expect registered", Op::ExpectRegistered, ParseExpectRegistered,
     L"expect registered NAME.exe", L"a wake-up registration of that program"},
};

// The row whose name the line starts with, two-word names first.
const CommandInfo* FindRow(const std::vector<Token>& t) {
  for (const CommandInfo& row : commands) {
    std::wstring name = row.name;
    size_t space = name.find(L' ');
    if (space != std::wstring::npos && t.size() > 1 && !t[1].quoted &&
        t[0].text == name.substr(0, space) && t[1].text == name.substr(space + 1)) {
      return &row;
    }
  }
  for (const CommandInfo& row : commands) {
    if (t[0].text == row.name)
      return &row;
  }
  return nullptr;
}

}  // namespace

const CommandInfo* ScenarioCommands(size_t* count) {
  *count = sizeof commands / sizeof commands[0];
  return commands;
}

bool ParseCommandLine(const std::vector<Token>& t, CheckState* state, Command* command,
                      std::wstring* error) {
  if (t[0].quoted) {
    *error = L"a line must start with a command, not a quoted text";
    return false;
  }
  const CommandInfo* row = FindRow(t);
  if (!row) {
    std::wstring kinds;
    for (const CommandInfo& r : commands) {
      std::wstring name = r.name;
      if (name.compare(0, t[0].text.size() + 1, t[0].text + L" ") == 0) {
        kinds += (kinds.empty() ? L"" : L", ") + name;
      }
    }
    *error = kinds.empty() ? L"unknown command " + Quote(t[0].text) + L" (--help lists them)"
                           : L"expected " + kinds + L", not " +
                                 Quote(t[0].text + (t.size() > 1 ? L" " + t[1].text : L""));
    return false;
  }
  command->op = row->op;
  size_t first = wcschr(row->name, L' ') ? 2 : 1;
  LineReader reader{t, first, state, command, error, row->usage};
  return row->parse(reader);
}
