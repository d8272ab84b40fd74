// TransparentImage on the desktop: msimg32's TransparentBlt, which does the
// same for a source device context. CE also accepts an unselected bitmap as
// the source; that form is served through a temporary device context.
#define CE_PLATFORM_IMPLEMENTATION
#include "CeApi.h"

extern "C" BOOL WINAPI CeTransparentImage(HDC dst, LONG dx, LONG dy, LONG dcx, LONG dcy,
                                          HANDLE src, LONG sx, LONG sy, LONG scx, LONG scy,
                                          COLORREF transparent) {
  if (GetObjectType(src) == OBJ_BITMAP) {
    HDC srcDc = CreateCompatibleDC(dst);
    HGDIOBJ old = SelectObject(srcDc, src);
    BOOL ok = TransparentBlt(dst, dx, dy, dcx, dcy, srcDc, sx, sy, scx, scy, transparent);
    SelectObject(srcDc, old);
    DeleteDC(srcDc);
    return ok;
  }
  return TransparentBlt(dst, dx, dy, dcx, dcy, static_cast<HDC>(src), sx, sy, scx, scy,
                        transparent);
}
