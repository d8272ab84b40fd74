// The device's wake-up event, fired by whatever plays the power button (the
// Today host), and the simulated device's wake-up faults. Works on both
// devices: registrations are kept by the stand-in.
#pragma once

#include <windows.h>

// Starts every program registered for NOTIFICATION_EVENT_WAKEUP with the
// command line "AppRunAfterWakeup", as the device does after a resume.
// Returns how many were started; their process handles go into `processes`
// (up to `max`, the caller closes them), so a caller can wait for them while
// it keeps pumping its own messages.
int FireWakeupEvent(HANDLE* processes, int max);

// Fault of the simulated device: the next `count` wake-up registrations are
// refused.
void SimSetWakeupRefusals(DWORD count);
// Registered programs, in registration order; returns how many there are and
// copies up to `max` paths of MAX_PATH characters into `paths`.
int SimWakeupRegistrations(wchar_t (*paths)[MAX_PATH], int max);
