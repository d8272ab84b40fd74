// What a running scenario asks of the screen: top-level windows by title,
// waits for other programs with a deadline, and the expectation lines.
#pragma once

#include <windows.h>

#include <string>

#include "ScenarioRun.h"

// Real-time limit for what other programs do (a window to appear or close, a
// program started at wake-up to finish, the options dialog to close). All
// such waits in one run also share ScenarioSettings::waitBudgetMs.
const DWORD otherProgramTimeoutMs = 15000;

// Visible top-level windows with exactly this title; *first gets one of them.
int CountWindows(const std::wstring& title, HWND* first);
// The Today window for an empty title, else a window with that title.
HWND WindowFor(const std::wstring& title);
// Checks an expect line; false with `error` set when it does not hold. A
// line that waits for windows waits up to the run's `waitMs`.
bool CheckExpectation(const Command& c, const RunState& run, std::wstring* error);
