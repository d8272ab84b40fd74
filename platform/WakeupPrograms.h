// The programs registered for the wake-up event (CeRunAppAtEvent keeps them).
#pragma once

#include <windows.h>

// The registrations as a REG_MULTI_SZ in a block of the process heap: paths
// one after another in registration order, ending with an empty one. Never
// nullptr unless memory runs out; the caller frees it (AutoHeapFree).
wchar_t* ReadWakeupPrograms();
