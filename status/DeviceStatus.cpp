#include "DeviceStatus.h"
// Implemented with the device stand-in.
DeviceStatus::DeviceStatus() : findData(), findHandle(INVALID_HANDLE_VALUE), cardIndex(0) {}
DeviceStatus::~DeviceStatus() {}
