#pragma once

#include "CeApi.h"

// Paints the whole strip off screen and copies it to the window in one block.
void PaintItem(HWND window);

// Draws the logo with its top-left corner at (x, y); pure red is transparent.
void DrawFrame(HDC hdc, int x, int y);
