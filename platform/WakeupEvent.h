// The device's wake-up event, fired by whatever plays the power button (the
// Today host). Works on both devices: registrations are kept by the stand-in.
#pragma once

#include <windows.h>

// Starts every program registered for NOTIFICATION_EVENT_WAKEUP with the
// command line "AppRunAfterWakeup", as the device does after a resume.
// Returns how many were started; their process handles go into `processes`
// (up to `max`, the caller closes them), so a caller can wait for them while
// it keeps pumping its own messages.
int FireWakeupEvent(HANDLE* processes, int max);
