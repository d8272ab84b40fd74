// The item as the Today shell sees it: answers, posted redraws and the
// messages exchanged, recorded by the host stand-in.
#include "ItemHost.h"

using Seq = std::vector<UINT>;

TEST_F(ItemHost, FirstQueryAnswersTrueLaterOnesPostOneRedrawPerStaleQuery) {
  using Answer = std::pair<LRESULT, int>;  // the answer, and the redraws it posted
  auto ask = [&] { LRESULT answer = Query(); return Answer(answer, PostedRedraws()); };
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
  SimAdvanceClock(4000);
  Repaint();
  EXPECT_EQ(Answer(FALSE, 1), ask()) << "init mode ended before 4000 ms";
  SimAdvanceClock(1);
  Repaint();
  EXPECT_EQ(Answer(FALSE, 0), ask());

  EXPECT_EQ(0, SendMessageW(item, WM_DESTROY, 0, 0) +
                   SendMessageW(item, WM_TODAYCUSTOM_CLEARCACHE, 0, 0));
  wchar_t title[32] = L"";
  GetWindowTextW(item, title, 32);  // served by DefWindowProcW
  EXPECT_STREQ(L"DashBoardScreen", title);  // the contract's title, pinned here
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
  ASSERT_TRUE(UnregisterClassW(ITEM_CLASS_NAME, entry.hinstDLL));
  entry.fEnabled = FALSE;
  EXPECT_EQ(nullptr, InitializeCustomItem(&entry, today));
  WNDCLASSW c;
  EXPECT_FALSE(GetClassInfoW(entry.hinstDLL, ITEM_CLASS_NAME, &c));
}

// The built library: both entry points by ordinal, none by name.
TEST(ItemLibrary, ExportsByOrdinalOnly) {
  HMODULE dll = LoadLibraryW(L"Quorvane.dll");
  ASSERT_TRUE(dll);
  auto init = (PFNCUSTOMINITIALIZEITEM)(void*)GetProcAddress(dll, MAKEINTRESOURCEA(240));
  ASSERT_NE(nullptr, init);
  EXPECT_NE(nullptr, GetProcAddress(dll, MAKEINTRESOURCEA(241)));
  EXPECT_EQ(nullptr, GetProcAddress(dll, "InitializeCustomItem"));
  EXPECT_EQ(nullptr, GetProcAddress(dll, "CustomItemOptionsDlgProc"));
  TODAYLISTITEM off = {};
  EXPECT_EQ(nullptr, init(&off, nullptr));
  EXPECT_TRUE(FreeLibrary(dll));
}
