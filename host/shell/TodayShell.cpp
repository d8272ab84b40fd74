// The Today window and the shell's side of the item protocol.
#include "TodayShell.h"

#include <stdio.h>

#include "Picture.h"
#include "CeApi.h"  // the device's local time for the header
#include "WakeupEvent.h"

TodayShellRecord TodayShell;

namespace {

const wchar_t todayClass[] = TODAY_WINDOW_CLASS;
const UINT_PTR refreshTimer = 1;

enum MenuCommand { CmdOptions = 100, CmdSuspendResume, CmdRefresh, CmdExit };

// Background: a vertical gradient from a light blue under the header to white,
// with a dark blue header band.
const COLORREF gradientTop = RGB(0xB4, 0xCC, 0xEE);
const COLORREF gradientBottom = RGB(0xFF, 0xFF, 0xFF);
const COLORREF headerColor = RGB(0x1E, 0x46, 0x8C);

BYTE Blend(BYTE a, BYTE b, int num, int den) { return (BYTE)(a + (b - a) * num / den); }

// The whole background, made once: a DIB section in a memory DC. Members go
// in reverse: the DC (the bitmap still selected), then the bitmap.
struct BackgroundCache {
  ScopedGdiObj<HBITMAP> bitmap;
  AutoDeleteDC dc;
};
BackgroundCache background;

bool MakeBackground() {
  if (background.dc.IsValid()) return true;
  BITMAPINFO bi = TopDown32BitInfo(TODAY_WIDTH, TODAY_HEIGHT);
  void* bits = nullptr;
  background.bitmap.Reset(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!background.bitmap.IsValid()) return false;
  background.dc.Reset(CreateCompatibleDC(nullptr));
  if (!background.dc.IsValid()) {
    background.bitmap.Reset(nullptr);
    return false;
  }
  DWORD* pixels = (DWORD*)bits;
  for (int y = 0; y < TODAY_HEIGHT; ++y) {
    for (int x = 0; x < TODAY_WIDTH; ++x) {
      COLORREF c = TodayBackgroundAt(x, y);
      pixels[y * TODAY_WIDTH + x] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    }
  }
  SelectObject(background.dc, background.bitmap);
  return true;
}

void FreeBackground() {
  background.dc.Reset(nullptr);
  background.bitmap.Reset(nullptr);
}

// Paints the background of a rectangle of the Today window's client area
// into `dc` at (destX, destY), one exact pixel per point.
void PaintBackground(HDC dc, int destX, int destY, const RECT& area) {
  int w = area.right - area.left, h = area.bottom - area.top;
  if (w <= 0 || h <= 0 || !MakeBackground()) return;
  BitBlt(dc, destX, destY, w, h, background.dc, area.left, area.top, SRCCOPY);
}

void PaintHeader(HDC dc) {
  static const wchar_t* days[] = {L"Sunday", L"Monday", L"Tuesday", L"Wednesday",
                                  L"Thursday", L"Friday", L"Saturday"};
  static const wchar_t* months[] = {L"January", L"February", L"March", L"April",
                                    L"May", L"June", L"July", L"August",
                                    L"September", L"October", L"November", L"December"};
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t text[64];
  _snwprintf(text, 63, L"%ls, %ls %d, %d", days[now.wDayOfWeek % 7],
             months[(now.wMonth + 11) % 12], now.wDay, now.wYear);
  text[63] = 0;
  RECT band = {0, 0, TODAY_WIDTH, TODAY_HEADER_HEIGHT};
  RECT textRect = {6, 0, TODAY_WIDTH, TODAY_HEADER_HEIGHT};
  int oldMode = SetBkMode(dc, TRANSPARENT);
  COLORREF oldColor = SetTextColor(dc, RGB(255, 255, 255));
  PaintBackground(dc, 0, 0, band);
  DrawTextW(dc, text, -1, &textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
}

// Paints the Today background for the item: the rectangle is in the item's
// client coordinates, so it is shifted by the item's place in the Today window.
void DrawWatermark(const TODAYDRAWWATERMARKINFO* info) {
  if (!info || !info->hdc) return;
  POINT origin = {0, 0};
  if (info->hwnd) MapWindowPoints(info->hwnd, TodayShell.today, &origin, 1);
  RECT area = info->rc;
  OffsetRect(&area, origin.x, origin.y);
  PaintBackground(info->hdc, info->rc.left, info->rc.top, area);
}

// The further items from `from` on go below the ones above them; a window
// whose place or height changes is repainted.
void LayOutFurther(int from, bool repaintFrom) {
  int y = TODAY_HEADER_HEIGHT + (TodayShell.itemWindow ? (int)TodayShell.item.cyp : 0);
  for (int i = 0; i < TodayShell.furtherCount; ++i) {
    TodayFurtherItem& f = TodayShell.further[i];
    if (i >= from) {
      RECT rc;
      GetWindowRect(f.window, &rc);
      MapWindowPoints(nullptr, TodayShell.today, (POINT*)&rc, 2);
      bool moved = rc.top != y || rc.bottom - rc.top != (int)f.item.cyp;
      SetWindowPos(f.window, nullptr, 0, y, TODAY_WIDTH, (int)f.item.cyp,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      if (moved || (repaintFrom && i == from)) InvalidateRect(f.window, nullptr, TRUE);
    }
    y += (int)f.item.cyp;
  }
}

void LayOutItem() {
  if (!TodayShell.itemWindow) return;
  SetWindowPos(TodayShell.itemWindow, nullptr, 0, TODAY_HEADER_HEIGHT, TODAY_WIDTH,
               (int)TodayShell.item.cyp, SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(TodayShell.itemWindow, nullptr, TRUE);
  ++TodayShell.layouts;
  LayOutFurther(0, false);
}

// The shell's question to a further item; TRUE lays it out.
void QueryFurtherItem(int index) {
  TodayFurtherItem& f = TodayShell.further[index];
  if (SendMessageW(f.window, WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&f.item, 0)) {
    LayOutFurther(index, true);
  }
}

// Ordinal 240 of a loaded library, and the item's window it creates from `item`.
HWND InitializeItem(HMODULE module, const wchar_t* dllPath, TODAYLISTITEM* item, wchar_t* error,
                    int errorSize) {
  auto init = (PFNCUSTOMINITIALIZEITEM)(void*)GetProcAddress(
      module, MAKEINTRESOURCEA(ORDINAL_INITIALIZEITEM));
  HWND window = init ? init(item, TodayShell.today) : nullptr;
  if (!window) {
    _snwprintf(error, errorSize - 1,
               init ? L"the item created no window" : L"%ls has no export ordinal 240", dllPath);
    error[errorSize - 1] = 0;
  }
  item->hwndCustom = window;
  return window;
}

LRESULT CALLBACK CountingItemProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) ++TodayShell.itemPaints;
  return CallWindowProcW(TodayShell.itemWindowProc, window, message, wParam, lParam);
}

void SuspendAndResume() {
  KillTimer(TodayShell.today, refreshTimer);
  int started = FireWakeupAndWait(30000);
  if (started < 0) fprintf(stderr, "TodayHost: a wake-up program did not finish in 30 s\n");
  SetTimer(TodayShell.today, refreshTimer, TodayShell.intervalMs, nullptr);
}

void ShowMenu(int x, int y) {
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, CmdOptions, L"&Options...\tO");
  AppendMenuW(menu, MF_STRING, CmdSuspendResume, L"&Suspend and resume\tS");
  AppendMenuW(menu, MF_STRING, CmdRefresh, L"&Refresh query\tR");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, CmdExit, L"E&xit\tEsc");
  TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN, x, y, 0, TodayShell.today, nullptr);
  DestroyMenu(menu);
}

