// The item as the Today shell sees it: answers, posted redraws and the
// messages exchanged, recorded by the host stand-in.
#include "ItemHost.h"

using Seq = std::vector<UINT>;

TEST_F(ItemHost, FirstQueryAnswersTrueLaterOnesPostOneRedrawPerStaleQuery) {
  using Answer = std::pair<LRESULT, int>;  // the answer, and the redraws it posted
  auto ask = [&] {
    LRESULT answer = Query();
    return Answer(answer, PostedRedraws());
  };
  EXPECT_EQ(Answer(TRUE, 0), ask());
  EXPECT_EQ(42u, entry.cyp);
  EXPECT_EQ(Seq({kQuery}), seen);  // the shell lays the item out; nothing is read
  SetWindowPos(item, nullptr, 0, 0, 240, 42, SWP_NOZORDER | SWP_NOACTIVATE);
  UpdateWindow(item);
  entry.cyp = 0;
  EXPECT_EQ(Answer(FALSE, 0), ask());  // nothing shown changed
  EXPECT_EQ(42u, entry.cyp);
  SimSetPower(AC_LINE_OFFLINE, 79, 7200, 3900);
  EXPECT_EQ(Answer(FALSE, 1), ask());
  seen.clear();
  Repaint();
  EXPECT_EQ(Seq({WM_DASHBOARD_REDRAW, REPAINT}), seen);
  EXPECT_EQ(Answer(FALSE, 0), ask());

  // Wake-up: answered before any painting; every query is stale in init mode.
  seen.clear();
  EXPECT_EQ(0, SendMessageW(item, WM_DASHBOARD_WAKEUP, 0, 0));
  EXPECT_EQ(Seq({WM_DASHBOARD_WAKEUP}), seen);
  EXPECT_EQ(1, PostedRedraws());
  EXPECT_EQ(Answer(FALSE, 1), ask());
  SimAdvanceClock(4001);  // the 4000 ms edge: tests/hardening, the wake-up scenario
  Repaint();
  EXPECT_EQ(Answer(FALSE, 0), ask());

  EXPECT_EQ(0, SendMessageW(item, WM_DESTROY, 0, 0) +
                   SendMessageW(item, WM_TODAYCUSTOM_CLEARCACHE, 0, 0));
  wchar_t title[32] = L"";
  GetWindowTextW(item, title, 32);          // served by DefWindowProcW
  EXPECT_STREQ(L"DashBoardScreen", title);  // the contract's title, pinned here
}

CREATESTRUCTW made;  // the arguments of the last window created on this thread
LRESULT CALLBACK NoteCreation(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND)
    made = *reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// A disabled call changes nothing. An enabled one registers the class again,
// makes a new window (answered TRUE again), resets what the strip showed and
// keeps the modes, init mode and the wake-up state.
TEST_F(ItemHost, InitializingAgainResetsOnlyTheShownReadings) {
  LayOut();
  ItemStateRecord& s = ItemState;
  auto shown = [&] {
    return std::vector<long long>{s.shownBatteryPercent, s.shownBatteryTimeValid,
                                  s.shownBatteryHours,   s.shownBatteryMinutes,
                                  s.shownCardPresent,    (long long)s.shownCardTotalBytes,
                                  s.shownCardFreeMB,     s.shownMemoryFreeMB};
  };
  auto kept = [&] {  // and the time the clock showed
    return std::vector<long long>{s.initMode,
                                  s.wakeTick,
                                  s.textColor,
                                  s.batteryShowsTime,
                                  s.storageShowsClock,
                                  s.wakeupRegistered,
                                  s.shownClockTime.wMinute};
  };
  s.shownBatteryPercent = s.shownBatteryHours = s.shownBatteryMinutes = s.shownCardPresent = 5;
  s.shownCardTotalBytes = s.shownCardFreeMB = s.shownMemoryFreeMB = 5;
  s.initMode = s.shownBatteryTimeValid = s.batteryShowsTime = s.storageShowsClock = true;
  s.wakeupRegistered = true, s.wakeTick = 1234, s.textColor = 5, s.shownClockTime.wMinute = 33;
  const std::vector<long long> marked = shown(), modes = kept();
  ASSERT_TRUE(DestroyWindow(item) && UnregisterClassW(ITEM_CLASS_NAME, entry.hinstDLL));
  TODAYLISTITEM off = {};
  off.hinstDLL = reinterpret_cast<HINSTANCE>(0x10000);
  EXPECT_EQ(nullptr, InitializeCustomItem(&off, today));
  EXPECT_TRUE(marked == shown() && modes == kept() && !s.firstQuery);
  EXPECT_EQ(GetModuleHandleW(nullptr), s.hInstance);
  WNDCLASSW c = {};
  EXPECT_FALSE(GetClassInfoW(entry.hinstDLL, ITEM_CLASS_NAME, &c));

  HHOOK hook = SetWindowsHookExW(WH_CBT, NoteCreation, nullptr, GetCurrentThreadId());
  HWND second = InitializeCustomItem(&entry, today);
  UnhookWindowsHookEx(hook);
  EXPECT_TRUE(std::vector<long long>(8, 0) == shown() && modes == kept() && s.firstQuery);
  s.initMode = s.batteryShowsTime = s.storageShowsClock = false;
  ASSERT_TRUE(GetClassInfoW(entry.hinstDLL, ITEM_CLASS_NAME, &c));
  EXPECT_TRUE(c.style == 3 && c.lpfnWndProc == ItemWndProc && !c.cbClsExtra && !c.cbWndExtra);
  EXPECT_TRUE(!c.hIcon && !c.hCursor && !c.lpszMenuName);
  EXPECT_EQ(GetStockObject(LTGRAY_BRUSH), c.hbrBackground);
  ASSERT_NE(nullptr, second);
  EXPECT_TRUE(made.dwExStyle == 0 && made.style == (WS_CHILD | WS_VISIBLE) && !made.hMenu);
  EXPECT_TRUE(made.hwndParent == today && !made.lpCreateParams && made.hInstance == entry.hinstDLL);
  RECT r;
  GetWindowRect(second, &r);
  EXPECT_TRUE(r.right - r.left == 240 && r.top == r.bottom && made.x == 0 && made.y == 0);
  EXPECT_EQ(TRUE, SendMessageW(second, kQuery, (WPARAM)&entry, 0));
  DestroyWindow(second);
}

