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
  HBITMAP logo = LoadBitmapW(ItemState.hInstance, MAKEINTRESOURCEW(IDB_FRAME_LOGO));
  HDC logoDc = CreateCompatibleDC(hdc);
  SelectObject(logoDc, logo);
  BITMAP info = {};
  if (logo && GetObjectW(logo, sizeof info, &info) != 0) {
    TransparentImage(hdc, x, y, info.bmWidth, info.bmHeight, logoDc, 0, 0, info.bmWidth,
                     info.bmHeight, kLogoKey);
  }
  DeleteDC(logoDc);
  if (logo) DeleteObject(logo);
}

void PaintItem(HWND window) {
  // Unsigned difference: right across the tick counter's wrap.
  if (ItemState.initMode && GetTickCount() - ItemState.wakeTick > kInitModeMs) {
    ItemState.initMode = false;
  }

  HDC windowDc = GetDC(window);
  RECT client;
  GetClientRect(window, &client);
  const int width = client.right, height = client.bottom;
  HDC memDc = CreateCompatibleDC(windowDc);
  HBITMAP strip = CreateCompatibleBitmap(windowDc, width, height);
  SelectObject(memDc, strip);

  // The item window's own answer (DefWindowProc: 0) comes first; the host's
  // answer below is the colour everything is drawn in.
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
  PAINTSTRUCT ps;
  BeginPaint(window, &ps);
  BitBlt(windowDc, 0, 0, width, height, memDc, 0, 0, SRCCOPY);

  DeleteDC(memDc);
  DeleteObject(strip);
  ReleaseDC(window, windowDc);
  EndPaint(window, &ps);
}
