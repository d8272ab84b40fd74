// Measures the item's costs in the host's Today shell, each against a bare
// baseline taken in the same run, and prints one table row per figure (see
// docs/benchmarks.md); scripts/bench.sh adds the host's pace and the sizes.
#define CE_PLATFORM_IMPLEMENTATION  // the desktop's calls, for the baselines
#include <stdio.h>

#include <chrono>

#include "StripHost.h"  // the item hosted as the hardening tests host it

namespace {

const wchar_t* const kDial = MAKEINTRESOURCEW(109);  // IDB_DIAL of the item's resources

int calls = 2000;  // of each call measured, after a tenth as many to warm up
hardening::StripHost host;
WNDPROC itemProc;
double noticeHandledAt;  // 0 until the item has handled a wake-up notice

double Now() {  // in seconds
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

LRESULT CALLBACK NoticeNotingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = CallWindowProcW(itemProc, hwnd, msg, wp, lp);
  if (msg == WM_DASHBOARD_WAKEUP)
    noticeHandledAt = Now();
  return result;
}

// The bare cost of any double-buffered paint of the strip.
void BaselinePaint() {
  AutoReleaseDC dc(host.Item());
  ScopedGdiObj<HBITMAP> bmp(CreateCompatibleBitmap(dc, 240, 42));
  AutoDeleteDC mem(CreateCompatibleDC(dc));
  ScopedSelectObject selected(mem, bmp);
  BitBlt(dc, 0, 0, 240, 42, mem, 0, 0, SRCCOPY);
}

template <typename F>
double MeanMicroseconds(F body) {
  for (int i = 0; i < calls / 10; i++)
    body();
  double start = Now();
  for (int i = 0; i < calls; i++)
    body();
  return (Now() - start) * 1e6 / calls;
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

// Milliseconds from starting `program` as the device does after a resume to its end or, with
// `untilNotice`, to the item's handling of its wake-up notice if that comes first.
double StartMs(const std::wstring& program, bool untilNotice) {
  wchar_t cmd[] = APP_RUN_AFTER_WAKEUP;
  PROCESS_INFORMATION pi = {};
  noticeHandledAt = 0;
  double start = Now();
  if (!CeCreateProcessW(program.c_str(), cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                        &pi)) {
    fprintf(stderr, "bench: cannot start %ls\n", program.c_str());
    ExitProcess(1);
  }
  AutoCloseHandle thread(pi.hThread), process(pi.hProcess);
  HANDLE waitFor = process;
  while (!(untilNotice && noticeHandledAt) && WaitForSingleObject(process, 0) != WAIT_OBJECT_0) {
    MsgWaitForMultipleObjects(1, &waitFor, FALSE, 50, QS_ALLINPUT);
    PumpMessages();
  }
  double end = untilNotice && noticeHandledAt ? noticeHandledAt : Now();
  WaitForSingleObject(process, 10000);
  return (end - start) * 1e3;
}

void Row(const char* what, double value, const char* unit, double baseline, const char* target) {
  printf("| %-38s | %12.2f %-3s | %12.2f %-3s | %7.2fx | %-12s |\n", what, value, unit, baseline,
         unit, baseline > 0 ? value / baseline : 0.0, target);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  calls = argc > 1 ? _wtoi(argv[1]) : calls;

  hardening::SeedDevice(false);
  if (!host.Load()) {
    fprintf(stderr, "bench: cannot load %ls: %s\n", BesideTest(L"Quorvane.dll").c_str(),
            host.error.c_str());
    return 1;
  }
  itemProc = (WNDPROC)SetWindowLongPtrW(host.Item(), GWLP_WNDPROC, (LONG_PTR)NoticeNotingProc);
  printf("| %-38s | %16s | %16s | %8s | %-12s |\n", "figure", "measured", "baseline", "ratio",
         "target");
  printf("|%s|%s|%s|%s|%s|\n", "----------------------------------------", "------------------",
         "------------------", "----------", "--------------");

  const double baseline = MeanMicroseconds(BaselinePaint);
  Row("paint (WM_DASHBOARD_REDRAW), clock", MeanMicroseconds([] { host.Paint(); }), "us", baseline,
      "<= 8x");
  PumpMessages();
  double query = MeanMicroseconds([] {
    QueryTodayItems();
    PumpMessages();
  });
  Row("refresh query, nothing changed", query, "us", baseline, "-");
  // The storage slot shows the clock at load (no card is selected).
  Row("idle paints/hour, clock shown", IdlePaintsPerHour(), "", 1800, "60");
  SimAddCard(L"Storage Card", 64ull << 20, 16ull << 20);
  host.Tap(120);  // the first tap after load goes to the clock...
  host.Tap(120);  // ...the second to card 1
  PumpMessages();
  Row("idle paints/hour, card shown", IdlePaintsPerHour(), "", 1800, "0");
  Row("paint (WM_DASHBOARD_REDRAW), card", MeanMicroseconds([] { host.Paint(); }), "us", baseline,
      "<= 8x");

  const int starts = argc > 2 ? _wtoi(argv[2]) : 20;
  double wake = 0, nothing = 0, findOnly = 0;
  bool noticed = false;
  for (int i = 0; i < starts; i++) {
    // A program that ends without a notice is counted to its end.
    wake += StartMs(BesideTest(L"AboutDashboard.exe"), true);
    noticed = noticeHandledAt != 0;
    nothing += StartMs(BesideTest(L"DoNothing.exe"), false);
    findOnly += StartMs(BesideTest(L"FindWindowOnly.exe"), false);
    PumpMessages();
  }
  Row("wake-up notice latency", wake / starts, "ms", nothing / starts, "<= 1.3x");
  Row("  against a FindWindowW-only program", wake / starts, "ms", findOnly / starts, "-");
  if (!noticed)
    printf("note: the item did not receive the last wake-up notice\n");

  // The stand-in's shortcuts against the desktop calls they replace.
  HINSTANCE dll = TodayShell.items[0].module;
  double ceLoad = MeanMicroseconds([dll] { ScopedGdiObj<HBITMAP>(CeLoadBitmapW(dll, kDial)); });
  double desktopLoad = MeanMicroseconds([dll] { ScopedGdiObj<HBITMAP>(LoadBitmapW(dll, kDial)); });
  Row("dial bitmap load, CeLoadBitmapW", ceLoad, "us", desktopLoad, "-");
  {
    AutoReleaseDC screen(host.Item());
    AutoDeleteDC dst(CreateCompatibleDC(screen)), src(CreateCompatibleDC(screen));
    ScopedGdiObj<HBITMAP> target(CreateCompatibleBitmap(screen, 240, 42));
    ScopedGdiObj<HBITMAP> dial(CeLoadBitmapW(dll, kDial));
    ScopedSelectObject targetSelected(dst, target), dialSelected(src, dial);
    HDC d = dst, s = src;
    double keyed = MeanMicroseconds(
        [d, s] { CeTransparentImage(d, 35, 3, 35, 20, s, 0, 0, 35, 20, RGB(128, 128, 0)); });
    double blt = MeanMicroseconds(
        [d, s] { TransparentBlt(d, 35, 3, 35, 20, s, 0, 0, 35, 20, RGB(128, 128, 0)); });
    Row("keyed dial copy, CeTransparentImage", keyed, "us", blt, "-");
  }
  // Loading comctl32 registers all its classes: what the wake-up path saves
  // by setting the common controls up only before the first dialog.
  if (!GetModuleHandleW(L"comctl32.dll")) {
    double start = Now();
    SetUpCommonControls();
    Row("common controls set up, first time", (Now() - start) * 1e3, "ms", nothing / starts, "-");
  }
  return 0;
}
