// TransparentImage on the desktop. CE copies every source pixel whose colour
// is not the key; msimg32's TransparentBlt does the same, but Wine's is slow
// (it rebuilds the source through a DIB on every call), and the Today item
// calls this seven times a paint. An unstretched copy is done instead with a
// one-bit mask and three raster operations, which gives the same pixels:
//   dst ^= src;  dst &= mask (white where the key was);  dst ^= src.
// Stretched copies still go to TransparentBlt. CE also accepts an unselected
// bitmap as the source; that form is served through a temporary DC.
#define CE_PLATFORM_IMPLEMENTATION
#include "CeApi.h"
#include "checked/FaultInjection.h"

namespace {

// One mask surface, kept and grown, for the first thread that copies (the
// item's): a DC and bitmap for each of its seven calls a paint would cost more
// than the copies. Other threads get one for one call. (Not thread_local: the
// emulated TLS would double the item's size.) Members go in reverse: the DC
// (its bitmap still selected), then the bitmap.
struct MaskSurface {
  ScopedGdiObj<HBITMAP> bitmap;
  AutoDeleteDC dc;
  LONG width = 0, height = 0;

  HDC Fit(LONG w, LONG h) {
    if (!dc.IsValid())
      dc.Reset(CreateCompatibleDC(nullptr));
    if (dc.IsValid() && (w > width || h > height)) {
      LONG newWidth = w > width ? w : width, newHeight = h > height ? h : height;
      HBITMAP grown = CreateBitmap(newWidth, newHeight, 1, 1, nullptr);
      if (!grown)
        return nullptr;
      SelectObject(dc, grown);
      bitmap.Reset(grown);  // the smaller one, no longer selected, goes
      width = newWidth;
      height = newHeight;
    }
    return dc;
  }
};

MaskSurface keptSurface;
// Its thread: claimed once, by compare-and-swap, and never given up.
volatile LONG keptSurfaceThread;

BOOL CopyFromDc(HDC dst, LONG dx, LONG dy, LONG w, LONG h, HDC src, LONG sx, LONG sy, LONG scx,
                LONG scy, COLORREF key) {
  LONG self = (LONG)GetCurrentThreadId();
  LONG owner = InterlockedCompareExchange(&keptSurfaceThread, self, 0);
  MaskSurface oneCall;
  MaskSurface& surface = owner == 0 || owner == self ? keptSurface : oneCall;
  HDC maskDc = w == scx && h == scy && w > 0 && h > 0 ? surface.Fit(w, h) : nullptr;
  if (!maskDc)  // stretched, or no surface
    return TransparentBlt(dst, dx, dy, w, h, src, sx, sy, scx, scy, key);

  // Colour to one bit: pixels of the source's background colour become 1.
  COLORREF oldSrcBk = SetBkColor(src, key);
  BOOL ok = BitBlt(maskDc, 0, 0, w, h, src, sx, sy, SRCCOPY);
  SetBkColor(src, oldSrcBk);

  // One bit to colour: 0 takes the text colour, 1 the background colour.
  COLORREF oldText = SetTextColor(dst, RGB(0, 0, 0));
  COLORREF oldBk = SetBkColor(dst, RGB(255, 255, 255));
  ok = ok && BitBlt(dst, dx, dy, w, h, src, sx, sy, SRCINVERT);
  ok = ok && BitBlt(dst, dx, dy, w, h, maskDc, 0, 0, SRCAND);
  ok = ok && BitBlt(dst, dx, dy, w, h, src, sx, sy, SRCINVERT);
  SetBkColor(dst, oldBk);
  SetTextColor(dst, oldText);
  return ok;
}

}  // namespace

extern "C" BOOL WINAPI CeTransparentImage(HDC dst, LONG dx, LONG dy, LONG dcx, LONG dcy, HANDLE src,
                                          LONG sx, LONG sy, LONG scx, LONG scy,
                                          COLORREF transparent) {
  if (CE_FAILS(TransparentImage))
    return FALSE;
  if (GetObjectType(src) == OBJ_BITMAP) {
    // The caller's bitmap goes back out of the DC before the DC is deleted.
    AutoDeleteDC srcDc(CreateCompatibleDC(dst));
    ScopedSelectObject selected(srcDc, src);
    return CopyFromDc(dst, dx, dy, dcx, dcy, srcDc, sx, sy, scx, scy, transparent);
  }
  return CopyFromDc(dst, dx, dy, dcx, dcy, static_cast<HDC>(src), sx, sy, scx, scy, transparent);
}
