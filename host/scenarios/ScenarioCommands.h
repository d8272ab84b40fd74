// Inside the scenario language: what a command's reader sees while the
// script is checked, what its runner sees while it runs, and each file's rows
// of the command table.
#pragma once

#include <algorithm>
#include <set>

#include "DeviceFiles.h"
#include "Picture.h"
#include "Scenario.h"
#include "Words.h"

// What the reader knows of the device, so that a line which could not run (a
// card removed that is not there, a wait past the clock's end) is refused.
struct CheckState {
  std::set<std::wstring> cards, pictures;  // upper case
  bool suspended = false;
  long long stripSnapshots = 0;
  long long intervalMs = 2000;
  long long untilQueryMs = 2000;  // device time to the next refresh query
  long long queries = 0;
  ULONGLONG clockMs = 0;  // device local time, milliseconds since 1601
};

// One line's words (its arguments from `first` on), what it becomes and what
// the reader knows.
struct LineReader {
  const std::vector<Token>& t;
  size_t first;
  CheckState* state;
  Command* c;
  std::wstring* error;

  bool Fail(const std::wstring& message) {
    *error = message;
    return false;
  }
  size_t Arguments() const { return t.size() - first; }
  bool Word(size_t i, const wchar_t* expected) const {
    return i < t.size() && !t[i].quoted && t[i].text == expected;
  }
};

// The readers' helpers (ScenarioReader.cpp); each fails with a sentence.
std::wstring Upper(const std::wstring& text);
ULONGLONG ClockMs(const SYSTEMTIME& time);
bool Count(LineReader& r, size_t low, size_t high);
bool Number(LineReader& r, size_t i, long long low, long long high, const wchar_t* what,
            long long* v);
bool Title(LineReader& r, size_t i, std::wstring* title);
// foreground, close and expect foreground: a window title; all but close
// also take `today`, the Today window (an empty title).
bool ReadWindow(LineReader& r);
// NAME=VALUE settings from token `from` on, each known, given at most once and
// with a value; `values` gets one entry per key, empty when not given.
bool Settings(LineReader& r, size_t from, const std::vector<const wchar_t*>& keys,
              std::vector<std::wstring>* values);

// The run under way (ScenarioRun.cpp), read and changed by the runners.
struct RunState {
  const ScenarioSettings* settings;
  int wakeupStarted;            // programs the last resume started
  DWORD waitMs;                 // the current line's deadline for other programs
  ULONGLONG waitedMs;           // spent so far waiting for other programs
  std::vector<Picture> strips;  // 1:1 strip snapshots, for animations
};
extern RunState run;

// Real-time limit for each wait on other programs (a window, a program started
// at wake-up, the options dialog); a run's waits share its waitBudgetMs.
const DWORD otherProgramTimeoutMs = 15000;
// Visible top-level windows with exactly this title; *first gets one of them.
int CountWindows(const std::wstring& title, HWND* first);

// The rows of the command table by the file that holds them, in the order
// --help and docs/scenarios.md list them.
extern const std::vector<CommandInfo> deviceCommands, itemCommands, expectCommands;
