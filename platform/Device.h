// The device behind the CE stand-in. Each backend answers the device's part
// of the CE calls; the routed calls ask the backend chosen for this process.
#pragma once

#include <windows.h>

#include "CeTypes.h"

struct DeviceBackend {
  DWORD (*tickCount)();
  void (*localTime)(SYSTEMTIME* time);
  // Fills every field but dwLength and ullAvailExtendedVirtual.
  void (*memoryStatus)(MEMORYSTATUSEX* status);
  // Leaves `info` untouched when it fails.
  BOOL (*storeInformation)(STORE_INFORMATION* info);
  // Copies at most `length` bytes and returns how many it copied.
  DWORD (*powerStatus)(SYSTEM_POWER_STATUS_EX2* status, DWORD length);
  // Storage cards in enumeration order. `position` is 0 before the first card;
  // on success it moves to the card found, whose folder name goes to `name`
  // (MAX_PATH characters).
  bool (*nextCard)(DWORD* position, wchar_t* name);
  // Leaves the outputs untouched when it fails.
  BOOL(*diskFreeSpace)
  (LPCWSTR path, PULARGE_INTEGER freeToCaller, PULARGE_INTEGER totalBytes,
   PULARGE_INTEGER totalFreeBytes);
};

extern const DeviceBackend SimulatedDeviceBackend;
extern const DeviceBackend LiveDeviceBackend;

const DeviceBackend& CurrentDevice();

// The device of this process: chosen once from the environment variable
// CE_DEVICE ("live" reads the machine, "simulated", empty or absent the
// simulated device; anything else stops the process) and inherited by the
// programs it starts. ChooseLiveDevice sets CE_DEVICE for this process and
// its children and switches at once.
bool LiveDeviceChosen();
void ChooseLiveDevice(bool live);

// Ends the process with `status` and says why on its standard error: the
// device cannot be what the session expects, and no window may wait for a
// click that never comes.
[[noreturn]] void StopDevice(UINT status, const wchar_t* why);

// Sets up the common controls once per process (CommonControls.cpp); true once set up.
bool EnsureCommonControls();
