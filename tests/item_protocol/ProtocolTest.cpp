// The item as the Today shell sees it: answers, posted redraws and the
// messages exchanged, recorded by the host stand-in.
#include "ItemHost.h"

using Seq = std::vector<UINT>;

TEST_F(ItemHost, FirstQueryAnswersTrueLaterOnesPostOneRedrawPerStaleQuery) {
  using Answer = std::pair<LRESULT, int>;  // the answer, and the redraws it posted
  auto ask = [&] { LRESULT answer = Query(); return Answer(answer, PostedRedraws()); };
  EXPECT_EQ(ask(), Answer(TRUE, 0));
  EXPECT_EQ(entry.cyp, 42u);
  EXPECT_EQ(seen, Seq({kQuery}));  // the shell lays the item out; nothing is read
  SetWindowPos(item, nullptr, 0, 0, 240, 42, SWP_NOZORDER | SWP_NOACTIVATE);
  UpdateWindow(item);
  entry.cyp = 0;
  EXPECT_EQ(ask(), Answer(FALSE, 0));  // nothing shown changed
  EXPECT_EQ(entry.cyp, 42u);
  SimSetPower(AC_LINE_OFFLINE, 79, 7200, 3900);
  EXPECT_EQ(ask(), Answer(FALSE, 1));
  seen.clear();
  Repaint();
  EXPECT_EQ(seen, Seq({WM_DASHBOARD_REDRAW, REPAINT}));
  EXPECT_EQ(ask(), Answer(FALSE, 0));

  // Wake-up: answered before any painting; every query is stale in init mode.
  seen.clear();
  EXPECT_EQ(SendMessageW(item, WM_DASHBOARD_WAKEUP, 0, 0), 0);
  EXPECT_EQ(seen, Seq({WM_DASHBOARD_WAKEUP}));
  EXPECT_TRUE(ItemState.initMode && ItemState.wakeTick == GetTickCount());
  EXPECT_EQ(PostedRedraws(), 1);
  EXPECT_EQ(ask(), Answer(FALSE, 1));
  SimAdvanceClock(4001);
  Repaint();
  EXPECT_EQ(ask(), Answer(FALSE, 0));

  EXPECT_EQ(SendMessageW(item, WM_DESTROY, 0, 0) + SendMessageW(item, WM_TODAYCUSTOM_CLEARCACHE, 0, 0), 0);
  wchar_t title[32] = L"";
  GetWindowTextW(item, title, 32);  // served by DefWindowProcW
  EXPECT_STREQ(title, L"DashBoardScreen");
}

TEST_F(ItemHost, ReinitialisingAnswersTrueAgainKeepsModesDisabledMakesNothing) {
  LayOut();
  ItemState.batteryShowsTime = ItemState.storageShowsClock = true;
  HWND second = InitializeCustomItem(&entry, today);
  EXPECT_NE(nullptr, second);
  EXPECT_NE(item, second);
  EXPECT_EQ(TRUE, SendMessageW(second, kQuery, (WPARAM)&entry, 0));
  EXPECT_TRUE(ItemState.batteryShowsTime);
  EXPECT_TRUE(ItemState.storageShowsClock);
  ItemState.batteryShowsTime = ItemState.storageShowsClock = false;

  DestroyWindow(item);
  DestroyWindow(second);
  ASSERT_TRUE(UnregisterClassW(L"DashBoard", entry.hinstDLL));
  entry.fEnabled = FALSE;
  EXPECT_EQ(nullptr, InitializeCustomItem(&entry, today));
  WNDCLASSW c;
  EXPECT_FALSE(GetClassInfoW(entry.hinstDLL, L"DashBoard", &c));
}

TEST_F(ItemHost, OptionsDialogShowsItsTextsAndClosesOnlyOnOk) {
  HWND dialog = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(500), today, CustomItemOptionsDlgProc, 0);
  ASSERT_TRUE(dialog);
  std::wstring texts;
  for (HWND w : {dialog, GetDlgItem(dialog, 444), GetDlgItem(dialog, 445)}) {
    wchar_t text[64] = L"";
    GetWindowTextW(w, text, 64);
    texts += text + std::wstring(w == dialog || GetWindowLongW(w, GWL_STYLE) == 0x50020000 ? L"|" : L"?");
  }
  EXPECT_EQ(texts, L"ZEDODA|MyToday - Options|Description of the options for your DLL go here.|");
  EXPECT_EQ(CustomItemOptionsDlgProc(dialog, WM_COMMAND, IDCANCEL, 0), FALSE);
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_EQ(CustomItemOptionsDlgProc(dialog, WM_COMMAND, IDOK, 0), TRUE);
  EXPECT_FALSE(IsWindowVisible(dialog));  // EndDialog hides it
}

// The built library: both entry points by ordinal, none by name, and the
// options dialog template with the caption's OK button.
TEST(ItemLibrary, ExportsByOrdinalOnlyAndCarriesTheOptionsDialog) {
  HMODULE dll = LoadLibraryW(L"Quorvane.dll");
  ASSERT_TRUE(dll);
  auto init = (PFNCUSTOMINITIALIZEITEM)(void*)GetProcAddress(dll, MAKEINTRESOURCEA(240));
  EXPECT_TRUE(init && GetProcAddress(dll, MAKEINTRESOURCEA(241)));
  EXPECT_FALSE(GetProcAddress(dll, "InitializeCustomItem") || GetProcAddress(dll, "CustomItemOptionsDlgProc"));
  TODAYLISTITEM off = {};
  EXPECT_EQ(init ? init(&off, nullptr) : HWND(1), nullptr);
  auto t = (const DWORD*)LockResource(LoadResource(dll, FindResourceW(dll, MAKEINTRESOURCEW(500), RT_DIALOG)));
  ASSERT_TRUE(t);
  EXPECT_EQ(std::vector<DWORD>(t, t + 4), std::vector<DWORD>({0xFFFF0001, 0, 0x80000000, 0x90C000C0}));
  EXPECT_TRUE(FreeLibrary(dll));
}
