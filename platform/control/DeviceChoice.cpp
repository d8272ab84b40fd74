// The device choice, for the device's surroundings; the stand-in keeps it.
#include "DeviceChoice.h"

#include "Device.h"

DeviceKind CurrentDeviceKind() {
  return LiveDeviceChosen() ? DeviceKind::Live : DeviceKind::Simulated;
}

void SelectDevice(DeviceKind kind) {
  ChooseLiveDevice(kind == DeviceKind::Live);
}

bool SetUpCommonControls() {
  return EnsureCommonControls();
}
