// A scenario: a line-oriented script of device situations, item actions,
// pictures and expectations, read whole before anything runs.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

enum class Op {
  Battery,       // ac, percent, remaining, voltage (each optional)
  BatteryFault,  // number = bytes the power query fills (56: sound)
  CardAdd,       // text = name, size1 = total, size2 = free
  CardRemove,    // text = name
  CardFault,     // text = name, flag
  Store,         // size1 = total, size2 = free
  StoreFault,    // flag
  Memory,        // size1 = total, size2 = free
  Time,          // time
  Tick,          // number
  Wait,          // number = milliseconds
  Interval,      // number = milliseconds
  Refresh,
  Tap,           // x, y
  Suspend,
  Resume,
  TextColor,     // color
  Snapshot,      // text = file name, scale, flag = a whole window: the Today
                 // window, or the top-level window `title` (from the screen)
  Animation,     // text = file name, scale, number = frame delay in ms
  Options,       // presses = command ids sent in turn
  Close,         // text = window title
  Foreground,    // text = window title, empty for the Today window
  ResetPaints,
  ExpectPaints,       // number
  ExpectTrueAnswers,  // number
  ExpectHeight,       // number
  ExpectWindow,       // text = title, number = how many (-1: at least one)
  ExpectForeground,   // text = title, empty for the Today window
  ExpectWakeupStarted,  // number
  ExpectRegistered,     // text = file name the registered path ends with
};

// Battery fields a `battery` line sets; the others keep their values.
struct BatteryChange {
  bool setAc = false, setPercent = false, setRemaining = false, setVoltage = false;
  BYTE ac = 0;
  BYTE percent = 0;
  DWORD remainingSeconds = 0;
  DWORD voltage = 0;
};

struct Command {
  int line = 0;
  Op op = Op::Refresh;
  std::wstring text;
  std::wstring title;
  ULONGLONG size1 = 0, size2 = 0;
  long long number = 0;
  int x = 0, y = 0;
  int scale = 1;
  bool flag = false;
  COLORREF color = 0;
  SYSTEMTIME time = {};
  BatteryChange battery;
  std::vector<int> presses;
};

struct Scenario {
  std::vector<Command> commands;
};

// Reads a whole script. On the first error returns false with `error` set to
// "line N: what is wrong"; `scenario` is then left empty.
bool ParseScenario(const std::wstring& text, Scenario* scenario, std::wstring* error);

// Reads a script file (UTF-8) and parses it; errors name the file and line.
bool LoadScenarioFile(const wchar_t* path, Scenario* scenario, std::wstring* error);

// Helpers shared with the host's command line.
bool ParseDuration(const std::wstring& word, long long* milliseconds);
bool ParseColor(const std::wstring& word, COLORREF* color);
