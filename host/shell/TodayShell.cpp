// The Today window and the shell's side of the item protocol.
#include "TodayShell.h"

#include <stdio.h>

#include <algorithm>

#include "Messages.h"
#include "Picture.h"
#include "CeApi.h"  // the device's local time for the header
#include "WakeupEvent.h"

TodayShellRecord TodayShell;

namespace {

const UINT_PTR refreshTimer = 1;
const RECT headerBand = {0, 0, TODAY_WIDTH, TODAY_HEADER_HEIGHT};

const COLORREF gradientTop = RGB(0xB4, 0xCC, 0xEE);
const COLORREF gradientBottom = RGB(0xFF, 0xFF, 0xFF);
const COLORREF headerColor = RGB(0x1E, 0x46, 0x8C);

// Paints a rectangle of the Today window's background into `dc` at (destX, destY).
void PaintBackground(HDC dc, int destX, int destY, const RECT& area) {
  int w = area.right - area.left, h = std::max(0, (int)(area.bottom - area.top));
  std::vector<DWORD> column(h);  // one pixel wide, stretched to w
  for (int y = 0; y < h; ++y) {
    COLORREF c = TodayBackgroundAt(area.left, area.top + y);
    column[y] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
  }
  BITMAPINFO bi = TopDown32BitInfo(1, h);
  StretchDIBits(dc, destX, destY, w, h, 0, 0, 1, h, column.data(), &bi, DIB_RGB_COLORS, SRCCOPY);
}

void PaintHeader(HDC dc) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t text[64] = L"";
  GetDateFormatW(LOCALE_INVARIANT, 0, &now, L"dddd, MMMM d, yyyy", text, 64);
  RECT textRect = {6, 0, TODAY_WIDTH, TODAY_HEADER_HEIGHT};
  SetBkMode(dc, TRANSPARENT);  // the last thing painted: nothing to restore
  SetTextColor(dc, RGB(255, 255, 255));
  PaintBackground(dc, 0, 0, headerBand);
  DrawTextW(dc, text, -1, &textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

// Paints the Today background for the item: the rectangle is in the item's
// client coordinates, so it is shifted by the item's place in the Today window.
void DrawWatermark(const TODAYDRAWWATERMARKINFO* info) {
  if (!info || !info->hdc)
    return;
  RECT area = info->rc;
  if (info->hwnd)
    MapWindowPoints(info->hwnd, TodayShell.today, (POINT*)&area, 2);
  PaintBackground(info->hdc, info->rc.left, info->rc.top, area);
}

LRESULT CALLBACK CountingItemProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT)
    ++TodayShell.itemPaints;
  return CallWindowProcW(TodayShell.itemWindowProc, window, message, wParam, lParam);
}