void RunCommand(int command) {
  switch (command) {
    case CmdOptions: ShowItemOptions(); break;
    case CmdSuspendResume: SuspendAndResume(); break;
    case CmdRefresh: QueryTodayItem(); break;
    case CmdExit: DestroyWindow(TodayShell.today); break;
  }
}

LRESULT CALLBACK TodayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case TODAYM_GETCOLOR:
      if (wParam == TODAYCOLOR_TEXT) return TodayShell.textColor;
      if (wParam == TODAYCOLOR_HIGHLIGHT) return RGB(0x1E, 0x46, 0x8C);
      if (wParam == TODAYCOLOR_HIGHLIGHTEDTEXT) return RGB(255, 255, 255);
      return 0;
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
    case WM_TIMER:
      if (wParam == refreshTimer) {
        QueryTodayItem();
        InvalidateTodayHeader();
      }
      return 0;
    case WM_CONTEXTMENU:
      if (TodayShell.interactive) {
        int x = (short)LOWORD(lParam), y = (short)HIWORD(lParam);
        if (x == -1 && y == -1) x = y = 40;
        ShowMenu(x, y);
      }
      return 0;
    case WM_RBUTTONUP: {
      POINT pt = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
      ClientToScreen(window, &pt);
      SendMessageW(window, WM_CONTEXTMENU, (WPARAM)window, MAKELPARAM(pt.x, pt.y));
      return 0;
    }
    case WM_COMMAND:
      RunCommand(LOWORD(wParam));
      return 0;
    case WM_KEYDOWN:
      if (!TodayShell.interactive) break;
      if (wParam == 'O') RunCommand(CmdOptions);
      else if (wParam == 'S') RunCommand(CmdSuspendResume);
      else if (wParam == 'R') RunCommand(CmdRefresh);
      else if (wParam == VK_ESCAPE) RunCommand(CmdExit);
      return 0;
    case WM_DESTROY:
      KillTimer(window, refreshTimer);
      UnloadTodayItem();
      TodayShell.today = nullptr;
      if (TodayShell.interactive) PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

