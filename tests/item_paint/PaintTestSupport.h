// Shared helpers of the item's pixel tests: a 32-bpp top-down DIB canvas and
// label checks that compare a band against the expected text drawn the same way.
#pragma once

#include <gtest/gtest.h>

#include "CeApi.h"
#include "ItemState.h"
#include "SimulatedDevice.h"

const COLORREF kOlive = RGB(128, 128, 0), kWhite = RGB(255, 255, 255), kBlack = 0;

class Canvas {
public:
  Canvas(int width, int height, COLORREF fill) : w(width), h(height) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
    old = SelectObject(dc, bitmap);
    for (int i = 0; i < w * h; ++i) bits[i] = RGB(GetBValue(fill), GetGValue(fill), GetRValue(fill));
  }
  ~Canvas() { SelectObject(dc, old); DeleteObject(bitmap); DeleteDC(dc); }
  COLORREF At(int x, int y) const {
    GdiFlush();
    const DWORD p = bits[y * w + x];
    return RGB(GetBValue(p), GetGValue(p), GetRValue(p));  // stored as 0x00RRGGBB
  }
  int CountNot(COLORREF c, int x0, int y0, int x1, int y1) const {  // in [x0,x1) x [y0,y1)
    int n = 0;
    for (int y = y0; y < y1; ++y) for (int x = x0; x < x1; ++x) n += At(x, y) != c;
    return n;
  }
  bool operator==(const Canvas& o) const {
    GdiFlush();
    return w == o.w && h == o.h && memcmp(bits, o.bits, w * h * 4) == 0;
  }
  // Writes the canvas as a .bmp, to look at by eye (tests call it on request only).
  void Save(const char* path) const;

  int w, h;
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
  DWORD* bits = nullptr;
};

// The 55 x 10 label band under a gauge at (x, y) holds exactly `text`, drawn
// in the DC's default font and `colour` over the picture `under`.
inline void ExpectLabel(const Canvas& c, int x, int y, const wchar_t* text, COLORREF colour,
                        const Canvas& under) {
  Canvas ref(c.w, c.h, kBlack);
  BitBlt(ref.dc, 0, 0, c.w, c.h, under.dc, 0, 0, SRCCOPY);
  SetBkMode(ref.dc, TRANSPARENT);
  SetTextColor(ref.dc, colour);
  RECT band = {x - 10, y + 25, x + 45, y + 35};
  DrawTextW(ref.dc, text, -1, &band, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  int inked = 0;
  for (int yy = band.top; yy < band.bottom; ++yy)
    for (int xx = band.left; xx < band.right; ++xx) {
      inked += ref.At(xx, yy) != under.At(xx, yy);
      ASSERT_EQ(c.At(xx, yy), ref.At(xx, yy)) << testing::PrintToString(text) << " at " << xx << "," << yy;
    }
  EXPECT_GT(inked, 0) << testing::PrintToString(text);
}

// ItemState as InitializeCustomItem leaves it, with bitmaps from this program.
inline void ResetItemState() {
  ItemState.hInstance = GetModuleHandleW(nullptr);
  ItemState.initMode = ItemState.batteryShowsTime = ItemState.storageShowsClock = false;
  ItemState.frameOrigin = {2, 2};
  ItemState.batteryOrigin = {35, 3};
  ItemState.storageOrigin = {105, 3};
  ItemState.memoryOrigin = {175, 3};
  ItemState.textColor = kBlack;
  SimResetDevice();
}
