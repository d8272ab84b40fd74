#include "ClockFace.h"
#include "PaintTestSupport.h"

namespace {

TEST(ClockFace, TwelveMarksAtTheirOffsetsQuarterHoursTwoPixelsWide) {
  const POINT marks[12] = {{0, -17}, {8, -14}, {14, -8}, {17, 0},  {14, 8},   {8, 14},
                           {0, 17},  {-8, 14}, {-14, 8}, {-17, 0}, {-14, -8}, {-8, -14}};
  Canvas c(40, 40, kWhite);
  ClockFace clock;
  clock.DrawTickMarks(c.dc, 20, 20, 17);  // the DC's default pen: black
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(c.At(20 + marks[i].x, 20 + marks[i].y), kBlack) << i;
    EXPECT_EQ(c.At(19 + marks[i].x, 20 + marks[i].y), i % 3 == 0 ? kBlack : kWhite) << i;
  }
  EXPECT_EQ(c.CountNot(kWhite, 0, 0, 40, 40), 16);
}

TEST(ClockFace, HandEndPointsAndTwelveHourSymmetry) {
  const struct { int h, m, s; POINT hourEnd, minuteEnd; } times[] = {
      {0, 0, 0, {0, -8}, {0, -12}},   {12, 0, 0, {0, -8}, {0, -12}},
      {3, 0, 0, {8, 0}, {0, -12}},    {6, 30, 0, {-2, 7}, {0, 12}},
      {9, 45, 30, {-7, -3}, {-11, 0}}, {15, 15, 15, {7, 1}, {11, 0}},
      {23, 59, 59, {0, -7}, {0, -11}}};
  for (const auto& t : times) {
    ClockFace clock;
    clock.SetTime(t.h, t.m, t.s);
    clock.ComputeHandAngles();
    const POINT hourEnd = ClockFace::PointAt(0, 0, 8, clock.hourAngle);
    const POINT minuteEnd = ClockFace::PointAt(0, 0, 12, clock.minuteAngle);
    EXPECT_EQ(hourEnd.x, t.hourEnd.x) << t.h << ":" << t.m;
    EXPECT_EQ(hourEnd.y, t.hourEnd.y) << t.h << ":" << t.m;
    EXPECT_EQ(minuteEnd.x, t.minuteEnd.x) << t.h << ":" << t.m;
    EXPECT_EQ(minuteEnd.y, t.minuteEnd.y) << t.h << ":" << t.m;
    ClockFace later;
    later.SetTime((t.h + 12) % 24, t.m, t.s);
    later.ComputeHandAngles();
    EXPECT_EQ(later.hourAngle, clock.hourAngle);
  }
}

// 03:00:00 in the slot at (105, 3): centre (122, 20), hour hand 8 right,
// minute hand 12 up, neither end point painted, marks and hands in textColor.
TEST(DrawClockGauge, DrawsLocalTimeInTextColourAndRecordsIt) {
  ResetItemState();
  const SYSTEMTIME at = {2026, 12, 0, 6, 3, 0, 0, 0};
  SimSetLocalTime(at);
  ItemState.textColor = RGB(0, 0, 200);
  ItemState.shownClockTime = {};
  Canvas c(240, 42, kWhite);
  HGDIOBJ penBefore = GetCurrentObject(c.dc, OBJ_PEN);
  DrawClockGauge(c.dc, 105, 3);
  EXPECT_EQ(memcmp(&ItemState.shownClockTime, &at, sizeof at), 0);
  EXPECT_EQ(GetCurrentObject(c.dc, OBJ_PEN), penBefore);
  for (int x = 122; x < 130; ++x) EXPECT_EQ(c.At(x, 20), RGB(0, 0, 200)) << x;
  for (int y = 9; y <= 20; ++y) EXPECT_EQ(c.At(122, y), RGB(0, 0, 200)) << y;
  EXPECT_EQ(c.At(130, 20), kWhite);
  EXPECT_EQ(c.At(122, 8), kWhite);
  for (POINT p : {POINT{121, 3}, POINT{122, 3}, POINT{121, 37}, POINT{122, 37}, POINT{104, 20},
                  POINT{105, 20}})
    EXPECT_EQ(c.At(p.x, p.y), RGB(0, 0, 200)) << p.x << "," << p.y;
  EXPECT_EQ(c.CountNot(kWhite, 0, 0, 240, 42), 16 + 8 + 11);  // marks, hour hand, minute hand
}

}  // namespace
