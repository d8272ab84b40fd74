#include "PaintItem.h"

// Placeholder until the strip's drawing lands: validates the window only.
void PaintItem(HWND window) {
  PAINTSTRUCT ps;
  BeginPaint(window, &ps);
  EndPaint(window, &ps);
}
