// DrawGauge: one dial gauge of the strip (dial face, caption, needle, label).
#pragma once

#include "CeApi.h"

// Draws the gauge whose dial has its top-left corner at (x, y): the dial,
// the caption bitmap iconBitmapId (low 16 bits used) centred on it, the
// needle at `percent` (0 at the red end, 100 at the green end) and `label`
// centred in the band under the dial, in the DC's font, text colour and
// background mode. A percent that is not a number draws no needle. False when
// a part could not be drawn; without its bitmaps nothing is.
bool DrawGauge(HDC hdc, int x, int y, UINT iconBitmapId, float percent, const wchar_t* label);

// Draws a needle of `length` pixels from the pivot; `angle` in radians from
// pointing left, through straight up (a quarter turn), to pointing right.
// The end point itself is not painted. False when the line could not be drawn.
bool DrawNeedle(HDC hdc, int pivotX, int pivotY, int length, double angle);
