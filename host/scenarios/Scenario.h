// A scenario: a line-oriented script of device situations, item actions,
// pictures and expectations, read whole before anything runs.
#pragma once

#include <windows.h>

#include <string>
#include <variant>
#include <vector>

// What a script may ask for; every limit is checked before any line runs.
namespace limits {
const long long longestWaitMs = 24LL * 3600000;  // one wait
const long long queriesPerWait = 43200;          // a day at the 2 s interval
const long long queriesPerScript = 200000;
const int commandLines = 10000;
const int cards = 100;
const int cardNameChars = MAX_PATH - 1;            // the device's folder names
const ULONGLONG largestCardBytes = 2048ULL << 30;  // 2048 GB
const ULONGLONG largestMemoryBytes = 2048ULL << 30;
const int optionPresses = 10;
const ULONGLONG animationPixels = 1ULL << 26;  // all frames, magnified
const size_t scriptBytes = 4u << 20;
}  // namespace limits

enum class Op {
  Battery,
  BatteryFault,
  CardAdd,
  CardSet,
  CardRemove,
  CardFault,
  Store,
  StoreFault,
  Memory,
  Time,
  Tick,
  Wait,
  Interval,
  Refresh,
  Tap,
  Suspend,
  Resume,
  TextColor,
  Snapshot,
  Animation,
  Options,
  Close,
  Foreground,
  ResetPaints,
  ExpectPaints,
  ExpectTrueAnswers,
  ExpectHeight,
  ExpectWindow,
  ExpectForeground,
  ExpectWakeupStarted,
  ExpectRegistered,
};

// Each command's own fields. Commands without any carry std::monostate.
struct BatteryArgs {  // fields not set keep their values
  bool setAc = false, setPercent = false, setRemaining = false, setVoltage = false;
  BYTE ac = 0;
  BYTE percent = 0;
  DWORD remainingSeconds = 0;
  DWORD voltage = 0;
};
struct PowerQueryArgs {
  DWORD bytes = 0;
};                 // 56: a sound query
struct CardArgs {  // add, set: the figures; fault: whether its query fails
  std::wstring name;
  ULONGLONG totalBytes = 0, freeBytes = 0;
  bool fails = false;
};
struct MemoryArgs {
  ULONGLONG totalBytes = 0, freeBytes = 0;
};  // store and memory
struct FaultArgs {
  bool fails = false;
};
struct TimeArgs {
  SYSTEMTIME time = {};
};
struct TickArgs {
  DWORD tick = 0;
};
struct DurationArgs {
  DWORD ms = 0;
};  // wait, interval
struct TapArgs {
  int x = 0, y = 0;
};
struct ColorArgs {
  COLORREF color = 0;
};
enum class PictureOf { Strip, TodayWindow, OtherWindow };
struct SnapshotArgs {
  std::wstring file;
  int scale = 1;
  PictureOf of = PictureOf::Strip;
  std::wstring title;  // OtherWindow
};
struct AnimationArgs {
  std::wstring file;
  int scale = 1;
  DWORD delayMs = 1000;
};
struct OptionsArgs {
  std::vector<int> presses;
};  // IDOK / IDCANCEL, the last IDOK
struct WindowArgs {
  std::wstring title;
};  // empty: the Today window
struct CountArgs {
  long long count = 0;
};  // expect paints, height, ...
struct WindowCountArgs {
  std::wstring title;
  int count = -1;  // -1: at least one
};
struct RegisteredArgs {
  std::wstring fileName;
};  // the registered path's ending

using CommandArgs =
    std::variant<std::monostate, BatteryArgs, PowerQueryArgs, CardArgs, MemoryArgs, FaultArgs,
                 TimeArgs, TickArgs, DurationArgs, TapArgs, ColorArgs, SnapshotArgs, AnimationArgs,
                 OptionsArgs, WindowArgs, CountArgs, WindowCountArgs, RegisteredArgs>;

struct Command {
  int line = 0;
  Op op = Op::Refresh;
  CommandArgs args;
};

// The fields of a command of a known kind.
template <typename T>
const T& ArgsOf(const Command& c) {
  return std::get<T>(c.args);
}

struct Scenario {
  std::vector<Command> commands;
};

// One row per command: what starts its line, its usage and what it does.
// The table of commands in docs/scenarios.md is these rows (see ReadmeLine), and
// `TodayHost.exe --help` prints them.
struct LineReader;
struct CommandInfo {
  const wchar_t* name;  // "wait", "card add"
  Op op;
  bool (*parse)(LineReader& reader);
  const wchar_t* usage;  // "wait DURATION"
  const wchar_t* effect;
};
const CommandInfo* ScenarioCommands(size_t* count);
// "| `usage` | effect |", with the usage's '|' escaped for Markdown.
std::wstring ReadmeLine(const CommandInfo& info);
// The language's limits, one sentence per line, for --help and docs/scenarios.md.
std::wstring LimitsText();

// Reads a whole script. On the first error returns false with `error` set to
// "line N: what is wrong"; `scenario` is then left empty.
// `intervalMs` is the query interval the script starts with (--interval).
bool ParseScenario(const std::wstring& text, Scenario* scenario, std::wstring* error,
                   long long intervalMs = 2000);

// Reads a script file (UTF-8, a regular file: no pipe or device) and parses
// it; errors name the file as `shownPath` (the form the user typed) and the line.
bool LoadScenarioFile(const wchar_t* path, const std::wstring& shownPath, Scenario* scenario,
                      std::wstring* error, long long intervalMs = 2000);
