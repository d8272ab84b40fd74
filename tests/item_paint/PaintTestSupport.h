// Helpers of the item's pixel tests: a label check against the expected text
// drawn the same way over the same picture, and the state record's set-up.
#pragma once

#include <gtest/gtest.h>

#include "CeApi.h"
#include "ItemState.h"
#include "SimulatedDevice.h"
#include "TestSupport.h"

// The 55 x 10 band under a gauge at (x, y) holds exactly `text`, drawn in the
// DC's default font and `colour` over the picture `under`.
inline void ExpectLabel(const Canvas& c, int x, int y, const wchar_t* text, COLORREF colour,
                        const Canvas& under) {
  Canvas ref(c.w, c.h, kBlack);
  BitBlt(ref.dc, 0, 0, c.w, c.h, under.dc, 0, 0, SRCCOPY);
  SetBkMode(ref.dc, TRANSPARENT);
  SetTextColor(ref.dc, colour);
  RECT band = {x - 10, y + 25, x + 45, y + 35};
  DrawTextW(ref.dc, text, -1, &band, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  EXPECT_FALSE(ref == under);  // the text is visible at all
  for (int yy = band.top; yy < band.bottom; ++yy)
    for (int xx = band.left; xx < band.right; ++xx)
      ASSERT_EQ(ref.At(xx, yy), c.At(xx, yy))
          << testing::PrintToString(text) << " at " << xx << "," << yy;
}

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