COLORREF TodayBackgroundAt(int x, int y) {
  (void)x;
  if (y < TODAY_HEADER_HEIGHT) return headerColor;
  int num = y - TODAY_HEADER_HEIGHT, den = TODAY_HEIGHT - TODAY_HEADER_HEIGHT - 1;
  if (num > den) num = den;
  return RGB(Blend(GetRValue(gradientTop), GetRValue(gradientBottom), num, den),
             Blend(GetGValue(gradientTop), GetGValue(gradientBottom), num, den),
             Blend(GetBValue(gradientTop), GetBValue(gradientBottom), num, den));
}

bool CreateTodayWindow(HINSTANCE instance, bool framed) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = TodayWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW);
  wc.lpszClassName = todayClass;
  RegisterClassW(&wc);

  DWORD style = WS_POPUP | WS_CLIPCHILDREN;
  DWORD exStyle = 0;
  if (framed) style |= WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  else exStyle |= WS_EX_TOPMOST;  // nothing may cover the pictures taken of it
  // The client area goes to screen x 0 (see TodayShell.h).
  RECT rc = {0, 0, TODAY_WIDTH, TODAY_HEIGHT};
  AdjustWindowRectEx(&rc, style, FALSE, exStyle);
  TodayShell.today = CreateWindowExW(exStyle, todayClass, L"Today", style, rc.left, 0,
                                     rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr,
                                     instance, nullptr);
  return TodayShell.today != nullptr;
}

void ShowToday() {
  ShowWindow(TodayShell.today, TodayShell.interactive ? SW_SHOW : SW_SHOWNOACTIVATE);
  UpdateWindow(TodayShell.today);
  if (TodayShell.interactive) {
    SetTimer(TodayShell.today, refreshTimer, TodayShell.intervalMs, nullptr);
  }
}

void DestroyTodayWindow() {
  if (TodayShell.today) DestroyWindow(TodayShell.today);
  FreeBackground();
}

// The item library at `dllPath`, or null with the reason in `error`.
static HMODULE LoadItemLibrary(const wchar_t* dllPath, wchar_t* error, int errorSize) {
  HMODULE module = LoadLibraryW(dllPath);
  if (!module) {
    DWORD why = GetLastError();
    _snwprintf(error, errorSize - 1, L"cannot load the item library %ls%ls (error %lu)", dllPath,
               why == ERROR_BAD_EXE_FORMAT ? L": it is not a library for this host" : L"", why);
    error[errorSize - 1] = 0;
  }
  return module;
}

bool LoadTodayItem(const wchar_t* dllPath, wchar_t* error, int errorSize,
                   const TODAYLISTITEM* listed) {
  HMODULE module = LoadItemLibrary(dllPath, error, errorSize);
  if (!module) return false;
  auto options = (PFNCUSTOMOPTIONSDLGPROC)(void*)GetProcAddress(
      module, MAKEINTRESOURCEA(ORDINAL_OPTIONSDIALOGPROC));
  TodayShell.itemModule = module;
  TodayShell.optionsDialogProc = options;

  TODAYLISTITEM& item = TodayShell.item;
  ZeroMemory(&item, sizeof item);
  lstrcpynW(item.szName, L"Quorvane", 32);
  item.tlit = tlitCustom;
  item.fEnabled = TRUE;
  item.fOptions = options != nullptr;
  lstrcpynW(item.szDLLPath, dllPath, MAX_PATH);
  if (listed) item = *listed;  // as the registry lists it
  item.hinstDLL = module;

  HWND window = InitializeItem(module, dllPath, &item, error, errorSize);
  if (!window) {
    FreeLibrary(module);
    TodayShell.itemModule = nullptr;
    return false;
  }
  TodayShell.itemWindow = window;
  TodayShell.itemWindowProc =
      (WNDPROC)SetWindowLongPtrW(window, GWLP_WNDPROC, (LONG_PTR)CountingItemProc);
  // The shell asks at once; the item's TRUE makes it lay the item out.
  QueryTodayItem();
  return true;
}

