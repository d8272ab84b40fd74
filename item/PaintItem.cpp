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

void DrawFrame(HDC hdc, int x, int y) {
  // Released in reverse: the DC (the logo still selected), then the logo.
  ScopedGdiObj<HBITMAP> logo(LoadBitmapW(ItemState.hInstance, MAKEINTRESOURCEW(IDB_FRAME_LOGO)));
  AutoDeleteDC logoDc(CreateCompatibleDC(hdc));
  SelectObject(logoDc, logo);
  BITMAP info = {};
  if (logo.IsValid() && GetObjectW(logo, sizeof info, &info) != 0) {
    TransparentImage(hdc, x, y, info.bmWidth, info.bmHeight, logoDc, 0, 0, info.bmWidth,
                     info.bmHeight, kLogoKey);
  }
}

// Draws the strip off screen and copies it to the window. Released on return,
// in reverse: the memory DC, the strip bitmap, then the window DC.
static void DrawAndCopy(HWND window, PAINTSTRUCT* ps) {
  // Deliberate: drawn through GetDC, BeginPaint only before the copy; hosts rely on the order.
  AutoReleaseDC windowDc(window);
  RECT client;
  GetClientRect(window, &client);
  const int width = client.right, height = client.bottom;
  ScopedGdiObj<HBITMAP> strip;
  AutoDeleteDC memDc(CreateCompatibleDC(windowDc));
  strip.Reset(CreateCompatibleBitmap(windowDc, width, height));
  SelectObject(memDc, strip);

  // Deliberate: the colour is asked of the item's own window (answer 0) first; hosts rely on it.
  ItemState.textColor = static_cast<COLORREF>(
      SendMessageW(window, TODAYM_GETCOLOR, TODAYCOLOR_TEXT, 0));
  SetTextColor(memDc, ItemState.textColor);

  TODAYDRAWWATERMARKINFO watermark;
  watermark.hdc = memDc;
  GetClientRect(window, &watermark.rc);
  watermark.hwnd = window;
  SendMessageW(GetParent(window), TODAYM_DRAWWATERMARK, 0,
               reinterpret_cast<LPARAM>(&watermark));

  SetBkMode(memDc, TRANSPARENT);
  ItemState.textColor = static_cast<COLORREF>(
      SendMessageW(GetParent(window), TODAYM_GETCOLOR, TODAYCOLOR_TEXT, 0));
  SetTextColor(memDc, ItemState.textColor);

  DrawFrame(memDc, ItemState.frameOrigin.x, ItemState.frameOrigin.y);
  DrawBatteryGauge(memDc, ItemState.batteryOrigin.x, ItemState.batteryOrigin.y);
  if (ItemState.storageShowsClock) {
    DrawClockGauge(memDc, ItemState.storageOrigin.x, ItemState.storageOrigin.y);
  } else {
    DrawStorageGauge(memDc, ItemState.storageOrigin.x, ItemState.storageOrigin.y);
  }
  DrawMemoryGauge(memDc, ItemState.memoryOrigin.x, ItemState.memoryOrigin.y);

  // BeginPaint validates the update region (and erases it) before the copy;
  // the copy goes to the unclipped window DC, so the whole client area is
  // refreshed even when only part of it was invalid.
  BeginPaint(window, ps);
  BitBlt(windowDc, 0, 0, width, height, memDc, 0, 0, SRCCOPY);
}

void PaintItem(HWND window) {
  // Unsigned difference: right across the tick counter's wrap.
  if (ItemState.initMode && GetTickCount() - ItemState.wakeTick > kInitModeMs) {
    ItemState.initMode = false;
  }
  PAINTSTRUCT ps;
  DrawAndCopy(window, &ps);
  EndPaint(window, &ps);  // after every release
}
