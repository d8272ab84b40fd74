// Which device the CE calls of this process reach (CE_DEVICE, Device.h).
#pragma once

enum class DeviceKind { Simulated, Live };

DeviceKind CurrentDeviceKind();
// Sets CE_DEVICE for this process and its children, before any CE call.
void SelectDevice(DeviceKind kind);

// The common controls, set up as the device's shell has them; true once they are.
bool SetUpCommonControls();
