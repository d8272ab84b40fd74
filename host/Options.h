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
  std::wstring scenarioFile, scenarioShown;
  bool demo = false, check = false, printDemo = false, help = false, live = false;
  bool keepPrograms = false, outGiven = false;
  std::wstring dll, dllShown;
  std::wstring out, outShown;
  long long intervalMs = 2000;
  COLORREF textColor = RGB(0, 0, 0);
  long long closeAfterMs = 0;
  std::wstring snapshot, snapshotShown;
  long long deviceWaitMs = 120000;
  long long waitBudgetMs = 120000;
};

// Reads the command line; false with `error` set (nothing was run).
bool ParseArguments(int argc, wchar_t** argv, Options* o, std::wstring* error);
// The options, the exit statuses and the scenario commands.
void PrintHelp();
