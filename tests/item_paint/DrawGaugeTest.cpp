#include <string.h>

#include "DrawGauge.h"
#include "PaintItem.h"
#include "PaintTestSupport.h"
#include "PixelMaps.inc"
#include "resource.h"

namespace {

COLORREF MapColour(char c) {
  switch (c) {
    case 'k': return kBlack;
    case 'd': return RGB(128, 0, 0);
    case 'o': return kOlive;
    case 'e': return RGB(128, 128, 128);
    case 'r': return RGB(255, 0, 0);
    case 'g': return RGB(0, 255, 0);
    case 'y': return RGB(255, 255, 0);
    default: return c == 'w' ? kWhite : CLR_INVALID;
  }
}

// The map's row `y`, skipping its '#' comment lines.
const char* MapRow(const char* map, int y) {
  while (*map == '\n' || *map == '#') map = *map == '#' ? strchr(map, '\n') : map + 1;
  while (y-- > 0) map = strchr(map, '\n') + 1;
  return map;
}

TEST(ItemBitmaps, EveryPixelIsTheMapsOverTheStandardPalette) {
  const struct { UINT id; const char* map; int w, h; } bitmaps[] = {
      {IDB_DIAL, kDialMap, 35, 20}, {IDB_BATTERY_ICON, kBatteryIconMap, 16, 8},
      {IDB_MEMORY_ICON, kMemoryIconMap, 16, 8}, {IDB_STORAGE_ICON, kStorageIconMap, 16, 8},
      {IDB_FRAME_LOGO, kFrameLogoMap, 16, 16}};
  for (const auto& b : bitmaps) {
    HBITMAP bmp = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(b.id),
                                                  IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    DIBSECTION dib = {};
    ASSERT_EQ(GetObjectW(bmp, sizeof dib, &dib), int(sizeof dib)) << b.id;
    EXPECT_EQ(dib.dsBm.bmBitsPixel, 4);
    ASSERT_EQ(dib.dsBm.bmWidth, b.w);
    ASSERT_EQ(dib.dsBm.bmHeight, b.h);
    Canvas c(b.w, b.h, RGB(1, 2, 3));
    HDC src = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(src, bmp);
    RGBQUAD table[16];
    ASSERT_EQ(GetDIBColorTable(src, 0, 16, table), 16u);
    const COLORREF standard[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                                   0x808000, 0xC0C0C0, 0x808080, 0x0000FF, 0x00FF00, 0x00FFFF,
                                   0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};  // as COLORREF
    for (int i = 0; i < 16; ++i)
      EXPECT_EQ(RGB(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue), standard[i]) << i;
    BitBlt(c.dc, 0, 0, b.w, b.h, src, 0, 0, SRCCOPY);
    for (int y = 0; y < b.h; ++y)
      for (int x = 0; x < b.w; ++x)
        ASSERT_EQ(c.At(x, y), MapColour(MapRow(b.map, y)[x])) << b.id << " at " << x << "," << y;
    SelectObject(src, old);
    DeleteDC(src);
    DeleteObject(bmp);
  }
}

TEST(DrawFrame, PureRedIsKeyedOutEverythingElseDrawn) {
  ItemState.hInstance = GetModuleHandleW(nullptr);
  Canvas c(20, 20, RGB(0, 0, 255));
  DrawFrame(c.dc, 2, 3);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool inside = x >= 2 && x < 18 && y >= 3 && y < 19;
      const COLORREF m = inside ? MapColour(MapRow(kFrameLogoMap, y - 3)[x - 2]) : RGB(255, 0, 0);
      ASSERT_EQ(c.At(x, y), m == RGB(255, 0, 0) ? RGB(0, 0, 255) : m) << x << "," << y;
    }
  EXPECT_EQ(c.At(2 + 5, 3 + 10), RGB(128, 0, 0));  // the near-red (maroon) pixel
}

// A gauge at (10, 5) on white, without a label, against the dial and caption
// drawn with no needle (200 % is past the half turn) plus the expected line.
const int kX = 10, kY = 5;
void ExpectNeedle(float percent, int endX, int endY) {
  ItemState.hInstance = GetModuleHandleW(nullptr);
  Canvas gauge(60, 45, kWhite), expected(60, 45, kWhite);
  DrawGauge(gauge.dc, kX, kY, IDB_BATTERY_ICON, percent, L"");
  DrawGauge(expected.dc, kX, kY, IDB_BATTERY_ICON, 200.0f, L"");
  POINT line[2] = {{kX + 17, kY + 19}, {kX + endX, kY + endY}};
  Polyline(expected.dc, line, 2);
  EXPECT_TRUE(gauge == expected) << percent << " %";
  EXPECT_NE(gauge.At(kX + endX, kY + endY), kBlack) << "end point painted at " << percent;
}

TEST(DrawGauge, NeedleEndPointsTruncatedOffsetsAndLimits) {
  ExpectNeedle(0.0f, 5, 11);
  ExpectNeedle(25.0f, 11, 6);
  ExpectNeedle(50.0f, 17, 5);  // just past the quarter turn: 14.99... truncates to 14
  ExpectNeedle(75.0f, 23, 6);
  ExpectNeedle(100.0f, 29, 11);
  ExpectNeedle(131.7f, 31, 19);   // still short of the half turn
  ExpectNeedle(-40.0f, 3, 21);    // below the left horizontal
  Canvas none(60, 45, kWhite), past(60, 45, kWhite), nothing(60, 45, kWhite);
  DrawGauge(none.dc, kX, kY, IDB_BATTERY_ICON, 131.9f, L"");
  DrawGauge(past.dc, kX, kY, IDB_BATTERY_ICON, 200.0f, L"");
  EXPECT_TRUE(none == past);
  // Dial and caption: olive is keyed out, the caption's grey covers rows 6 to 13.
  EXPECT_EQ(past.At(kX, kY), kWhite);
  EXPECT_EQ(past.At(kX + 12, kY + 8), RGB(128, 128, 128));  // caption "bat", row 2, column 3
  EXPECT_EQ(past.CountNot(kWhite, 0, 0, 60, 45), past.CountNot(kWhite, kX, kY, kX + 35, kY + 20));
  // The label band: centred text, clipped to x - 10 .. x + 45.
  DrawGauge(past.dc, kX, kY, IDB_BATTERY_ICON, 200.0f, L"B 85%");
  ExpectLabel(past, kX, kY, L"B 85%", kBlack, Canvas(60, 45, kWhite));
  // An end point on the DC's left or top edge draws no needle.
  DrawNeedle(nothing.dc, 15, 30, 15, 0.0);   // ends at x 0
  DrawNeedle(nothing.dc, 30, 12, 15, 1.0);   // ends at y 0
  EXPECT_EQ(nothing.CountNot(kWhite, 0, 0, 60, 45), 0);
  DrawNeedle(nothing.dc, 16, 30, 15, 0.0);
  EXPECT_EQ(nothing.CountNot(kWhite, 0, 0, 60, 45), 15);
}

}  // namespace
