#include "ClockFace.h"
#include "PaintTestSupport.h"

namespace {

// The clock in the slot at (105, 3), centre (122, 20), drawn at each time,
// equals its twelve marks set pixel by pixel (at 12, 3, 6 and 9 o'clock one
// pixel more to the left) and its two hands drawn as lines from the centre to
// the end points below; each drawing records the time it showed.
TEST(ClockFace, MarksHandsAndTheTimeShownAtEveryDrawing) {
  ResetItemState();
  ItemState.textColor = RGB(0, 0, 128);
  const POINT marks[] = {{0, -17}, {8, -14}, {14, -8}, {17, 0},  {14, 8},   {8, 14},
                         {0, 17},  {-8, 14}, {-14, 8}, {-17, 0}, {-14, -8}, {-8, -14}};
  const struct {
    WORD h, m, s;
    POINT hour, minute;
  } times[] = {{0, 0, 0, {0, -8}, {0, -12}},    {12, 0, 0, {0, -8}, {0, -12}},
               {3, 0, 0, {8, 0}, {0, -12}},     {6, 30, 0, {-2, 7}, {0, 12}},
               {9, 45, 30, {-7, -3}, {-11, 0}}, {15, 15, 15, {7, 1}, {11, 0}},
               {23, 59, 59, {0, -7}, {0, -11}}, {23, 59, 58, {0, -7}, {0, -11}}};
  for (const auto& t : times) {
    SYSTEMTIME now = {2026, 12, 1, 7, t.h, t.m, t.s, 0};
    SimSetLocalTime(now);
    GetLocalTime(&now);
    Canvas drawn(240, 42, kWhite), expected(240, 42, kWhite);
    DrawClockGauge(drawn.dc, 105, 3);
    for (int i = 0; i < 12; ++i) {
      for (int x = i % 3 ? 0 : -1; x <= 0; ++x)
        SetPixel(expected.dc, 122 + marks[i].x + x, 20 + marks[i].y, ItemState.textColor);
    }
    ScopedGdiObj<HPEN> pen(CreatePen(PS_SOLID, 1, ItemState.textColor));
    SelectObject(expected.dc, pen);
    for (POINT end : {t.hour, t.minute}) {
      POINT line[2] = {{122, 20}, {122 + end.x, 20 + end.y}};
      Polyline(expected.dc, line, 2);
    }
    SelectObject(expected.dc, GetStockObject(BLACK_PEN));
    EXPECT_TRUE(drawn == expected) << t.h << ":" << t.m << ":" << t.s;
    EXPECT_EQ(0, memcmp(&now, &ItemState.shownClockTime, sizeof now)) << t.h << ":" << t.m;
  }
}

}  // namespace
