// This thread's message loop in pieces, for code that waits while the item
// and other programs talk to its windows.
#pragma once

#include <windows.h>

#include <functional>

// Dispatches everything queued for this thread, returning when nothing is left.
void PumpMessages();
// Polls, pumping, until `test` holds (true) or `waitMs` passes.
bool WaitUntil(DWORD waitMs, const std::function<bool()>& test);
