// Measures the item's costs against bare baselines taken in the same run,
// and prints one table row per figure:
//   paint cost, refresh-query cost, idle repaints per simulated hour,
//   wake-up notice latency, and the stand-in's own shortcuts (bitmap loads,
//   keyed copies, setting up the common controls) against the desktop's calls.
// Binary sizes and the test suite's time are added by scripts/bench.sh.
#define CE_PLATFORM_IMPLEMENTATION  // the desktop's calls, for the baselines
#include <stdio.h>

#include "CeApi.h"
#include "DashboardContract.h"
#include "Messages.h"
#include "SimulatedDevice.h"
#include "TodayShell.h"

namespace {

const UINT kRedraw = WM_DASHBOARD_REDRAW;
const UINT kWakeup = WM_DASHBOARD_WAKEUP;
const UINT kDialId = 109;  // IDB_DIAL of the item's resources

HWND itemWindow;
WNDPROC itemProc;
LARGE_INTEGER wakeupHandledAt;
bool wakeupHandled;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER freq;
  QueryPerformanceFrequency(&freq);
  return double(to.QuadPart - from.QuadPart) / double(freq.QuadPart);
}

LARGE_INTEGER Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t;
}

// Notes when the item has handled a wake-up notice.
LRESULT CALLBACK WakeupNotingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = CallWindowProcW(itemProc, hwnd, msg, wp, lp);
  if (msg == kWakeup) {
    wakeupHandledAt = Now();
    wakeupHandled = true;
  }
  return result;
}

// The item in the host's Today shell, as TodayHost.exe shows it.
bool LoadItem(const wchar_t* dllPath) {
  std::vector<std::wstring> leftOut;
  if (!CreateTodayWindow(GetModuleHandleW(nullptr), false))
    return false;
  ShowToday();  // visible, so that a redraw really reaches WM_PAINT
  LoadTodayItems({EntryForLibrary(dllPath, dllPath)}, &leftOut);
  itemWindow = TodayShell.itemWindow;
  if (!itemWindow)
    return false;
  itemProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(itemWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WakeupNotingProc)));
  PumpMessages();
  return true;
}

// The bare cost of any double-buffered paint of the strip.
void BaselinePaint() {
  AutoReleaseDC dc(itemWindow);
  ScopedGdiObj<HBITMAP> bmp(CreateCompatibleBitmap(dc, 240, 42));
  AutoDeleteDC mem(CreateCompatibleDC(dc));
  ScopedSelectObject selected(mem, bmp);
  BitBlt(dc, 0, 0, 240, 42, mem, 0, 0, SRCCOPY);
}

template <typename F>
double MeanMicroseconds(int count, F body) {
  for (int i = 0; i < count / 10; i++)
    body();  // warm-up
  LARGE_INTEGER start = Now();
  for (int i = 0; i < count; i++)
    body();
  return Seconds(start, Now()) * 1e6 / count;
}

void Tap(int x) {
  SendMessageW(itemWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 20));
  SendMessageW(itemWindow, WM_LBUTTONUP, 0, MAKELPARAM(x, 20));
}

// Paints over one simulated hour of refresh queries every 2 s.
long IdlePaintsPerHour() {
  TodayShell.itemPaints = 0;
  for (int i = 0; i < 1800; i++) {
    SimAdvanceClock(2000);
    QueryTodayItems();
    PumpMessages();
  }
  return TodayShell.itemPaints;
}

// Starts a program as the device does (the command line holds the argument
// alone) and waits, pumping this thread's messages, until `done` says so.
template <typename Done>
double StartAndWait(const wchar_t* path, const wchar_t* argument, Done done) {
  wchar_t cmd[MAX_PATH];
  lstrcpynW(cmd, argument, MAX_PATH);
  PROCESS_INFORMATION pi = {};
  LARGE_INTEGER start = Now();
  if (!CeCreateProcessW(path, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi)) {
    return -1;
  }
  AutoCloseHandle thread(pi.hThread), process(pi.hProcess);
  LARGE_INTEGER end = {};
  HANDLE waitFor = process;
  while (!done(waitFor, &end)) {
    MsgWaitForMultipleObjects(1, &waitFor, FALSE, 50, QS_ALLINPUT);
    PumpMessages();
  }
  WaitForSingleObject(process, 10000);
  return Seconds(start, end) * 1e3;
}

