// Chooses the device of this process: CE_DEVICE=live reads the machine it
// runs on, anything else (or nothing) the simulated device.
#define CE_PLATFORM_IMPLEMENTATION
#include "Device.h"

static const wchar_t deviceVariable[] = L"CE_DEVICE";

// -1 until the environment has been read. Threads that race to read it all
// store the same value; ChooseLiveDevice runs before any other thread calls in.
static volatile LONG deviceKind = -1;

bool LiveDeviceChosen() {
  LONG kind = deviceKind;
  if (kind < 0) {
    wchar_t value[16];
    DWORD length = GetEnvironmentVariableW(deviceVariable, value, 16);
    kind = (length > 0 && length < 16 && lstrcmpiW(value, L"live") == 0) ? 1 : 0;
    deviceKind = kind;
  }
  return kind != 0;
}

void ChooseLiveDevice(bool live) {
  SetEnvironmentVariableW(deviceVariable, live ? L"live" : L"simulated");
  deviceKind = live ? 1 : 0;
}

const DeviceBackend& CurrentDevice() {
  return LiveDeviceChosen() ? LiveDeviceBackend : SimulatedDeviceBackend;
}
