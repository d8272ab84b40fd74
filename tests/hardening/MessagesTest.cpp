// Random input: a seeded stream of messages to the item window.
#include <gtest/gtest.h>
#include <stdio.h>

#include <random>
#include <string>

#include "SimulatedDevice.h"
#include "StripHost.h"

namespace {

using namespace hardening;

// Messages whose parameters are pointers by contract, and those that
// DefWindowProc turns into window destruction, a hidden window or a modal
// mouse or menu loop (which would wait for input that never comes).
bool Excluded(UINT msg) {
  static const UINT pointers[] = {
      WM_CREATE, WM_SETTEXT, WM_GETTEXT, WM_WININICHANGE, WM_DEVMODECHANGE, WM_GETMINMAXINFO,
      WM_DRAWITEM, WM_MEASUREITEM, WM_DELETEITEM, WM_COMPAREITEM, WM_WINDOWPOSCHANGING,
      WM_WINDOWPOSCHANGED, WM_COPYDATA, WM_NOTIFY, WM_HELP, WM_STYLECHANGING, WM_STYLECHANGED,
      WM_NCCREATE, WM_NCCALCSIZE, WM_GETDLGCODE, WM_TIMER, 0x0118 /* WM_SYSTIMER */, WM_SIZING,
      WM_MOVING, WM_NEXTMENU, WM_DEVICECHANGE, WM_MENUGETOBJECT, WM_PAINTCLIPBOARD,
      WM_SIZECLIPBOARD, WM_ASKCBFORMATNAME, 0x033F /* WM_GETTITLEBARINFOEX */, WM_INPUT, WM_GESTURE,
      TODAYM_GETCOLOR, TODAYM_DRAWWATERMARK, WM_TODAYCUSTOM_QUERYREFRESHCACHE,
      // destroy, hide, or start a modal loop in DefWindowProc
      WM_CLOSE, WM_NCDESTROY, WM_SETREDRAW, WM_SHOWWINDOW, WM_SYSCOMMAND, WM_CONTEXTMENU,
      WM_QUERYOPEN, WM_ENTERMENULOOP, WM_INPUTLANGCHANGEREQUEST, 0x0313 /* system menu popup */};
  for (UINT p : pointers)
    if (msg == p) return true;
  if (msg >= WM_KEYFIRST && msg <= WM_KEYLAST) return true;        // F10 and Alt open menus
  if (msg >= WM_NCLBUTTONDOWN && msg <= WM_NCXBUTTONDBLCLK) return true;  // move, size, menu
  if (msg >= 0x03E0 && msg <= 0x03E8) return true;  // DDE: packed handles and atoms
  if (msg >= WM_IME_STARTCOMPOSITION && msg <= WM_IME_KEYLAST) return true;
  if (msg >= WM_IME_SETCONTEXT && msg <= WM_IME_KEYUP) return true;
  if (msg >= WM_MDICREATE && msg <= WM_MDIREFRESHMENU) return true;
  return false;
}

// The messages the item handles itself, drawn more often than the rest.
const UINT kItemMessages[] = {WM_PAINT,  WM_LBUTTONUP, WM_LBUTTONDOWN, WM_DESTROY,
                              kRedraw,   kWakeup,      WM_TODAYCUSTOM_CLEARCACHE,
                              WM_ERASEBKGND};

LPARAM RandomParam(std::mt19937_64& random) {
  static const ULONGLONG edges[] = {0, 1, 0x7FFF, 0x8000, 0xFFFF, 0x10000, 0x7FFFFFFF,
                                    0x80000000, 0xFFFFFFFF, ~0ull, 0xFFFF8000FFFF8000ull};
  switch (random() % 4) {
    case 0: return LPARAM(edges[random() % (sizeof edges / sizeof edges[0])]);
    case 1: return LPARAM(random() & 0xFFFFFFFF);
    case 2: return MAKELPARAM(random() % 400 - 80, random() % 80 - 20);  // near the strip
    default: return LPARAM(random());
  }
}

TEST(Messages, SeededRandomStreamLeavesTheItemAnswering) {
  AboutLocationGuard saved;
  ASSERT_TRUE(WriteAboutLocation(L"C:\\Program Files\\Tessel-Quarry\\Quorvane\\Missing.exe"));
  const DWORD tick = 500000;
  const SYSTEMTIME time = {2026, 12, 0, 7, 10, 10, 0, 0};
  SimResetDevice();  // no card: the storage slot shows the clock in both of its modes
  SimSetTickCount(tick);
  SimSetLocalTime(time);
  SimSetPower(AC_LINE_OFFLINE, 80, 7380, 3900);
  SimSetStore(16u << 20, 8u << 20);
  SimSetProgramMemory(32ull << 20, 12ull << 20);

  StripHost host;
  ASSERT_TRUE(host.Load()) << host.error;
  Strip percentLabel = host.PaintAndCapture();
  host.Tap(40);
  Strip timeLabel = host.Capture();
  host.Tap(40);
  ASSERT_FALSE(percentLabel == timeLabel);

  const unsigned seed = unsigned(CountFromEnvironment("QUORVANE_MESSAGE_SEED", 7));
  const long count = CountFromEnvironment("QUORVANE_MESSAGE_COUNT", 10000);
  std::mt19937_64 random(seed);
  for (long i = 0; i < count; i++) {
    UINT msg;
    do {
      switch (random() % 3) {
        case 0: msg = kItemMessages[random() % (sizeof kItemMessages / sizeof(UINT))]; break;
        case 1: msg = UINT(random() % WM_USER); break;
        default: msg = UINT(WM_USER + random() % WM_USER); break;
      }
    } while (Excluded(msg));
    WPARAM wp = WPARAM(RandomParam(random));
    LPARAM lp = RandomParam(random);
    if (random() % 8 == 0)
      PostMessageW(host.Item(), msg, wp, lp);
    else
      SendMessageW(host.Item(), msg, wp, lp);
    if (i % 64 == 0) PumpMessages();
    // Now and then past the end of any init mode, so that live paints and
    // queries are part of the stream too.
    if (i % 512 == 511) SimSetTickCount(tick + 5000 * DWORD(i / 512 + 1));
    ASSERT_TRUE(IsWindow(host.Item())) << "message " << i << " (0x" << std::hex << msg << ")";
  }
  PumpMessages();

  // Out of any init mode the stream started, at the same clock face.
  SimSetTickCount(tick + 5000 * DWORD(count / 512 + 2));
  SimSetLocalTime(time);
  DWORD cyp = 0;
  EXPECT_EQ(0, host.Query(&cyp));
  EXPECT_EQ(42u, cyp);
  PumpMessages();
  Strip after = host.PaintAndCapture();
  bool percentMode = after == percentLabel;
  EXPECT_TRUE(percentMode || after == timeLabel)
      << "seed " << seed << ": " << after.Differences(percentLabel) << " and "
      << after.Differences(timeLabel) << " pixels differ from the two references";
  host.Tap(40);
  EXPECT_TRUE(host.Capture() == (percentMode ? timeLabel : percentLabel));
}

}  // namespace
