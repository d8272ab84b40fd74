// LoadBitmapW for the system's own bitmap resources, as CE does it: the bitmap
// keeps the resource's format (a 4-bit bitmap stays 4-bit with its colour
// table). It is also cheap, where Wine's LoadBitmapW converts through a screen
// DC on every call and the item loads its bitmaps at every paint (the bench
// compares the two). Anything else (compressed, unusual) goes to LoadBitmapW.
#define CE_PLATFORM_IMPLEMENTATION
#include "CeApi.h"
#include "checked/FaultInjection.h"

#include <string.h>

extern "C" HBITMAP WINAPI CeLoadBitmapW(HINSTANCE instance, LPCWSTR name) {
  if (CE_FAILS(LoadBitmapW))
    return nullptr;
  HRSRC found =
      instance ? FindResourceW(instance, name, MAKEINTRESOURCEW(2) /* RT_BITMAP */) : nullptr;
  HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
  const BITMAPINFO* info = loaded ? static_cast<const BITMAPINFO*>(LockResource(loaded)) : nullptr;
  DWORD size = found ? SizeofResource(instance, found) : 0;
  BITMAPINFOHEADER header = {};  // none: taken by no bitmap below
  if (info && size >= sizeof(header))
    header = info->bmiHeader;
  DWORD colours = header.biBitCount > 8 ? 0
                  : header.biClrUsed    ? header.biClrUsed
                                        : 1u << header.biBitCount;
  const DWORD headerBytes = header.biSize + colours * sizeof(RGBQUAD);
  const DWORD rowBytes = ((header.biWidth * header.biBitCount + 31) / 32) * 4;
  const LONG rows = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  if (header.biSize != sizeof(header) || header.biCompression != BI_RGB || header.biPlanes != 1 ||
      header.biWidth <= 0 || rows == 0 || headerBytes + rowBytes * DWORD(rows) > size) {
    return LoadBitmapW(instance, name);
  }
  void* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (bitmap && pixels)
    memcpy(pixels, reinterpret_cast<const BYTE*>(info) + headerBytes, rowBytes * DWORD(rows));
  return bitmap;
}
