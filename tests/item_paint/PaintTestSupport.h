// The set-up of the item's pixel tests.
#pragma once

#include <gtest/gtest.h>

#include "CeApi.h"
#include "ItemState.h"
#include "SimulatedDevice.h"
#include "TestSupport.h"

// ItemState as InitializeCustomItem leaves it, with bitmaps from this program.
inline void ResetItemState() {
  ItemState.hInstance = GetModuleHandleW(nullptr);
  ItemState.initMode = ItemState.batteryShowsTime = ItemState.storageShowsClock = false;
  ItemState.frameOrigin = {2, 2};
  ItemState.batteryOrigin = {35, 3};
  ItemState.storageOrigin = {105, 3};
  ItemState.memoryOrigin = {175, 3};
  SimResetDevice();
}
