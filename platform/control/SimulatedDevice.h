// Control of the simulated device, for tests, the Today host and its
// scenarios. The device is one record shared by every process of the session
// (host with item, About program, tests); a shell sets it with `wine reg`
// under HKCU\Software\CeStandIn\SimulatedDevice (docs/simulated-device.md). Only code
// that plays the device's surroundings uses this header; the system itself
// reads the device through the CE calls.
#pragma once

#include <windows.h>

// The device choice and the wake-up event come with the device's control.
#include "DeviceChoice.h"
#include "WakeupEvent.h"

// Puts the simulated device into its documented default state: no cards, no
// faults, no wake-up registrations, clock frozen at the default time.
void SimResetDevice();
// Makes this process's next reading load the device anew, so that values a
// shell wrote into the key just now (any type, length or content) are seen.
void SimReloadDevice();

// Power.
void SimSetPower(BYTE acLineStatus, BYTE batteryPercent, DWORD lifeTimeSeconds,
                 DWORD voltageMillivolts);
// Fault: the power query fills only this many bytes (56 = a sound query).
void SimSetPowerQueryBytes(DWORD bytes);

// Storage cards, kept in enumeration order. Names are folder names such as
// "Storage Card"; adding an existing name replaces its figures in place.
void SimAddCard(const wchar_t* name, ULONGLONG totalBytes, ULONGLONG freeBytes);
bool SimRemoveCard(const wchar_t* name);
void SimRemoveAllCards();
// Fault: the disk-space query for that card fails.
void SimSetCardQueryFails(const wchar_t* name, bool fails);

// Object store (32-bit on CE) and program memory.
void SimSetStore(DWORD storeSize, DWORD freeSize);
// Fault: GetStoreInformation fails.
void SimSetStoreQueryFails(bool fails);
void SimSetProgramMemory(ULONGLONG totalPhys, ULONGLONG availPhys);

// Clock. A frozen clock reads exactly what was set until set or advanced
// again; a running one runs on from the value set, at real speed.
void SimSetTickCount(DWORD tick);
void SimSetLocalTime(const SYSTEMTIME& time);
void SimSetClockRunning(bool running);
// Moves the tick count and the local time forward together.
void SimAdvanceClock(DWORD milliseconds);

// Values under the device key that the device read as their defaults at its
// last look because they were not sane: not a number, beyond 64 bits, or
// outside their range (docs/simulated-device.md). Returns how many; copies up to `max`
// names ("BatteryPercent", "Cards\\2\\TotalBytes") and stored values, each cut
// to its array.
int SimIgnoredValues(wchar_t (*names)[48], wchar_t (*values)[32], int max);
// How often this process has read the device so far.
LONG SimDeviceReadings();

// Makes the device take what a shell wrote into its store (the device key), now.
void SimReloadDevice();
// Makes the device take every shell's change to the device key as it happens
// (within a second when the key itself was deleted), on a thread of its own
// for the life of the process. The session's long-lived process calls it.
void SimWatchShell();
