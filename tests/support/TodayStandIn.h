// A stand-in Today window, the item's parent: it answers TODAYM_GETCOLOR with
// `text` for TODAYCOLOR_TEXT and `other` for the rest, has `watermark` (when
// set) paint the background asked for, and first hands every message to
// `record` (when set).
#pragma once

#include "CeApi.h"

struct TodayAnswers {
  COLORREF text, other;
  void (*watermark)(const TODAYDRAWWATERMARKINFO& info);
  void (*record)(UINT message);
};
inline TodayAnswers todayAnswers;

inline LRESULT CALLBACK TodayStandInProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (todayAnswers.record)
    todayAnswers.record(m);
  if (m == TODAYM_GETCOLOR)
    return wp == TODAYCOLOR_TEXT ? todayAnswers.text : todayAnswers.other;
  if (m == TODAYM_DRAWWATERMARK && todayAnswers.watermark)
    todayAnswers.watermark(*reinterpret_cast<TODAYDRAWWATERMARKINFO*>(lp));
  return m == TODAYM_DRAWWATERMARK ? 0 : DefWindowProcW(w, m, wp, lp);
}

// A visible top-level window of class `className` (registered on first use)
// at screen (x, y), answering as `answers` says.
inline HWND CreateTodayStandIn(const TodayAnswers& answers, const wchar_t* className, DWORD exStyle,
                               int x, int y, int width, int height) {
  todayAnswers = answers;
  WNDCLASSW c = {0,       TodayStandInProc, 0,       0,       GetModuleHandleW(nullptr),
                 nullptr, nullptr,          nullptr, nullptr, className};
  RegisterClassW(&c);
  return CreateWindowExW(exStyle, className, L"Today", WS_POPUP | WS_VISIBLE, x, y, width, height,
                         nullptr, nullptr, c.hInstance, nullptr);
}
