// ClockFace: the small analog clock shown in the storage slot: twelve hour
// marks and two hands, one pixel wide, in one colour.
#pragma once

#include "CeApi.h"

class ClockFace {
public:
  ClockFace();
  virtual ~ClockFace();

  // Stores the time unchecked; the hour is reduced modulo 12 when drawn.
  void SetTime(int hour, int minute, int second);
  // Computes the hand angles, then draws marks, hour hand and minute hand
  // around (cx, cy) with a one-pixel solid pen of `colour`. False when a part
  // could not be drawn; without its pen nothing is.
  bool Draw(HDC hdc, int cx, int cy, int radius, COLORREF colour);

  // Angles in radians from 12 o'clock, clockwise.
  void ComputeHandAngles();
  bool DrawTickMarks(HDC hdc, int cx, int cy, int r);
  bool DrawHand(HDC hdc, int cx, int cy, int length, double angle);
  // The pixel at distance r from (cx, cy) in the direction `angle`.
  static POINT PointAt(int cx, int cy, int r, double angle);

  int hour;
  int minute;
  int second;
  double hourAngle;
  double minuteAngle;
};

// Draws the clock of the current local time for the slot whose top-left
// corner is (x, y), in ItemState.textColor, and records the time shown in
// ItemState.shownClockTime. False when a part could not be drawn.
bool DrawClockGauge(HDC hdc, int x, int y);
