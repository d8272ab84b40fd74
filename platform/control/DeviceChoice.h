// Which device the CE calls of this process reach: chosen once per process
// from the environment variable CE_DEVICE ("live" or "simulated", the
// default) and inherited by the programs it starts.
#pragma once

enum class DeviceKind { Simulated, Live };

DeviceKind CurrentDeviceKind();
// Sets CE_DEVICE for this process and its children. Only the host calls this,
// before any CE call has been made.
void SelectDevice(DeviceKind kind);

// The common controls (the list view among them), as the device's shell sets
// them up before any program runs; the stand-in does it before the first
// dialog. True once they are.
bool SetUpCommonControls();
