// The registry home of the device stand-in, HKCU\Software\CeStandIn\SimulatedDevice:
// the shell's way into the simulated device (taken into its record by
// TakeShellValues, SimulatedState.h) and the wake-up registrations of both
// devices (WakeupPrograms.cpp).
#pragma once

#include <windows.h>

#define SIM_DEVICE_KEY L"Software\\CeStandIn\\SimulatedDevice"

// The device key, opened on first use and kept for the process. When a shell
// deletes the key, the next call opens the new one; a replaced handle is never
// closed, so a thread still using it never uses a closed or reused handle.
HKEY DeviceKey();

// Numbers may be stored as REG_DWORD, REG_QWORD or a REG_SZ holding a
// decimal or 0x-prefixed hexadecimal number, whichever a shell found easiest.
ULONGLONG ReadDeviceNumberOr(HKEY key, const wchar_t* name, ULONGLONG fallback);
void WriteDeviceDword(HKEY key, const wchar_t* name, DWORD value);
