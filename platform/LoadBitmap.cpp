// LoadBitmapW for the system's own bitmap resources. Wine's LoadBitmapW takes
// and releases a screen DC on every call, which makes it the largest cost of
// the Today item's paint (it loads its bitmaps anew each time). This builds
// the same device-dependent, screen-depth bitmap from the resource with one
// screen DC kept for the process. Anything it does not recognise (system
// bitmaps, compressed or unusual headers) goes to the real LoadBitmapW.
#define CE_PLATFORM_IMPLEMENTATION
#include "CeApi.h"

namespace {

HDC ScreenDc() {
  static HDC screen = GetDC(nullptr);
  return screen;
}

// Size of the colour table that follows a BITMAPINFOHEADER in a resource.
DWORD ColourTableBytes(const BITMAPINFOHEADER& header) {
  if (header.biBitCount > 8) return 0;
  DWORD colours = header.biClrUsed ? header.biClrUsed : (1u << header.biBitCount);
  return colours * sizeof(RGBQUAD);
}

}  // namespace

extern "C" HBITMAP WINAPI CeLoadBitmapW(HINSTANCE instance, LPCWSTR name) {
  HRSRC found = instance ? FindResourceW(instance, name, MAKEINTRESOURCEW(2) /* RT_BITMAP */)
                         : nullptr;
  HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
  const BITMAPINFO* info = loaded ? static_cast<const BITMAPINFO*>(LockResource(loaded)) : nullptr;
  DWORD size = found ? SizeofResource(instance, found) : 0;
  if (!info || size < sizeof(BITMAPINFOHEADER) ||
      info->bmiHeader.biSize != sizeof(BITMAPINFOHEADER) ||
      info->bmiHeader.biCompression != BI_RGB || info->bmiHeader.biPlanes != 1) {
    return LoadBitmapW(instance, name);
  }
  const BITMAPINFOHEADER& header = info->bmiHeader;
  const DWORD headerBytes = header.biSize + ColourTableBytes(header);
  const DWORD rowBytes = ((header.biWidth * header.biBitCount + 31) / 32) * 4;
  const LONG rows = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  if (header.biWidth <= 0 || rows == 0 || headerBytes + rowBytes * DWORD(rows) > size) {
    return LoadBitmapW(instance, name);
  }
  const BYTE* bits = reinterpret_cast<const BYTE*>(info) + headerBytes;
  return CreateDIBitmap(ScreenDc(), &header, CBM_INIT, bits, info, DIB_RGB_COLORS);
}
