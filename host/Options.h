// The host's command line, read into one record.
#pragma once

#include <windows.h>

#include <string>

enum ExitCode {
  ExitOk = 0,
  ExitFailed = 1,
  ExitUsage = 2,
  ExitSetup = 3,
  ExitBusy = 4,
  ExitClosed = 129,
  ExitInterrupted = 130,
};

struct Options {
  // Paths the user named: in the \\?\ form (UserPath), and as typed.
  std::wstring scenarioFile, scenarioShown, dll, dllShown, out, outShown, snapshot, snapshotShown;
  bool demo = false, check = false, printDemo = false, help = false, live = false;
  bool keepPrograms = false, outGiven = false;
  long long intervalMs = 2000, closeAfterMs = 0, deviceWaitMs = 120000, waitBudgetMs = 120000;
  COLORREF textColor = RGB(0, 0, 0);
};

// Reads the command line; false with `error` set (nothing was run).
bool ParseArguments(int argc, wchar_t** argv, Options* o, std::wstring* error);
// The options, the exit statuses and the scenario commands.
void PrintHelp();
