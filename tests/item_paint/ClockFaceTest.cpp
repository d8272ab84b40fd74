#include "ClockFace.h"
#include "PaintTestSupport.h"

namespace {

TEST(ClockFace, HandEndPointsAndTwelveHourSymmetry) {
  const struct { int h, m, s, hourX, hourY, minuteX, minuteY; } times[] = {
      {0, 0, 0, 0, -8, 0, -12},    {12, 0, 0, 0, -8, 0, -12},   {3, 0, 0, 8, 0, 0, -12},
      {6, 30, 0, -2, 7, 0, 12},    {9, 45, 30, -7, -3, -11, 0}, {15, 15, 15, 7, 1, 11, 0},
      {23, 59, 59, 0, -7, 0, -11}};
  for (const auto& t : times) {
    ClockFace clock, later;
    clock.SetTime(t.h, t.m, t.s);
    clock.ComputeHandAngles();
    const POINT hour = ClockFace::PointAt(0, 0, 8, clock.hourAngle);
    const POINT minute = ClockFace::PointAt(0, 0, 12, clock.minuteAngle);
    using Point = std::pair<LONG, LONG>;
    EXPECT_EQ(Point(t.hourX, t.hourY), Point(hour.x, hour.y)) << t.h << ":" << t.m;
    EXPECT_EQ(Point(t.minuteX, t.minuteY), Point(minute.x, minute.y)) << t.h << ":" << t.m;
    later.SetTime((t.h + 12) % 24, t.m, t.s);
    later.ComputeHandAngles();
    EXPECT_EQ(clock.hourAngle, later.hourAngle);
  }
}

// 03:00:00 in the slot at (105, 3): centre (122, 20); twelve marks on the
// circle of 17, the quarter-hour ones two pixels wide; hour hand 8 to the
// right, minute hand 12 up; no end point painted; all in textColor.
TEST(DrawClockGauge, MarksAndHandsOfTheLocalTimeInTextColour) {
  ResetItemState();
  const SYSTEMTIME at = {2026, 12, 0, 6, 3, 0, 0, 0};
  SimSetLocalTime(at);
  ItemState.textColor = RGB(0, 0, 200);
  Canvas c(240, 42, kWhite), expected(240, 42, kWhite);
  HGDIOBJ pen = GetCurrentObject(c.dc, OBJ_PEN);
  DrawClockGauge(c.dc, 105, 3);
  EXPECT_EQ(0, memcmp(&ItemState.shownClockTime, &at, sizeof at));
  EXPECT_EQ(pen, GetCurrentObject(c.dc, OBJ_PEN));
  const POINT marks[12] = {{0, -17}, {8, -14}, {14, -8}, {17, 0},  {14, 8},   {8, 14},
                           {0, 17},  {-8, 14}, {-14, 8}, {-17, 0}, {-14, -8}, {-8, -14}};
  for (int i = 0; i < 12; ++i) {
    SetPixel(expected.dc, 122 + marks[i].x, 20 + marks[i].y, RGB(0, 0, 200));
    if (i % 3 == 0) SetPixel(expected.dc, 121 + marks[i].x, 20 + marks[i].y, RGB(0, 0, 200));
  }
  for (int d = 0; d < 12; ++d) {
    if (d < 8) SetPixel(expected.dc, 122 + d, 20, RGB(0, 0, 200));  // hour hand
    SetPixel(expected.dc, 122, 20 - d, RGB(0, 0, 200));             // minute hand
  }
  EXPECT_TRUE(c == expected);
}

}  // namespace
