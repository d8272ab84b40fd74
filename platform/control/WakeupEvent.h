// The device's wake-up event, fired by whatever plays the power button, on
// both devices, and the simulated device's wake-up faults.
#pragma once

#include <windows.h>

// Starts every program registered for NOTIFICATION_EVENT_WAKEUP with the
// command line "AppRunAfterWakeup", as the device does after a resume; returns
// how many. Up to `max` process handles go into `processes`, the caller's to close.
int FireWakeupEvent(HANDLE* processes, int max);

// Fault of the simulated device: the next `count` wake-up registrations are refused.
void SimSetWakeupRefusals(DWORD count);
// Registered programs, in registration order; returns how many there are and
// copies up to `max` paths of MAX_PATH characters into `paths`.
int SimWakeupRegistrations(wchar_t (*paths)[MAX_PATH], int max);