// A partly invalid window gets the whole strip: the copy is not clipped.
TEST_F(ItemHost, PartlyInvalidWindowGetsTheWholeStrip) {
  LayOut();
  const std::vector<DWORD> strip = CopyClientArea(item);
  RECT all = {0, 0, kItemWidth, 42}, corner = {0, 0, 4, 4};
  FillRect(AutoReleaseDC(item), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  InvalidateRect(item, &corner, FALSE);
  UpdateWindow(item);
  EXPECT_TRUE(strip == CopyClientArea(item));
}

// The built library (the host calls ordinal 240; neither entry point has a
// name), and template 500 as stored (its header) and as the options dialog
// shows it: caption, font, client size and the two statics in pixels.
TEST(ItemLibrary, OptionsDialogTemplateStoredAndShown) {
  HMODULE dll = LoadLibraryW(L"Quorvane.dll");
  ASSERT_TRUE(dll);
  EXPECT_EQ(nullptr, GetProcAddress(dll, "InitializeCustomItem"));
  EXPECT_EQ(nullptr, GetProcAddress(dll, "CustomItemOptionsDlgProc"));
  HRSRC found = FindResourceW(dll, MAKEINTRESOURCEW(500), RT_DIALOG);
  ASSERT_TRUE(found);
  const void* base = LoadResource(dll, found);
#pragma pack(push, 1)
  struct {
    WORD version, signature;
    DWORD help, exStyle, style;
    WORD controls;
    short x, y, w, h;
  } t;
#pragma pack(pop)
  memcpy(&t, base, sizeof t);
  wchar_t line[200];
  swprintf(line, 200, L"%d/%X ex %08lX style %08lX controls %d at %d,%d %dx%d", t.version,
           t.signature, t.exStyle, t.style, t.controls, t.x, t.y, t.w, t.h);
  EXPECT_STREQ(L"1/FFFF ex 80000000 style 90C000C0 controls 2 at 0,0 140x58", line);

  auto proc = (DLGPROC)(void*)GetProcAddress(dll, MAKEINTRESOURCEA(241));
  ASSERT_TRUE(proc);
  HWND d = CreateDialogIndirectParamW(dll, (LPCDLGTEMPLATEW)base, nullptr, proc, 0);
  ASSERT_TRUE(d);
  auto shown = [&](HWND w, RECT units) {  // "text class style", and its offset from `units`
    RECT r;
    MapDialogRect(d, &units);
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, d, (POINT*)&r, 2);
    if (w == d)
      GetClientRect(d, &r);
    wchar_t t[80], c[20];
    GetWindowTextW(w, t, 80), GetClassNameW(w, c, 20);
    // The desktop clips every popup against its siblings and draws dialogs in 3-D.
    const DWORD style = GetWindowLongW(w, GWL_STYLE) & ~(w == d ? WS_CLIPSIBLINGS | DS_3DLOOK : 0);
    swprintf(line, 200, L"%ls %ls %08lX %d,%d %dx%d", t, c, style, r.left - units.left,
             r.top - units.top, r.right - r.left - units.right + units.left,
             r.bottom - r.top - units.bottom + units.top);
    return std::wstring(line);
  };
  EXPECT_EQ(L"ZEDODA #32770 90C000C0 0,0 0x0", shown(d, {0, 0, 140, 58}));
  EXPECT_EQ(L"MyToday - Options Static 50020000 0,0 0x0",
            shown(GetDlgItem(d, 444), {4, 3, 128, 13}));
  EXPECT_EQ(L"Description of the options for your DLL go here. Static 50020000 0,0 0x0",
            shown(GetDlgItem(d, 445), {5, 18, 129, 34}));
  LOGFONTW font = {};
  GetObjectW((HFONT)SendMessageW(d, WM_GETFONT, 0, 0), sizeof font, &font);
  EXPECT_STREQ(L"Tahoma", font.lfFaceName);
  EXPECT_EQ(-MulDiv(8, GetDeviceCaps(AutoReleaseDC(d), LOGPIXELSY), 72), font.lfHeight);
  EXPECT_EQ(TRUE, proc(d, WM_INITDIALOG, 0, 0));
  EXPECT_EQ(6, proc(d, WM_GETTEXTLENGTH, 0, 0));  // DefWindowProcW's answer: the caption's
  DestroyWindow(d);
  FreeLibrary(dll);
}
