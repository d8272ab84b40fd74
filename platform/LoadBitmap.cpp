// LoadBitmapW for the system's own bitmap resources, as CE does it: the
// bitmap keeps the resource's own format (a 4-bit bitmap stays 4-bit with its
// colour table) instead of becoming a screen-depth device bitmap. Besides
// being the device's behaviour, it is cheap: Wine's LoadBitmapW takes a
// screen DC and converts to 32 bits on every call, and the Today item loads
// its bitmaps anew at every paint (the bench compares the two).
// Anything else (system bitmaps, compressed or unusual headers) goes to the
// real LoadBitmapW.
#define CE_PLATFORM_IMPLEMENTATION
#include "CeApi.h"
#include "checked/FaultInjection.h"

#include <string.h>

namespace {

// Size of the colour table that follows a BITMAPINFOHEADER in a resource.
DWORD ColourTableBytes(const BITMAPINFOHEADER& header) {
  if (header.biBitCount > 8)
    return 0;
  DWORD colours = header.biClrUsed ? header.biClrUsed : (1u << header.biBitCount);
  return colours * sizeof(RGBQUAD);
}

}  // namespace

extern "C" HBITMAP WINAPI CeLoadBitmapW(HINSTANCE instance, LPCWSTR name) {
  if (CE_FAILS(LoadBitmapW))
    return nullptr;
  HRSRC found =
      instance ? FindResourceW(instance, name, MAKEINTRESOURCEW(2) /* RT_BITMAP */) : nullptr;
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
  if (header.biWidth <= 0 || rows == 0 || headerBytes + rowBytes * DWORD(rows) > size)
    return LoadBitmapW(instance, name);
  const BYTE* bits = reinterpret_cast<const BYTE*>(info) + headerBytes;
  void* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (bitmap && pixels)
    memcpy(pixels, bits, rowBytes * DWORD(rows));
  return bitmap;
}
