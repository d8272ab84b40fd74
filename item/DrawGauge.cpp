#include "DrawGauge.h"

#include <math.h>

#include "ItemState.h"
#include "resource.h"

namespace {

// Deliberate: numbers as the device's build writes them; the needle's pixels rely on each digit.
// Transparent key of the dial and caption bitmaps: olive, RGB(128,128,0).
const COLORREF kGaugeKey = 32896;
const int kNeedleLength = 15;
const double kPercentScale = 0.01;
const double kNeedleSweep = 1.9198621771937594;  // 110 degrees
const double kNeedleStart = 0.6108652381980153;  // 35 degrees
const double kQuarterTurn = 1.570796326794895;
const double kHalfTurn = 3.14159265358979;
const UINT kLabelFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;  // 37

// A bitmap resource of the item selected into its own memory DC. Members go
// in reverse order: the DC first (with the bitmap still selected), then the
// bitmap.
struct LoadedBitmap {
  ScopedGdiObj<HBITMAP> bitmap;
  AutoDeleteDC dc;
  BITMAP info = {};

  bool Load(HDC compatible, UINT id) {
    bitmap.Reset(LoadBitmapW(ItemState.hInstance, MAKEINTRESOURCEW(id & 0xFFFF)));
    dc.Reset(CreateCompatibleDC(compatible));
    return bitmap.IsValid() && dc.IsValid() && SelectObject(dc, bitmap) &&
           GetObjectW(bitmap, sizeof info, &info) != 0;
  }
};

}  // namespace

bool DrawGauge(HDC hdc, int x, int y, UINT iconBitmapId, float percent, const wchar_t* label) {
  // The icon is declared first so that it goes last: released are the dial's
  // DC, the dial bitmap, the icon's DC, then the icon bitmap. The dial is
  // still loaded first.
  LoadedBitmap icon, dial;
  const bool dialOk = dial.Load(hdc, IDB_DIAL);
  const bool iconOk = icon.Load(hdc, iconBitmapId);
  if (!dialOk || !iconOk)
    return false;  // without its bitmaps the gauge has no size: skip it
  const LONG W = dial.info.bmWidth, H = dial.info.bmHeight;
  const LONG w = icon.info.bmWidth, h = icon.info.bmHeight;
  const int pivotX = x + W / 2;
  const int pivotY = y + H - 1;

  bool drawn = TransparentImage(hdc, x, y, W, H, dial.dc, 0, 0, W, H, kGaugeKey);
  drawn = TransparentImage(hdc, pivotX - w / 2, y + H / 2 - h / 2, w, h, icon.dc, 0, 0, w, h,
                           kGaugeKey) &&
          drawn;

  // The only single-precision step: the angle is rounded to float once.
  const double exact = static_cast<double>(percent) * kPercentScale * kNeedleSweep + kNeedleStart;
  const double angle = static_cast<double>(static_cast<float>(exact));
  if (!__builtin_isnan(percent))  // no reading: no needle
    drawn = DrawNeedle(hdc, pivotX, pivotY, kNeedleLength, angle) && drawn;

  RECT band = {x - 10, y + H + 5, x + W + 10, y + H + 15};
  return (!label[0] || DrawTextW(hdc, label, -1, &band, kLabelFormat) != 0) && drawn;
}

bool DrawNeedle(HDC hdc, int pivotX, int pivotY, int length, double angle) {
  const double L = length;
  int dx = 0, dy = 0;
  // Each offset is truncated toward zero on its own, before it is added.
  if (angle < kQuarterTurn) {
    dx = static_cast<int>(-(cos(angle) * L));
    dy = static_cast<int>(-(sin(angle) * L));
  } else if (angle < kHalfTurn) {
    const double t = angle - kQuarterTurn;
    dx = static_cast<int>(sin(t) * L);
    dy = static_cast<int>(-(cos(t) * L));
  }
  POINT line[2] = {{pivotX, pivotY}, {pivotX + dx, pivotY + dy}};
  // Deliberate: an end point on the DC's left or top edge draws no needle, as on the device.
  return line[1].x == 0 || line[1].y == 0 || Polyline(hdc, line, 2);
}
