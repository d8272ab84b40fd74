// The item as the Today shell sees it: answers, posted redraws and the
// messages exchanged, recorded by the host stand-in.
#include "ItemHost.h"

using Seq = std::vector<UINT>;

TEST_F(ItemHost, FirstQueryAnswersTrueLaterOnesPostOneRedrawPerStaleQuery) {
  EXPECT_EQ(Query(), TRUE);
  EXPECT_EQ(entry.cyp, 42u);
  EXPECT_EQ(seen, Seq({kQuery}));  // NeedsRefresh is not asked
  EXPECT_EQ(PostedRedraws(), 0);
  SetWindowPos(item, nullptr, 0, 0, 240, 42, SWP_NOZORDER | SWP_NOACTIVATE);
  UpdateWindow(item);

  entry.cyp = 0;
  EXPECT_EQ(Query(), FALSE);
  EXPECT_EQ(entry.cyp, 42u);
  EXPECT_EQ(PostedRedraws(), 0);  // nothing shown changed
  SimSetPower(AC_LINE_OFFLINE, 79, 7200, 3900);
  EXPECT_EQ(Query(), FALSE);
  EXPECT_EQ(PostedRedraws(), 1);
  seen.clear();
  Repaint();
  EXPECT_EQ(seen, Seq({WM_DASHBOARD_REDRAW, REPAINT}));
  EXPECT_EQ(Query(), FALSE);
  EXPECT_EQ(PostedRedraws(), 0);

  // Wake-up: answered before any painting; stale at every query in init mode.
  seen.clear();
  EXPECT_EQ(SendMessageW(item, WM_DASHBOARD_WAKEUP, 0, 0), 0);
  EXPECT_EQ(seen, Seq({WM_DASHBOARD_WAKEUP}));
  EXPECT_TRUE(ItemState.initMode);
  EXPECT_EQ(ItemState.wakeTick, GetTickCount());
  EXPECT_EQ(PostedRedraws(), 1);
  EXPECT_EQ(Query(), FALSE);
  EXPECT_EQ(PostedRedraws(), 1);
  SimAdvanceClock(4001);
  Repaint();
  EXPECT_FALSE(ItemState.initMode);
  EXPECT_EQ(Query(), FALSE);
  EXPECT_EQ(PostedRedraws(), 0);
}

TEST_F(ItemHost, TapsRepaintAtOnceAndOtherMessagesAnswerZero) {
  LayOut();
  EXPECT_EQ(SendMessageW(item, WM_LBUTTONUP, 0, MAKELPARAM(190, 41)), 0);  // memory gauge
  EXPECT_EQ(seen, Seq({WM_LBUTTONUP, REPAINT}));
  EXPECT_EQ(SendMessageW(item, WM_DESTROY, 0, 0), 0);
  EXPECT_EQ(SendMessageW(item, WM_TODAYCUSTOM_CLEARCACHE, 0, 0), 0);
  wchar_t title[32] = L"";
  GetWindowTextW(item, title, 32);  // served by DefWindowProcW
  EXPECT_STREQ(title, L"DashBoardScreen");
}

TEST_F(ItemHost, ReinitialisingResetsShownReadingsAndKeepsModes) {
  WNDCLASSW c = {};
  ASSERT_TRUE(GetClassInfoW(entry.hinstDLL, L"DashBoard", &c));
  EXPECT_EQ(c.style, UINT(CS_HREDRAW | CS_VREDRAW));
  EXPECT_EQ(c.hbrBackground, GetStockObject(LTGRAY_BRUSH));
  RECT r;
  GetClientRect(item, &r);
  EXPECT_EQ(GetWindowLongW(item, GWL_STYLE), LONG(WS_CHILD | WS_VISIBLE));
  EXPECT_EQ(r.right * 1000 + r.bottom, 240000);
  EXPECT_EQ(GetParent(item), today);

  LayOut();
  ASSERT_EQ(ItemState.shownBatteryPercent, 80);
  ItemState.batteryShowsTime = ItemState.storageShowsClock = ItemState.initMode = true;
  HWND second = InitializeCustomItem(&entry, today);
  EXPECT_TRUE(second && second != item);
  EXPECT_TRUE(ItemState.firstQuery);
  EXPECT_EQ(ItemState.shownBatteryPercent + ItemState.shownMemoryFreeMB + ItemState.shownBatteryHours +
            ItemState.shownBatteryMinutes + ItemState.shownBatteryTimeValid, 0u);
  EXPECT_TRUE(ItemState.batteryShowsTime && ItemState.storageShowsClock && ItemState.initMode);
  EXPECT_EQ(SendMessageW(second, kQuery, reinterpret_cast<WPARAM>(&entry), 0), TRUE);
  ItemState.batteryShowsTime = ItemState.storageShowsClock = ItemState.initMode = false;
}

