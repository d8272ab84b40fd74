// A scenario: a line-oriented script of device situations, item actions,
// pictures and expectations, read whole before anything runs.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "SimulatedDevice.h"

enum class PictureOf { Strip, TodayWindow, OtherWindow };

// One line of a script as read: its row of the command table and the fields
// that command fills in.
struct CommandInfo;
struct Command {
  int line = 0;
  const CommandInfo* row = nullptr;
  std::vector<SimValueSet> values;  // device values the line sets, in order
  // A card, a picture's file, a window's title (empty: the Today window), or
  // the file name a wake-up registration ends with.
  std::wstring name;
  std::wstring title;      // snapshot NAME.png of "TITLE"
  long long number = 0;    // milliseconds, a count (-1: at least one window), a colour
  long long x = 0, y = 0;  // tap
  // wait: device time to its first refresh query, then between them.
  long long untilQueryMs = 0, intervalMs = 0;
  ULONGLONG total = 0, free = 0;  // card
  bool on = false;                // card fault; wait: while suspended
  int scale = 1;
  PictureOf of = PictureOf::Strip;
  SYSTEMTIME time = {};
  std::vector<int> presses;  // IDOK / IDCANCEL, the last IDOK
};

struct Scenario {
  std::vector<Command> commands;
};

// One row per command: what starts its line, how the line is read and run,
// its usage and what it does: docs/scenarios.md's table (ReadmeLine) and --help.
struct LineReader;
struct CommandInfo {
  const wchar_t* name;  // "wait", "card add"
  bool (*read)(LineReader& reader);
  bool (*run)(const Command& command, std::wstring* error);  // null: the reader did it all
  const wchar_t* usage;                                      // "wait DURATION"
  const wchar_t* effect;
  bool waits = false;  // for another program or window, and so spends the run's budget
};
const CommandInfo* ScenarioCommands(size_t* count);
// "| `usage` | effect |", with the usage's '|' escaped for Markdown.
std::wstring ReadmeLine(const CommandInfo& info);
// The language's limits, one sentence per line, for --help and docs/scenarios.md.
std::wstring LimitsText();

// Reads a whole script. On the first error returns false with `error` set to
// "line N: what is wrong" and `scenario` empty. `intervalMs`: --interval.
bool ParseScenario(const std::wstring& text, Scenario* scenario, std::wstring* error,
                   long long intervalMs = 2000);

// Reads a script file (UTF-8, a regular file) and parses it; errors name the
// file as `shownPath` (the form the user typed) and the line.
bool LoadScenarioFile(const wchar_t* path, const std::wstring& shownPath, Scenario* scenario,
                      std::wstring* error, long long intervalMs = 2000);

struct ScenarioSettings {
  std::wstring outputFolder;  // where snapshots and animations go, in the \\?\ form
  std::wstring outputShown;   // the same folder as the user typed it
  // Real time all of the run's waits for other programs and windows share.
  ULONGLONG waitBudgetMs = 120000;
};

// Runs every line in order, the Today window and the item loaded on the simulated
// device; stops at the first line that fails (an expectation not met, a picture
// not written, a wait past its deadline or budget) with `error` naming it.
bool RunScenario(const Scenario& scenario, const ScenarioSettings& settings, std::wstring* error);

// The file a snapshot or animation line writes; null for other lines.
const std::wstring* PictureFile(const Command& command);
// A picture's path as the user would type it: the folder as typed, then the name.
std::wstring ShownPicturePath(const std::wstring& folderShown, const std::wstring& name);