bool LoadFurtherTodayItem(const wchar_t* dllPath, const TODAYLISTITEM& listed, wchar_t* error,
                          int errorSize) {
  if (TodayShell.furtherCount == TODAY_MAX_FURTHER_ITEMS) {
    _snwprintf(error, errorSize - 1, L"more than %d items", TODAY_MAX_FURTHER_ITEMS + 1);
    error[errorSize - 1] = 0;
    return false;
  }
  TodayFurtherItem& f = TodayShell.further[TodayShell.furtherCount];
  f.module = LoadItemLibrary(dllPath, error, errorSize);
  if (!f.module) return false;
  f.item = listed;
  f.item.hinstDLL = f.module;
  f.window = InitializeItem(f.module, dllPath, &f.item, error, errorSize);
  if (!f.window) {
    FreeLibrary(f.module);
    return false;
  }
  QueryFurtherItem(TodayShell.furtherCount++);
  return true;
}

void UnloadTodayItem() {
  for (; TodayShell.furtherCount > 0; --TodayShell.furtherCount) {
    TodayFurtherItem& f = TodayShell.further[TodayShell.furtherCount - 1];
    if (IsWindow(f.window)) {
      SendMessageW(f.window, WM_TODAYCUSTOM_CLEARCACHE, (WPARAM)&f.item, 0);
      DestroyWindow(f.window);
    }
    FreeLibrary(f.module);
  }
  if (!TodayShell.itemModule) return;
  if (TodayShell.itemWindow && IsWindow(TodayShell.itemWindow)) {
    SendMessageW(TodayShell.itemWindow, WM_TODAYCUSTOM_CLEARCACHE, (WPARAM)&TodayShell.item, 0);
    DestroyWindow(TodayShell.itemWindow);
  }
  TodayShell.itemWindow = nullptr;
  FreeLibrary(TodayShell.itemModule);
  TodayShell.itemModule = nullptr;
}

BOOL QueryTodayItem() {
  if (!TodayShell.itemWindow) return FALSE;
  ++TodayShell.queries;
  BOOL changed = (BOOL)SendMessageW(TodayShell.itemWindow, WM_TODAYCUSTOM_QUERYREFRESHCACHE,
                                    (WPARAM)&TodayShell.item, 0);
  if (changed) {
    ++TodayShell.trueAnswers;
    LayOutItem();
  }
  for (int i = 0; i < TodayShell.furtherCount; ++i) QueryFurtherItem(i);
  return changed;
}

INT_PTR ShowItemOptions() {
  if (!TodayShell.itemModule || !TodayShell.optionsDialogProc) return -1;
  return DialogBoxParamW(TodayShell.itemModule, MAKEINTRESOURCEW(500), TodayShell.today,
                         (DLGPROC)TodayShell.optionsDialogProc, 0);
}

void InvalidateTodayHeader() {
  RECT band = {0, 0, TODAY_WIDTH, TODAY_HEADER_HEIGHT};
  if (TodayShell.today) InvalidateRect(TodayShell.today, &band, FALSE);
}

void PumpMessages() {
  MSG msg;
  for (int i = 0; i < 100000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD); ++i) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage((int)msg.wParam);
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Real time here (GetTickCount64 is not routed to the device's clock).
bool WaitPumping(HANDLE handle, DWORD timeoutMs) {
  ULONGLONG start = GetTickCount64();
  for (;;) {
    DWORD passed = (DWORD)(GetTickCount64() - start);
    // Asked once more at the deadline: a handle already signalled counts.
    DWORD left = passed < timeoutMs ? timeoutMs - passed : 0;
    DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) {
      PumpMessages();
      return true;
    }
    if (r != WAIT_OBJECT_0 + 1 || left == 0) return false;
    PumpMessages();
  }
}

void SleepPumping(DWORD ms) {
  ULONGLONG start = GetTickCount64();
  for (;;) {
    PumpMessages();
    DWORD passed = (DWORD)(GetTickCount64() - start);
    if (passed >= ms) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - passed, QS_ALLINPUT);
  }
}

int FireWakeupAndWait(DWORD timeoutMs) {
  HANDLE processes[16];
  int started = FireWakeupEvent(processes, 16);
  int kept = started < 16 ? started : 16;
  bool allEnded = true;
  ULONGLONG start = GetTickCount64();  // one deadline for all of them
  for (int i = 0; i < kept; ++i) {
    AutoCloseHandle process(processes[i]);
    ULONGLONG passed = GetTickCount64() - start;
    if (!WaitPumping(process, passed < timeoutMs ? timeoutMs - (DWORD)passed : 0)) {
      allEnded = false;
    }
  }
  PumpMessages();
  return allEnded ? started : -1;
}
