#include "ClockFace.h"

#include <math.h>

#include "ItemState.h"

namespace {

// Angles derive from the circle constant 3.14159265358979, one rounding each;
// divisions are multiplications by the nearest double of the reciprocal.
// Deliberate: written out to all their digits, as on the device; the clock's pixels rely on each.
const double kQuarterTurn = 1.570796326794895;
const double kHalfTurn = 3.14159265358979;
const double kThreeQuarterTurns = 4.712388980384685;
const double kFullTurn = 6.28318530717958;
const double kHourStep = 0.5235987755982984;
const double kMinuteStep = 0.10471975511965967;
const double kOneSixtieth = 0.016666666666666666;
const double kOneTwelfth = 0.08333333333333333;
const double kOneThird = 0.3333333333333333;

const int kCentreOffset = 17;  // from the slot's top-left corner, right and down
const int kClockRadius = 12;
const int kMarkDistance = 5;  // marks lie this far outside the radius

}  // namespace

ClockFace::ClockFace() : hour(0), minute(0), second(0), hourAngle(0.0), minuteAngle(0.0) {}

ClockFace::~ClockFace() {}

void ClockFace::SetTime(int h, int m, int s) {
  hour = h;
  minute = m;
  second = s;
}

bool ClockFace::Draw(HDC hdc, int cx, int cy, int radius, COLORREF colour) {
  ComputeHandAngles();
  // The previous pen goes back before the created one is deleted.
  ScopedGdiObj<HPEN> pen(CreatePen(PS_SOLID, 1, colour));
  ScopedSelectObject selected(hdc, pen);
  if (!pen.IsValid() || !selected.Done())
    return false;  // not in the DC's own pen
  bool drawn = DrawTickMarks(hdc, cx, cy, radius + kMarkDistance);
  const int shortening =
      static_cast<int>(static_cast<double>(static_cast<float>(radius)) * kOneThird);
  drawn = DrawHand(hdc, cx, cy, radius - shortening, hourAngle) && drawn;
  return DrawHand(hdc, cx, cy, radius, minuteAngle) && drawn;
}

void ClockFace::ComputeHandAngles() {
  const double s = static_cast<double>(second) * kOneSixtieth;
  const double m = static_cast<double>(minute) * kOneSixtieth;
  // Deliberate: the minute hand moves with the seconds, as on the device; pictures rely on it.
  minuteAngle = s * kMinuteStep + m * kFullTurn;
  const int h = hour % 12;
  hourAngle = (static_cast<double>(h) * kOneTwelfth) * kFullTurn + m * kHourStep;
}

bool ClockFace::DrawTickMarks(HDC hdc, int cx, int cy, int r) {
  // The angle is accumulated by addition: twelve steps reach the full turn
  // exactly, so exactly twelve marks are drawn.
  double angle = 0.0;
  int i = 0;
  bool drawn = true;
  do {
    const POINT p = PointAt(cx, cy, r, angle);
    // The end point is not painted: the quarter-hour marks are two pixels,
    // (px - 1, py) and (px, py); the others one.
    POINT mark[2] = {{i % 3 == 0 ? p.x - 1 : p.x, p.y}, {p.x + 1, p.y}};
    drawn = Polyline(hdc, mark, 2) && drawn;
    angle = angle + kHourStep;
    i = i + 1;
  } while (!(angle >= kFullTurn));
  return drawn;
}

bool ClockFace::DrawHand(HDC hdc, int cx, int cy, int length, double angle) {
  POINT hand[2] = {{cx, cy}, PointAt(cx, cy, length, angle)};
  return Polyline(hdc, hand, 2) != FALSE;
}

POINT ClockFace::PointAt(int cx, int cy, int r, double angle) {
  const double R = r;
  // Reduced to its quadrant; each offset truncated toward zero by itself.
  POINT p;
  if (angle < kQuarterTurn) {
    p.x = cx + static_cast<int>(sin(angle) * R);
    p.y = cy + static_cast<int>(-(cos(angle) * R));
  } else if (angle < kHalfTurn) {
    const double t = angle - kQuarterTurn;
    p.x = cx + static_cast<int>(cos(t) * R);
    p.y = cy + static_cast<int>(sin(t) * R);
  } else if (angle < kThreeQuarterTurns) {
    const double t = angle - kHalfTurn;
    p.x = cx + static_cast<int>(-(sin(t) * R));
    p.y = cy + static_cast<int>(cos(t) * R);
  } else {
    const double t = angle - kThreeQuarterTurns;
    p.x = cx + static_cast<int>(-(cos(t) * R));
    p.y = cy + static_cast<int>(-(sin(t) * R));
  }
  return p;
}

bool DrawClockGauge(HDC hdc, int x, int y) {
  ClockFace clock;
  SYSTEMTIME now;
  GetLocalTime(&now);
  ItemState.shownClockTime = now;  // recorded before anything is drawn
  clock.SetTime(now.wHour, now.wMinute, now.wSecond);
  return clock.Draw(hdc, x + kCentreOffset, y + kCentreOffset, kClockRadius, ItemState.textColor);
}
