#pragma once

#include "CeApi.h"

// Paints the whole strip off screen and copies it to the window in one block.
// A paint that could not draw or copy everything leaves
// ItemState.paintIncomplete set, so that the next refresh query repaints.
void PaintItem(HWND window);

// Draws the logo with its top-left corner at (x, y); pure red is transparent.
// False when it could not be drawn (nothing of it is then).
bool DrawFrame(HDC hdc, int x, int y);