void Row(const char* what, double value, const char* unit, double baseline, const char* target) {
  printf("| %-38s | %12.2f %-3s | %12.2f %-3s | %7.2fx | %-12s |\n", what, value, unit, baseline,
         unit, baseline > 0 ? value / baseline : 0.0, target);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  wchar_t dir[MAX_PATH];
  GetModuleFileNameW(nullptr, dir, MAX_PATH);
  *wcsrchr(dir, L'\\') = 0;
  wchar_t dllPath[MAX_PATH], aboutPath[MAX_PATH], nothingPath[MAX_PATH], findPath[MAX_PATH];
  _snwprintf(dllPath, MAX_PATH, L"%ls\\Quorvane.dll", dir);
  _snwprintf(aboutPath, MAX_PATH, L"%ls\\AboutDashboard.exe", dir);
  _snwprintf(nothingPath, MAX_PATH, L"%ls\\DoNothing.exe", dir);
  _snwprintf(findPath, MAX_PATH, L"%ls\\FindWindowOnly.exe", dir);
  int paintCount = argc > 1 ? _wtoi(argv[1]) : 2000;

  SimResetDevice();
  SimSetPower(AC_LINE_OFFLINE, 80, 7200, 3900);
  SimSetProgramMemory(32ull << 20, 12ull << 20);
  SimSetStore(16u << 20, 8u << 20);
  if (!LoadItem(dllPath)) {
    fprintf(stderr, "bench: cannot load %ls\n", dllPath);
    return 1;
  }

  printf("| %-38s | %16s | %16s | %8s | %-12s |\n", "figure", "measured", "baseline", "ratio",
         "target");
  printf("|%s|%s|%s|%s|%s|\n", "----------------------------------------", "------------------",
         "------------------", "----------", "--------------");

  double baseline = MeanMicroseconds(paintCount, BaselinePaint);
  double paint = MeanMicroseconds(paintCount, [] { SendMessageW(itemWindow, kRedraw, 0, 0); });
  Row("paint (WM_DASHBOARD_REDRAW), clock", paint, "us", baseline, "<= 8x");

  PumpMessages();
  double query = MeanMicroseconds(paintCount, [] {
    QueryTodayItems();
    PumpMessages();
  });
  Row("refresh query, nothing changed", query, "us", baseline, "-");

  // The storage slot shows the clock at load (no card is selected).
  long clockPaints = IdlePaintsPerHour();
  Row("idle paints/hour, clock shown", clockPaints, "", 1800, "60");

  SimAddCard(L"Storage Card", 64ull << 20, 16ull << 20);
  Tap(120);  // the first tap after load goes to the clock...
  Tap(120);  // ...the second to card 1
  PumpMessages();
  long cardPaints = IdlePaintsPerHour();
  Row("idle paints/hour, card shown", cardPaints, "", 1800, "0");
  double cardPaint = MeanMicroseconds(paintCount, [] { SendMessageW(itemWindow, kRedraw, 0, 0); });
  Row("paint (WM_DASHBOARD_REDRAW), card", cardPaint, "us", baseline, "<= 8x");

  const int starts = 20;
  double wake = 0, nothing = 0, findOnly = 0;
  auto untilExit = [](HANDLE process, LARGE_INTEGER* end) {
    if (WaitForSingleObject(process, 0) != WAIT_OBJECT_0)
      return false;
    *end = Now();
    return true;
  };
  for (int i = 0; i < starts; i++) {
    wakeupHandled = false;
    // A program that ends without a notice is counted to its end.
    wake += StartAndWait(aboutPath, APP_RUN_AFTER_WAKEUP, [&](HANDLE process, LARGE_INTEGER* end) {
      if (wakeupHandled) {
        *end = wakeupHandledAt;
        return true;
      }
      return untilExit(process, end);
    });
    nothing += StartAndWait(nothingPath, APP_RUN_AFTER_WAKEUP, untilExit);
    findOnly += StartAndWait(findPath, APP_RUN_AFTER_WAKEUP, untilExit);
    PumpMessages();
  }
  Row("wake-up notice latency", wake / starts, "ms", nothing / starts, "<= 1.3x");
  Row("  against a FindWindowW-only program", wake / starts, "ms", findOnly / starts, "-");
  if (!wakeupHandled)
    printf("note: the item did not receive the last wake-up notice\n");

  // The stand-in's shortcuts against the desktop calls they replace.
  HINSTANCE dll = TodayShell.items[0].module;
  double ceLoad = MeanMicroseconds(paintCount, [dll] {
    ScopedGdiObj<HBITMAP> dial(CeLoadBitmapW(dll, MAKEINTRESOURCEW(kDialId)));
  });
  double desktopLoad = MeanMicroseconds(paintCount, [dll] {
    ScopedGdiObj<HBITMAP> dial(LoadBitmapW(dll, MAKEINTRESOURCEW(kDialId)));
  });
  Row("dial bitmap load, CeLoadBitmapW", ceLoad, "us", desktopLoad, "-");
  {
    AutoReleaseDC screen(itemWindow);
    ScopedGdiObj<HBITMAP> target(CreateCompatibleBitmap(screen, 240, 42));
    AutoDeleteDC dst(CreateCompatibleDC(screen));
    ScopedSelectObject targetSelected(dst, target);
    ScopedGdiObj<HBITMAP> dial(CeLoadBitmapW(dll, MAKEINTRESOURCEW(kDialId)));
    AutoDeleteDC src(CreateCompatibleDC(screen));
    ScopedSelectObject dialSelected(src, dial);
    HDC d = dst, s = src;
    double keyed = MeanMicroseconds(paintCount, [d, s] {
      CeTransparentImage(d, 35, 3, 35, 20, s, 0, 0, 35, 20, RGB(128, 128, 0));
    });
    double blt = MeanMicroseconds(paintCount, [d, s] {
      TransparentBlt(d, 35, 3, 35, 20, s, 0, 0, 35, 20, RGB(128, 128, 0));
    });
    Row("keyed dial copy, CeTransparentImage", keyed, "us", blt, "-");
  }
  // Loading comctl32 registers all its classes: what the wake-up path saves
  // by setting the common controls up only before the first dialog.
  if (!GetModuleHandleW(L"comctl32.dll")) {
    LARGE_INTEGER start = Now();
    SetUpCommonControls();
    Row("common controls set up, first time", Seconds(start, Now()) * 1e3, "ms", nothing / starts,
        "-");
  }
  return 0;
}
