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

}  // namespace
