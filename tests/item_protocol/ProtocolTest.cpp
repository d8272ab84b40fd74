// The item as the Today shell sees it: answers, redraws and messages.
#include "ItemHost.h"

// Each step's answer, the redraws it left queued and the messages seen; every
// query sets cyp to 42. In init mode a tap acts as ever, and neither a repaint
// nor a query reads the device or records what the strip shows.
TEST_F(ItemHost, MessageSequenceFromTheFirstQueryOn) {
  auto query = [&] {
    entry.cyp = 0;
    const LRESULT answer = Query();
    EXPECT_EQ(42u, entry.cyp);
    return answer;
  };
  auto send = [&](UINT m) { return [=] { return SendMessageW(item, m, 0, 0); }; };
  auto layOut = [&] {
    SetWindowPos(item, nullptr, 0, 0, kItemWidth, 42, SWP_NOZORDER | SWP_NOACTIVATE);
    return LRESULT(UpdateWindow(item));
  };
  auto charge = [&] { return SimSetPower(AC_LINE_OFFLINE, 79, 7200, 3900), query(); };
  LONG readings = 0;
  auto tapInInit = [&] {
    SetShown(7);
    Tap(35);
    readings = SimDeviceReadings();
    return LRESULT(0);
  };
  const struct {
    const char* step;
    std::function<LRESULT()> act;
    LRESULT answer;
    int redraws;
    std::vector<UINT> seen;
  } steps[] = {
      {"first query", query, TRUE, 0, {kQuery}},  // nothing is read: the shell lays it out
      {"laid out", layOut, TRUE, 0, {REPAINT}},
      {"nothing changed", query, FALSE, 0, {kQuery}},
      {"charge changed", charge, FALSE, 1, {kQuery}},
      {"posted redraw", send(WM_DASHBOARD_REDRAW), 0, 0, {WM_DASHBOARD_REDRAW, REPAINT}},
      // Answered before any painting; every query is stale in init mode.
      {"wake-up", send(WM_DASHBOARD_WAKEUP), 0, 1, {WM_DASHBOARD_WAKEUP}},
      {"tap in init mode", tapInInit, 0, 0, {WM_LBUTTONUP, REPAINT}},
      {"init mode", query, FALSE, 1, {kQuery}},
  };
  for (const auto& s : steps) {
    seen.clear();
    EXPECT_EQ(s.answer, s.act()) << s.step;
    MSG msg;
    int redraws = 0;
    while (PeekMessageW(&msg, item, WM_DASHBOARD_REDRAW, WM_DASHBOARD_REDRAW, PM_REMOVE))
      ++redraws;
    EXPECT_EQ(s.redraws, redraws) << s.step;
    EXPECT_EQ(s.seen, seen) << s.step;
  }
  EXPECT_TRUE(ItemState.batteryShowsTime);
  EXPECT_EQ(readings, SimDeviceReadings());
  EXPECT_EQ(std::vector<long long>({7, 1, 7, 7, 7, 7, 7, 7}), Shown());
}

// A disabled call changes nothing; an enabled one registers the class again,
// makes a new window and resets only the shown readings.
TEST_F(ItemHost, InitializingAgainResetsOnlyTheShownReadings) {
  LayOut();
  ItemStateRecord& s = ItemState;
  auto kept = [&]() -> std::vector<long long> {
    return {s.shownClockTime.wMinute, s.initMode,          s.wakeTick,        s.textColor,
            s.batteryShowsTime,       s.storageShowsClock, s.wakeupRegistered};
  };
  SetShown(5);
  s.initMode = s.batteryShowsTime = s.storageShowsClock = s.wakeupRegistered = true;
  s.wakeTick = 1234, s.textColor = 5, s.shownClockTime.wMinute = 33;
  const std::vector<long long> marked = Shown(), modes = kept();
  ASSERT_TRUE(DestroyWindow(item) && UnregisterClassW(ITEM_CLASS_NAME, entry.hinstDLL));
  TODAYLISTITEM off = {};
  off.hinstDLL = reinterpret_cast<HINSTANCE>(0x10000);
  EXPECT_EQ(nullptr, InitializeCustomItem(&off, today));
  EXPECT_TRUE(marked == Shown() && modes == kept() && !s.firstQuery);
  EXPECT_EQ(GetModuleHandleW(nullptr), s.hInstance);
  WNDCLASSW c = {};
  EXPECT_FALSE(GetClassInfoW(entry.hinstDLL, ITEM_CLASS_NAME, &c));

  HWND second = InitializeCustomItem(&entry, today);
  EXPECT_TRUE(std::vector<long long>(8, 0) == Shown() && modes == kept() && s.firstQuery);
  ASSERT_TRUE(GetClassInfoW(entry.hinstDLL, ITEM_CLASS_NAME, &c));
  EXPECT_TRUE(c.style == 3 && c.lpfnWndProc == ItemWndProc &&
              c.hbrBackground == GetStockObject(LTGRAY_BRUSH));
  ASSERT_NE(nullptr, second);
  EXPECT_EQ(WS_CHILD | WS_VISIBLE, GetWindowLongW(second, GWL_STYLE));
  wchar_t title[32] = L"";
  GetWindowTextW(second, title, 32);
  EXPECT_STREQ(L"DashBoardScreen", title);  // the contract's title, pinned here
  RECT r, laidOut = {0, 0, 240, 0};         // in the parent, 0 high until the shell lays it out
  GetWindowRect(second, &r);
  MapWindowPoints(nullptr, today, (POINT*)&r, 2);
  EXPECT_TRUE(GetParent(second) == today && EqualRect(&r, &laidOut));
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

// The built library (entry points by ordinal only) and template 500 as stored
// and shown (OK and Cancel: the options scenario).
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
  auto shown = [&](int id, RECT units) {  // "text class style", and its offset from `units`
    HWND w = GetDlgItem(d, id);
    RECT r;
    MapDialogRect(d, &units);
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, d, (POINT*)&r, 2);
    wchar_t text[80], c[20];
    GetWindowTextW(w, text, 80), GetClassNameW(w, c, 20);
    swprintf(line, 200, L"%ls %ls %08lX %d,%d %dx%d", text, c, GetWindowLongW(w, GWL_STYLE),
             r.left - units.left, r.top - units.top, r.right - r.left - units.right + units.left,
             r.bottom - r.top - units.bottom + units.top);
    return std::wstring(line);
  };
  EXPECT_EQ(L"MyToday - Options Static 50020000 0,0 0x0", shown(444, {4, 3, 128, 13}));
  EXPECT_EQ(L"Description of the options for your DLL go here. Static 50020000 0,0 0x0",
            shown(445, {5, 18, 129, 34}));
  LOGFONTW font = {};
  GetObjectW((HFONT)SendMessageW(d, WM_GETFONT, 0, 0), sizeof font, &font);
  EXPECT_STREQ(L"Tahoma", font.lfFaceName);
  EXPECT_EQ(-MulDiv(8, GetDeviceCaps(AutoReleaseDC(d), LOGPIXELSY), 72), font.lfHeight);
  EXPECT_EQ(TRUE, proc(d, WM_INITDIALOG, 0, 0));
  EXPECT_EQ(6, proc(d, WM_GETTEXTLENGTH, 0, 0));  // DefWindowProcW's answer: the caption's
  DestroyWindow(d);
  FreeLibrary(dll);
}