// The items from `from` on go below the ones above them, and are repainted.
void LayOut(size_t from) {
  int y = TODAY_HEADER_HEIGHT;
  for (size_t i = 0; i < TodayShell.items.size(); y += (int)TodayShell.items[i++].item.cyp) {
    HWND window = TodayShell.items[i].item.hwndCustom;
    if (i >= from) {
      SetWindowPos(window, nullptr, 0, y, TODAY_WIDTH, (int)TodayShell.items[i].item.cyp,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      InvalidateRect(window, nullptr, TRUE);
    }
  }
}

void Query(size_t index) {
  TodayItem& t = TodayShell.items[index];
  if (SendMessageW(t.item.hwndCustom, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&t.item, 0)) {
    LayOut(index);
    TodayShell.trueAnswers += index == 0;
  }
}

// Loads one item below the ones loaded, or says why not.
std::wstring LoadTodayItem(const TodayListEntry& entry) {
  HMODULE module = LoadLibraryW(entry.dll.c_str());
  if (!module) {
    DWORD why = GetLastError();
    return L"cannot load the item library " + entry.shown +
           (why == ERROR_BAD_EXE_FORMAT ? L": it is not a library for this host" : L"") +
           L" (error " + std::to_wstring(why) + L")";
  }
  auto init = (PFNCUSTOMINITIALIZEITEM)(void*)GetProcAddress(
      module, MAKEINTRESOURCEA(ORDINAL_INITIALIZEITEM));
  auto options = (PFNCUSTOMOPTIONSDLGPROC)(void*)GetProcAddress(
      module, MAKEINTRESOURCEA(ORDINAL_OPTIONSDIALOGPROC));
  TodayItem t = {module, entry.item};
  t.item.hinstDLL = module;
  if (entry.key.empty())
    t.item.fOptions = options != nullptr;  // no list says otherwise
  t.item.hwndCustom = init ? init(&t.item, TodayShell.today) : nullptr;
  if (!t.item.hwndCustom) {
    FreeLibrary(module);
    return init ? L"the item created no window" : entry.shown + L" has no export ordinal 240";
  }
  if (TodayShell.items.empty()) {
    TodayShell.itemWindow = t.item.hwndCustom;
    TodayShell.optionsDialogProc = options;
    TodayShell.itemWindowProc =
        (WNDPROC)SetWindowLongPtrW(t.item.hwndCustom, GWLP_WNDPROC, (LONG_PTR)CountingItemProc);
  }
  TodayShell.items.push_back(t);
  Query(TodayShell.items.size() - 1);  // the shell asks at once
  return L"";
}

void SuspendAndResume() {
  KillTimer(TodayShell.today, refreshTimer);
  if (FireWakeupAndWait(30000) < 0)
    fprintf(stderr, "TodayHost: a wake-up program did not finish in 30 s\n");
  SetTimer(TodayShell.today, refreshTimer, TodayShell.intervalMs, nullptr);
}

const struct {
  WPARAM key;
  const wchar_t* label;
  void (*run)();
} commands[] = {
    {'O', L"&Options...\tO", [] { ShowItemOptions(); }},
    {'S', L"&Suspend and resume\tS", SuspendAndResume},
    {'R', L"&Refresh query\tR", QueryTodayItems},
    {VK_ESCAPE, L"E&xit\tEsc", [] { DestroyWindow(TodayShell.today); }},
};
const UINT firstCommand = 100;

// At a right click's screen point; `at` is -1 from the keyboard.
void ShowMenu(LPARAM at) {
  bool keys = (DWORD)at == 0xFFFFFFFF;
  HMENU menu = CreatePopupMenu();
  for (UINT i = 0; i < ARRAYSIZE(commands); ++i) {
    if (commands[i].key == VK_ESCAPE)
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, firstCommand + i, commands[i].label);
  }
  TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN, keys ? 40 : (short)LOWORD(at),
                 keys ? 40 : (short)HIWORD(at), 0, TodayShell.today, nullptr);
  DestroyMenu(menu);
}

LRESULT CALLBACK TodayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case TODAYM_GETCOLOR:
      return wParam == TODAYCOLOR_TEXT              ? TodayShell.textColor
             : wParam == TODAYCOLOR_HIGHLIGHT       ? headerColor
             : wParam == TODAYCOLOR_HIGHLIGHTEDTEXT ? RGB(255, 255, 255)
                                                    : 0;
    case TODAYM_DRAWWATERMARK:
      DrawWatermark((const TODAYDRAWWATERMARKINFO*)lParam);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      PaintBackground(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint);
      PaintHeader(dc);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_TIMER:  // refreshTimer, its only one
      QueryTodayItems();
      InvalidateTodayHeader();
      return 0;
    case WM_CONTEXTMENU:  // DefWindowProcW sends it for a right click
      if (TodayShell.interactive)
        ShowMenu(lParam);
      return 0;
    case WM_COMMAND:
    case WM_KEYDOWN:
      if (message == WM_KEYDOWN && !TodayShell.interactive)
        break;
      for (UINT i = 0; i < ARRAYSIZE(commands); ++i) {
        if (message == WM_COMMAND ? LOWORD(wParam) == firstCommand + i : wParam == commands[i].key)
          commands[i].run();
      }
      return 0;
    case WM_DESTROY:
      KillTimer(window, refreshTimer);
      UnloadTodayItems();
      TodayShell.today = nullptr;
      if (TodayShell.interactive)
        PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

