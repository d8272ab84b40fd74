// Long runs in one process: many paints and taps must leave the strip's pixels
// and the process's GDI handle headroom exactly as they were.
//
// The headroom is counted to the single object, so one object leaked per paint,
// tap or dialog shows as a drop of at least the run's count. The default run is
// sized to pass every paint path (both battery labels, clock and card, each
// tap zone) a few hundred times, which catches such a leak and also one that
// happens only on some of the paths or every few calls, in a few seconds.
// scripts/soak.sh runs the long counts (100,000 / 10,000 / 1,000).
#include <gtest/gtest.h>
#include <stdio.h>

#include "SimulatedDevice.h"
#include "StripHost.h"
#if HARDENING_ABOUT_DIALOG
#include "AboutProgram.h"
#endif

namespace {

using namespace hardening;

// Zones that never start the About program.
const Slot kTapZones[] = {{35, 70}, {105, 140}, {175, 210}};

TEST(Soak, PaintsAndTapsLeaveTheStripAndTheGdiHeadroomAsTheyWere) {
  long paints = CountFromEnvironment("QUORVANE_SOAK_PAINTS", 3000);
  // Zones in turn, each an even number of times: every mode comes back at the end.
  long taps = CountFromEnvironment("QUORVANE_SOAK_TAPS", 300) / 6 * 6;

  SimResetDevice();  // clock frozen: the clock face cannot move under the run
  SimSetPower(AC_LINE_OFFLINE, 80, 7380, 3900);
  SimSetStore(16u << 20, 8u << 20);
  SimSetProgramMemory(32ull << 20, 12ull << 20);
  SimAddCard(L"Storage Card", 64ull << 20, 16ull << 20);

  StripHost host;
  ASSERT_TRUE(host.Load()) << host.error;
  // Into the storage cycle (the first tap after load goes to the clock), and
  // once round every mode so that lazily made objects exist before counting.
  host.Tap(120);
  for (const Slot& zone : kTapZones) {
    host.Tap(zone.left);
    host.Tap(zone.right - 1);
  }
  Strip reference = host.PaintAndCapture();
  ASSERT_GT(reference.LabelInk(kBatterySlot), 0) << "the item painted no label";
  int headroom = GdiHeadroom();
  ASSERT_GT(headroom, 1000);

  long paintsPerTap = taps && paints >= taps ? paints / taps : 1;
  ULONGLONG start = GetTickCount64();
  for (long i = 0, tapped = 0; i < paints || tapped < taps; i++) {
    if (i < paints) host.Paint();
    if (tapped < taps && (i % paintsPerTap == 0 || i >= paints)) {
      const Slot& zone = kTapZones[tapped % 3];
      host.Tap(zone.left + int(tapped * 7 % 35), int(tapped % kStripHeight));
      tapped++;
    }
    if (i % 1024 == 0) PumpMessages();
  }
  double seconds = double(GetTickCount64() - start) / 1000.0;
  printf("soak: %ld paints and %ld taps in %.1f s (%.0f us per paint or tap)\n", paints, taps,
         seconds, paints + taps ? seconds * 1e6 / double(paints + taps) : 0.0);
  PumpMessages();

  Strip after = host.PaintAndCapture();
  EXPECT_TRUE(after == reference) << after.Differences(reference) << " pixels differ";
  EXPECT_EQ(headroom, GdiHeadroom()) << "GDI objects left behind (or freed twice)";
}

#if HARDENING_ABOUT_DIALOG
// Drives the About program's own modal path (RunAboutDialog) from this
// process: once the dialog shows, a message filter paints it and its controls
// synchronously, may copy its client area, and sends it the OK command.
struct DialogRun {
  bool closed;
  bool capture;
  std::vector<DWORD> pixels;
  int closedByTimer;
} run;

HWND ShownAboutDialog(HWND any) {
  HWND root = any ? GetAncestor(any, GA_ROOT) : nullptr;
  return root && IsWindowVisible(root) && IsAboutDialog(root) ? root : nullptr;
}

LRESULT CALLBACK CloseWhenShown(int code, WPARAM wp, LPARAM lp) {
  const MSG* msg = reinterpret_cast<const MSG*>(lp);
  HWND dialog = code == MSGF_DIALOGBOX && !run.closed ? ShownAboutDialog(msg->hwnd) : nullptr;
  if (dialog) {
    run.closed = true;
    RedrawWindow(dialog, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    if (run.capture) run.pixels = CopyClientArea(dialog);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

// Only if the filter never sees the dialog: ends the run instead of hanging.
void CALLBACK CloseStuckDialog(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = FindWindowW(L"#32770", L"About Quorvane");
  if (!run.closed && dialog) {
    run.closed = true;
    run.closedByTimer++;
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  }
}

bool OpenAndCloseAboutDialog(bool capture) {
  run.closed = false;
  run.capture = capture;
  UINT_PTR timer = SetTimer(nullptr, 0, 30000, CloseStuckDialog);
  bool ran = RunAboutDialog(GetModuleHandleW(nullptr));
  KillTimer(nullptr, timer);
  return ran && run.closed;
}

TEST(Soak, AboutDialogOpenedAndClosedLeavesItsPicturesAndTheGdiHeadroomAsTheyWere) {
  long openings = CountFromEnvironment("QUORVANE_SOAK_DIALOGS", 30);
  SimResetDevice();
  SimAddCard(L"Storage Card", 64ull << 20, 16ull << 20);
  SimAddCard(L"Second Card", 1ull << 30, 700ull << 20);
  ASSERT_EQ(nullptr, FindWindowW(L"#32770", L"About Quorvane")) << "another About dialog is open";
  HHOOK hook = SetWindowsHookExW(WH_MSGFILTER, CloseWhenShown, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);

  ASSERT_TRUE(OpenAndCloseAboutDialog(false));  // lazily made objects exist from here on
  ASSERT_TRUE(OpenAndCloseAboutDialog(true));
  std::vector<DWORD> reference = run.pixels;
  ASSERT_FALSE(reference.empty());
  int headroom = GdiHeadroom();

  ULONGLONG start = GetTickCount64();
  long ran = 0;
  for (long i = 0; i < openings; i++) ran += OpenAndCloseAboutDialog(i == openings - 1);
  double seconds = double(GetTickCount64() - start) / 1000.0;
  printf("soak: %ld About dialogs opened and closed in %.1f s (%.1f ms each)\n", openings,
         seconds, openings ? seconds * 1e3 / double(openings) : 0.0);
  UnhookWindowsHookEx(hook);
  PumpMessages();

  EXPECT_EQ(openings, ran);
  EXPECT_EQ(0, run.closedByTimer) << "the dialog was not seen by its message filter";
  EXPECT_TRUE(run.pixels == reference) << "the last dialog looks different from the first";
  EXPECT_EQ(headroom, GdiHeadroom()) << "GDI objects left behind (or freed twice)";
}
#endif

}  // namespace
