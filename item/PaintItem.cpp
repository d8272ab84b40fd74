#include "PaintItem.h"

#include "ClockFace.h"
#include "Gauges.h"
#include "ItemState.h"
#include "resource.h"

namespace {

// The logo's transparent colour: pure red.
const COLORREF kLogoKey = 0x000000FF;
// Init mode ends with the first paint more than this long after the wake-up.
const DWORD kInitModeMs = 4000;

}  // namespace

bool DrawFrame(HDC hdc, int x, int y) {
  // Released in reverse: the DC (the logo still selected), then the logo.
  ScopedGdiObj<HBITMAP> logo(LoadBitmapW(ItemState.hInstance, MAKEINTRESOURCEW(IDB_FRAME_LOGO)));
  AutoDeleteDC logoDc(CreateCompatibleDC(hdc));
  BITMAP info = {};
  return logo.IsValid() && logoDc.IsValid() && SelectObject(logoDc, logo) &&
         GetObjectW(logo, sizeof info, &info) != 0 &&
         TransparentImage(hdc, x, y, info.bmWidth, info.bmHeight, logoDc, 0, 0, info.bmWidth,
                          info.bmHeight, kLogoKey);
}

// The Today background, the text colour and the four parts, into `memDc`;
// false when a part could not be drawn (the others still are).
static bool DrawStrip(HWND window, HDC memDc, const RECT& client) {
  // Deliberate: the colour is asked of the item's own window (answer 0) first; hosts rely on it.
  ItemState.textColor =
      static_cast<COLORREF>(SendMessageW(window, TODAYM_GETCOLOR, TODAYCOLOR_TEXT, 0));
  SetTextColor(memDc, ItemState.textColor);

  TODAYDRAWWATERMARKINFO watermark;
  watermark.hdc = memDc;
  if (!GetClientRect(window, &watermark.rc))
    watermark.rc = client;  // read a moment ago
  watermark.hwnd = window;
  SendMessageW(GetParent(window), TODAYM_DRAWWATERMARK, 0, reinterpret_cast<LPARAM>(&watermark));

  SetBkMode(memDc, TRANSPARENT);
  ItemState.textColor =
      static_cast<COLORREF>(SendMessageW(GetParent(window), TODAYM_GETCOLOR, TODAYCOLOR_TEXT, 0));
  SetTextColor(memDc, ItemState.textColor);

  const POINT& storage = ItemState.storageOrigin;
  bool drawn = DrawFrame(memDc, ItemState.frameOrigin.x, ItemState.frameOrigin.y);
  drawn = DrawBatteryGauge(memDc, ItemState.batteryOrigin.x, ItemState.batteryOrigin.y) && drawn;
  drawn = (ItemState.storageShowsClock ? DrawClockGauge(memDc, storage.x, storage.y)
                                       : DrawStorageGauge(memDc, storage.x, storage.y)) &&
          drawn;
  return DrawMemoryGauge(memDc, ItemState.memoryOrigin.x, ItemState.memoryOrigin.y) && drawn;
}

// Draws the strip off screen and copies it to the window; true when all of
// it was drawn and copied. Released on return, in reverse: the memory DC, the
// strip bitmap, then the window DC. *began tells whether BeginPaint gave a
// paint to end.
static bool DrawAndCopy(HWND window, PAINTSTRUCT* ps, bool* began) {
  // Deliberate: drawn through GetDC, BeginPaint only before the copy; hosts rely on the order.
  AutoReleaseDC windowDc(window);
  RECT client = {};
  ScopedGdiObj<HBITMAP> strip;
  AutoDeleteDC memDc;
  bool surface = windowDc && GetClientRect(window, &client);
  if (surface) {
    memDc.Reset(CreateCompatibleDC(windowDc));
    strip.Reset(CreateCompatibleBitmap(windowDc, client.right, client.bottom));
    surface = memDc.IsValid() && strip.IsValid() && SelectObject(memDc, strip);
  }
  const bool drawn = surface && DrawStrip(window, memDc, client);

  // BeginPaint validates the update region (and erases it) before the copy;
  // the copy goes to the unclipped window DC, so the whole client area is
  // refreshed even when only part of it was invalid. Without BeginPaint the
  // region is validated all the same, or the window would be sent paints
  // without end.
  *began = BeginPaint(window, ps) != nullptr;
  if (!*began)
    ValidateRect(window, nullptr);
  const bool copied =
      surface && BitBlt(windowDc, 0, 0, client.right, client.bottom, memDc, 0, 0, SRCCOPY);
  return drawn && copied;
}

void PaintItem(HWND window) {
  // Unsigned difference: right across the tick counter's wrap.
  if (ItemState.initMode && GetTickCount() - ItemState.wakeTick > kInitModeMs) {
    ItemState.initMode = false;
  }
  PAINTSTRUCT ps;
  bool began = false;
  ItemState.paintIncomplete = !DrawAndCopy(window, &ps, &began);
  if (began)
    EndPaint(window, &ps);  // after every release
}
