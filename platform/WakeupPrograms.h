// The programs registered for the wake-up event (CeRunAppAtEvent keeps them).
#pragma once

#include <windows.h>

// The registrations as a REG_MULTI_SZ in a block of the process heap: paths
// one after another in registration order, ending with an empty one. Never
// nullptr unless memory runs out; the caller frees it (AutoHeapFree).
wchar_t* ReadWakeupPrograms();

// The simulated device's fault: a count of wake-up registrations still to be
// refused, a number in the device key (set by SimSetWakeupRefusals).
extern const wchar_t wakeupRefusalsValue[];
