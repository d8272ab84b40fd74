// The registry home of the device stand-in, HKCU\Software\CeStandIn\SimulatedDevice:
// the shell's way into the simulated device (read by LookAtDeviceKey, taken
// into the record by TakeShellValues, SimulatedState.h), the wake-up
// registrations of both devices (WakeupPrograms.cpp), and the device's time
// as the key holds it.
#pragma once

#include <windows.h>

#include "SimulatedState.h"

#define SIM_DEVICE_KEY L"Software\\CeStandIn\\SimulatedDevice"

// The device key, opened on first use and kept for the process. When a shell
// deletes the key, the next call opens the new one; a replaced handle is never
// closed, so a thread still using it never uses a closed or reused handle.
HKEY DeviceKey();
// Whether a shell deleted the key behind this handle.
bool KeyDeleted(HKEY key);

// Numbers may be stored as REG_DWORD, REG_QWORD or a REG_SZ holding a
// decimal or 0x-prefixed hexadecimal number, whichever a shell found easiest.
ULONGLONG ReadDeviceNumberOr(HKEY key, const wchar_t* name, ULONGLONG fallback);
void WriteDeviceDword(HKEY key, const wchar_t* name, DWORD value);

// What the key holds, as the device would take it: `values` starts at the
// defaults; each value present and sane replaces its default, each other one
// is noted as ignored, and `seen` gets a hash of each (0: absent). `reset`
// empties the key first. Marks the key as taken; says whether it was.
bool LookAtDeviceKey(bool reset, SimDevice* values);

// FILETIME units; 0 when `time` is not a valid date in firstYear..lastYear.
ULONGLONG SystemTimeToTicks(const SYSTEMTIME& time);
void TicksToSystemTime(ULONGLONG ticks, SYSTEMTIME* time);
