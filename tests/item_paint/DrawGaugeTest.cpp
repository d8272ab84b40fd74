// One dial gauge: the item's bitmaps pixel by pixel, the needle's end points
// and limits, and every label the strip can show inside its band.
#include <string.h>

#include "DrawGauge.h"
#include "Gauges.h"
#include "ItemHost.h"
#include "PixelMaps.inc"
#include "resource.h"

// Colour of map letter `c`: black, maroon, olive, grey, red, green, yellow, white.
static COLORREF MapColour(char c) {
  const COLORREF colours[] = {0x000000, 0x000080, 0x008080, 0x808080,
                              0x0000FF, 0x00FF00, 0x00FFFF, 0xFFFFFF};
  return colours[strchr("kdoergyw", c) - "kdoergyw"];
}

// Letter (x, y) of a map, skipping its '#' comment lines.
static char MapAt(const char* map, int x, int y) {
  while (*map == '\n' || *map == '#')
    map = *map == '#' ? strchr(map, '\n') : map + 1;
  while (y-- > 0)
    map = strchr(map, '\n') + 1;
  return map[x];
}

TEST(ItemBitmaps, FourBitBitmapsHoldExactlyTheirMaps) {
  const struct {
    UINT id;
    const char* map;
    int w, h;
  } bitmaps[] = {{IDB_DIAL, kDialMap, 35, 20},
                 {IDB_BATTERY_ICON, kBatteryIconMap, 16, 8},
                 {IDB_MEMORY_ICON, kMemoryIconMap, 16, 8},
                 {IDB_STORAGE_ICON, kStorageIconMap, 16, 8},
                 {IDB_FRAME_LOGO, kFrameLogoMap, 16, 16}};
  for (const auto& b : bitmaps) {
    ScopedGdiObj<HGDIOBJ> bmp(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(b.id),
                                         IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    BITMAP info = {};
    GetObjectW(bmp, sizeof info, &info);
    ASSERT_TRUE(info.bmBitsPixel == 4 && info.bmWidth == b.w && info.bmHeight == b.h) << b.id;
    Canvas c(b.w, b.h, kBlack);
    CeTransparentImage(c.dc, 0, 0, b.w, b.h, bmp, 0, 0, b.w, b.h, RGB(1, 2, 3));  // a plain copy
    for (int y = 0; y < b.h; ++y)
      for (int x = 0; x < b.w; ++x)
        ASSERT_EQ(MapColour(MapAt(b.map, x, y)), c.At(x, y)) << b.id << " " << x << "," << y;
  }
}

// A gauge at (10, 5) equals dial and caption alone (at 200 % there is no
// needle) plus the line from the pivot (x + 17, y + 19) to the end point,
// which stays unpainted. From 131.9 %, past the half turn, there is none.
TEST(DrawGauge, NeedleEndPointsAndLimits) {
  ResetItem();
  const struct {
    float percent;
    POINT end;  // from (x, y); none at (0, 0)
  } needles[] = {{0.0f, {5, 11}},    {25.0f, {11, 6}},
                 {50.0f, {17, 5}},  // just past the quarter turn: 14.99... truncates to 14
                 {75.0f, {23, 6}},   {100.0f, {29, 11}},
                 {131.7f, {31, 19}},  // still short of the half turn
                 {-40.0f, {3, 21}},   // below the left horizontal
                 {131.9f, {0, 0}}};
  for (const auto& n : needles) {
    Canvas gauge(60, 45, kWhite), expected(60, 45, kWhite);
    DrawGauge(gauge.dc, 10, 5, IDB_BATTERY_ICON, n.percent, L"");
    DrawGauge(expected.dc, 10, 5, IDB_BATTERY_ICON, 200.0f, L"");
    EXPECT_EQ(RGB(128, 128, 128), expected.At(22, 13));  // caption row 2, column 3: (x + 9, y + 6)
    POINT line[2] = {{27, 24}, {10 + n.end.x, 5 + n.end.y}};
    if (n.end.x || n.end.y)
      Polyline(expected.dc, line, 2);
    EXPECT_TRUE(gauge == expected) << n.percent << " %";
  }
  // An end point on the DC's left or top edge draws no needle.
  Canvas edge(40, 40, kWhite), white(40, 40, kWhite);
  DrawNeedle(edge.dc, 15, 30, 15, 0.0);  // would end at x 0
  DrawNeedle(edge.dc, 30, 12, 15, 1.0);  // would end at y 0
  EXPECT_TRUE(edge == white);
  DrawNeedle(edge.dc, 16, 30, 15, 0.0);
  EXPECT_TRUE(edge.At(2, 30) == kBlack && edge.At(1, 30) == kWhite);
}

// Every label the gauges can show at the documented limits (cards 1 to 99999 of up
// to 2048GB, memory up to 2048GB beside a store of 4294967295B, a battery
// time up to 4294967294 s), with one digit at every length of each figure,
// has ink in the 55-pixel band under its gauge and none in the band's first
// or last column (clipped text would reach them).
TEST(DrawGauge, EveryLabelFitsItsBand) {
  ResetItem();
  Canvas bare(75, 45, kWhite);
  wchar_t face[LF_FACESIZE] = L"";
  GetTextFaceW(bare.dc, LF_FACESIZE, face);
  EXPECT_STREQ(L"Liberation Sans Narrow", face);  // the device's label font was found
  DrawGauge(bare.dc, 20, 5, IDB_STORAGE_ICON, 200.0f, L"");
  std::vector<std::wstring> labels = {L"B 100%", L"T N/A", L"B Init", L"S Init", L"M Init"};
  wchar_t label[kLabelChars];
  auto add = [&] { labels.push_back(label); };
  const ULONGLONG cardLimit = 2048ULL << 30, memoryLimit = cardLimit + 0xFFFFFFFF;
  for (int d = 0; d <= 9; ++d) {
    for (ULONGLONG same = d, length = 1; length <= 7; same = same * 10 + d, ++length) {
      for (ULONGLONG bytes : {same << 20, same << 30, cardLimit}) {
        for (int card : {d, d * 11, d * 111, d * 1111, d * 11111, 100}) {  // every length
          if (card >= 1 && bytes <= cardLimit)
            FormatStorageLabel(label, card, bytes), add();
        }
        if (bytes <= memoryLimit)
          FormatMemoryLabel(label, bytes), add();
      }
      int minutes = d * 11 < 59 ? d * 11 : 59, hours = d * 11 < 23 ? d * 11 : 23;
      if (same <= 1193046)
        FormatTimeLabel(label, (int)same, minutes), add();
      if (same <= 49710)
        FormatTimeLabel(label, (int)same * 24 + hours, minutes), add();
    }
  }
  FormatMemoryLabel(label, memoryLimit), add();
  // The device's forms just beyond where the shorter ones take over.
  const std::wstring beyond[] = {L"T " + std::to_wstring(kHoursThatFit) + L":00", L"S100 1000 MB"};
  labels.insert(labels.end(), std::begin(beyond), std::end(beyond));
  for (const std::wstring& text : labels) {
    Canvas c(75, 45, kWhite);
    DrawGauge(c.dc, 20, 5, IDB_STORAGE_ICON, 200.0f, text.c_str());
    int ink = 0, edge = 0;
    for (int y = 30; y < 40; ++y)
      for (int x = 10; x < 65; ++x)
        if (c.At(x, y) != bare.At(x, y))
          ++ink, edge += x == 10 || x == 64;
    EXPECT_GT(ink, 0) << testing::PrintToString(text);
    const bool fits = text != beyond[0] && text != beyond[1];
    EXPECT_EQ(fits, edge == 0) << testing::PrintToString(text) << (fits ? " touches" : " fits in");
  }
}
