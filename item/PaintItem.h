#pragma once

#include "CeApi.h"

// Paints the whole strip off screen and copies it to the window in one block.
void PaintItem(HWND window);
