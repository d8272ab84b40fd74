// Small helpers shared by the tests.
#pragma once

#include <windows.h>

#include "ScopedWin.h"

#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

// Dispatches the messages waiting for this thread, at most 1,000: a paint
// that never validates would loop for ever.
inline void PumpMessages() {
  MSG msg;
  for (int most = 1000; most-- > 0 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Waits up to `ms` for `condition`, pumping messages; whether it came true.
template <typename Condition>
bool WaitFor(Condition condition, DWORD ms = 20000) {
  for (ULONGLONG end = GetTickCount64() + ms;; Sleep(10)) {
    PumpMessages();
    if (condition())
      return true;
    if (GetTickCount64() > end)
      return false;
  }
}

// Pens this process can still create before creation fails; all freed again.
inline int GdiHeadroom() {
  std::vector<ScopedGdiObj<HPEN>> pens;
  pens.reserve(70000);
  while (pens.size() < 70000) {
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(pens.size() & 255, 0, 0));
    if (!pen)
      break;
    pens.emplace_back(pen);
  }
  return int(pens.size());
}

const COLORREF kWhite = RGB(255, 255, 255), kBlack = 0;

// A 32-bpp top-down DIB selected into a memory DC, filled with one colour.
struct Canvas {
  Canvas(int width, int height, COLORREF fill) : w(width), h(height) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    bitmap.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits),
                                  nullptr, 0));
    dc.Reset(CreateCompatibleDC(nullptr));
    SelectObject(dc, bitmap);
    for (int i = 0; i < w * h; ++i)
      bits[i] = RGB(GetBValue(fill), GetGValue(fill), GetRValue(fill));
  }
  COLORREF At(int x, int y) const {  // pixels are stored 0x00RRGGBB
    GdiFlush();
    return RGB(GetBValue(bits[y * w + x]), GetGValue(bits[y * w + x]), GetRValue(bits[y * w + x]));
  }
  bool operator==(const Canvas& o) const {
    GdiFlush();
    return memcmp(bits, o.bits, w * h * 4) == 0;
  }

  int w, h;
  ScopedGdiObj<HBITMAP> bitmap;  // deleted after the DC it stays selected into
  AutoDeleteDC dc;
  DWORD* bits = nullptr;
};

// The client area of `window` as 0x00RRGGBB pixels, rows top to bottom.
inline std::vector<DWORD> CopyClientArea(HWND window) {
  RECT rc = {};
  GetClientRect(window, &rc);
  Canvas copy(rc.right, rc.bottom, kBlack);
  BitBlt(copy.dc, 0, 0, rc.right, rc.bottom, AutoReleaseDC(window), 0, 0, SRCCOPY);
  GdiFlush();
  std::vector<DWORD> pixels(copy.bits, copy.bits + rc.right * rc.bottom);
  for (DWORD& p : pixels)
    p &= 0x00FFFFFF;
  return pixels;
}

inline std::wstring BesideTest(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::wstring(path, wcsrchr(path, L'\\') + 1) + name;
}

// The positive number in environment variable `name`, else `fallback`.
inline long CountFromEnvironment(const char* name, long fallback) {
  const char* text = getenv(name);
  long value = text ? strtol(text, nullptr, 10) : 0;
  return value > 0 ? value : fallback;
}