COLORREF TodayBackgroundAt(int, int y) {
  int den = TODAY_HEIGHT - TODAY_HEADER_HEIGHT - 1, num = std::min(y - TODAY_HEADER_HEIGHT, den);
  auto blend = [&](int shift) {
    int a = (gradientTop >> shift) & 0xFF, b = (gradientBottom >> shift) & 0xFF;
    return (BYTE)(a + (b - a) * num / den);
  };
  return y < TODAY_HEADER_HEIGHT ? headerColor : RGB(blend(0), blend(8), blend(16));
}

bool CreateTodayWindow(HINSTANCE instance, bool framed) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = TodayWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = TODAY_WINDOW_CLASS;
  RegisterClassW(&wc);
  DWORD style =
      WS_POPUP | WS_CLIPCHILDREN | (framed ? WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX : 0);
  DWORD exStyle = framed ? 0 : WS_EX_TOPMOST;  // nothing may cover the pictures taken of it
  RECT rc = {0, 0, TODAY_WIDTH, TODAY_HEIGHT};
  AdjustWindowRectEx(&rc, style, FALSE, exStyle);
  TodayShell.today =
      CreateWindowExW(exStyle, TODAY_WINDOW_CLASS, L"Today", style, rc.left, 0, rc.right - rc.left,
                      rc.bottom - rc.top, nullptr, nullptr, instance, nullptr);
  return TodayShell.today != nullptr;
}

void ShowToday() {
  ShowWindow(TodayShell.today, TodayShell.interactive ? SW_SHOW : SW_SHOWNOACTIVATE);
  UpdateWindow(TodayShell.today);
  if (TodayShell.interactive)
    SetTimer(TodayShell.today, refreshTimer, TodayShell.intervalMs, nullptr);
}

void DestroyTodayWindow() {
  if (TodayShell.today)
    DestroyWindow(TodayShell.today);
}

void LoadTodayItems(const std::vector<TodayListEntry>& entries,
                    std::vector<std::wstring>* leftOut) {
  for (const TodayListEntry& entry : entries) {
    std::wstring why = LoadTodayItem(entry);
    if (!why.empty())
      leftOut->push_back(entry.key.empty() ? why : entry.key + L": " + why);
  }
}

void UnloadTodayItems() {
  for (; !TodayShell.items.empty(); TodayShell.items.pop_back()) {
    TodayItem& t = TodayShell.items.back();
    if (IsWindow(t.item.hwndCustom)) {
      SendMessageW(t.item.hwndCustom, WM_TODAYCUSTOM_CLEARCACHE, (WPARAM)&t.item, 0);
      DestroyWindow(t.item.hwndCustom);
    }
    FreeLibrary(t.module);
  }
  TodayShell.itemWindow = nullptr;
}

void QueryTodayItems() {
  for (size_t i = 0; i < TodayShell.items.size(); ++i)
    Query(i);
}

INT_PTR ShowItemOptions() {
  if (TodayShell.items.empty() || !TodayShell.optionsDialogProc)
    return -1;
  return DialogBoxParamW(TodayShell.items[0].module, MAKEINTRESOURCEW(500), TodayShell.today,
                         (DLGPROC)TodayShell.optionsDialogProc, 0);
}

void InvalidateTodayHeader() {
  if (TodayShell.today)
    InvalidateRect(TodayShell.today, &headerBand, FALSE);
}

int FireWakeupAndWait(DWORD timeoutMs) {
  HANDLE processes[16];
  int started = FireWakeupEvent(processes, 16);
  int kept = started < 16 ? started : 16;
  bool allEnded = WaitUntil(timeoutMs, [&] {
    return kept == 0 || WaitForMultipleObjects(kept, processes, TRUE, 0) == WAIT_OBJECT_0;
  });
  for (int i = 0; i < kept; ++i)
    CloseHandle(processes[i]);
  PumpMessages();
  return allEnded ? started : -1;
}
