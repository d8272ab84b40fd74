// The device behind the routed calls (DeviceCalls.cpp): simulated or live.
#pragma once

#include <windows.h>

#include "CeTypes.h"

// The simulated device's answers (SimulatedState.cpp).
DWORD SimTickCount();
void SimLocalTime(SYSTEMTIME* time);
void SimMemoryStatus(MEMORYSTATUSEX* status);       // every field but dwLength
BOOL SimStoreInformation(STORE_INFORMATION* info);  // `info` untouched when it fails
// Copies at most `length` bytes and returns how many it copied.
DWORD SimPowerStatus(SYSTEM_POWER_STATUS_EX2* status, DWORD length);
BOOL SimDiskFreeSpace(LPCWSTR path, PULARGE_INTEGER freeToCaller, PULARGE_INTEGER totalBytes,
                      PULARGE_INTEGER totalFreeBytes);  // the outputs untouched when it fails
// Storage cards in enumeration order: `position` is 0 before the first card;
// on success it moves to the card found, whose folder name goes to `name`.
bool SimNextCard(DWORD* position, wchar_t* name);
bool NextCard(DWORD* position, wchar_t* name);

// The device of this process: chosen once from the environment variable
// CE_DEVICE ("live" reads the machine, "simulated", empty or absent the
// simulated device; anything else stops the process) and inherited by the
// programs it starts. ChooseLiveDevice sets it for this process and its children.
bool LiveDeviceChosen();
void ChooseLiveDevice(bool live);

// Ends the process with `status` and says why on its standard error, where no
// window waits for a click that never comes.
[[noreturn]] void StopDevice(UINT status, const wchar_t* why);

bool EnsureCommonControls();  // CommonControls.cpp; true once set up