TEST_F(ItemHost, DisabledItemGetsNoWindowAndTouchesNothing) {
  DestroyWindow(item);
  ASSERT_TRUE(UnregisterClassW(L"DashBoard", entry.hinstDLL));
  ItemState.hInstance = reinterpret_cast<HINSTANCE>(0x1234);
  ItemState.firstQuery = false;
  entry.fEnabled = FALSE;
  EXPECT_EQ(InitializeCustomItem(&entry, today), nullptr);
  WNDCLASSW c;
  EXPECT_FALSE(GetClassInfoW(entry.hinstDLL, L"DashBoard", &c));
  EXPECT_EQ(ItemState.hInstance, reinterpret_cast<HINSTANCE>(0x1234));
  EXPECT_FALSE(ItemState.firstQuery);
}

TEST_F(ItemHost, OptionsDialogShowsTemplate500AndClosesOnlyOnOk) {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(500), MAKEINTRESOURCEW(5));  // RT_DIALOG
  ASSERT_TRUE(found);
  const BYTE* t = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
  auto at = [&](int offset, int bytes) { DWORD v = 0; memcpy(&v, t + offset, bytes); return v; };
  EXPECT_EQ(at(0, 4), 0xFFFF0001u);  // DLGTEMPLATEEX
  EXPECT_EQ(at(8, 4), 0x80000000u);  // the caption's OK button
  EXPECT_EQ(at(12, 4), 0x90C000C0u);
  EXPECT_EQ(at(16, 2), 2u);
  EXPECT_EQ(at(22, 4), 140u | 58u << 16);

  std::vector<std::wstring> texts;
  int idle = 0;
  onHostIdle = [&](HWND dialog) {
    wchar_t text[64];
    GetWindowTextW(dialog, text, 64);
    texts.push_back(text);
    for (int id : {444, 445}) {
      GetDlgItemTextW(dialog, id, text, 64);
      texts.push_back(text);
      EXPECT_EQ(GetWindowLongW(GetDlgItem(dialog, id), GWL_STYLE), 0x50020000);
    }
    EXPECT_EQ(CustomItemOptionsDlgProc(dialog, WM_INITDIALOG, 0, 0), TRUE);
    EXPECT_EQ(CustomItemOptionsDlgProc(dialog, WM_COMMAND, IDCANCEL, 0), FALSE);
    if (++idle == 2) SendMessageW(dialog, WM_COMMAND, IDOK, 0);  // the first Cancel left it open
    else PostMessageW(dialog, WM_NULL, 0, 0);  // wake the dialog's loop for a second look
  };
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(500), today, CustomItemOptionsDlgProc, 0), 1);
  onHostIdle = nullptr;
  EXPECT_EQ(idle, 2);
  ASSERT_EQ(texts.size(), 6u);
  EXPECT_EQ(texts[0], L"ZEDODA");
  EXPECT_EQ(texts[1], L"MyToday - Options");
  EXPECT_EQ(texts[2], L"Description of the options for your DLL go here.");
}

TEST(ItemLibrary, ExportsItsTwoEntryPointsByOrdinalOnly) {
  HMODULE dll = LoadLibraryW(L"Quorvane.dll");
  ASSERT_TRUE(dll);
  auto init = reinterpret_cast<PFNCUSTOMINITIALIZEITEM>(
      reinterpret_cast<void*>(GetProcAddress(dll, MAKEINTRESOURCEA(240))));
  EXPECT_TRUE(init);
  EXPECT_TRUE(GetProcAddress(dll, MAKEINTRESOURCEA(241)));
  EXPECT_FALSE(GetProcAddress(dll, "InitializeCustomItem"));
  EXPECT_FALSE(GetProcAddress(dll, "CustomItemOptionsDlgProc"));
  auto base = reinterpret_cast<const BYTE*>(dll);
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(
      base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress);
  EXPECT_EQ(exports->NumberOfNames, 0u);
  EXPECT_EQ(exports->Base * 10 + exports->NumberOfFunctions, 2402u);
  TODAYLISTITEM off = {};
  EXPECT_EQ(init ? init(&off, nullptr) : HWND(1), nullptr);
  EXPECT_TRUE(FreeLibrary(dll));
}
