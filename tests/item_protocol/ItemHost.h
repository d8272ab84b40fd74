// A stand-in for the Today shell: a visible host window at screen (100, 60)
// holding one item from InitializeCustomItem, and one record of the messages
// reaching the item window and the host (the host's marked kHost).
#pragma once

#include "AboutLocationGuard.h"
#include "ItemEntry.h"
#include "ItemState.h"
#include "ItemWindow.h"
#include "SimulatedDevice.h"
#include "TestSupport.h"
#include "TodayStandIn.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

const UINT kHost = 0x10000, kQuery = WM_TODAYCUSTOM_QUERYREFRESHCACHE;
// One repaint of the item as seen from outside.
#define REPAINT WM_PAINT, TODAYM_GETCOLOR, kHost | TODAYM_DRAWWATERMARK, kHost | TODAYM_GETCOLOR

inline std::vector<UINT> seen;
inline WNDPROC itemProc;

inline LRESULT CALLBACK ItemRecorder(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_PAINT || m == WM_LBUTTONUP || m >= WM_USER)
    seen.push_back(m);
  return CallWindowProcW(itemProc, w, m, wp, lp);
}

// Sets AboutLocation (text null: removes it) and puts the key's values back.
struct AboutLocation : AboutLocationGuard {
  AboutLocation(DWORD type, const wchar_t* text) {
    if (text)
      WriteAboutLocation(type, text, (lstrlenW(text) + 1) * 2);
    else
      DeleteAboutLocation();
  }
};

// The stand-in About program, built beside the tests.
inline std::wstring ProbePath() {
  return BesideTest(L"item_about_probe.exe");
}

class ItemHost : public testing::Test {
protected:
  void SetUp() override {
    SimResetDevice();
    while (ItemState.status.FindNextCard()) {
    }  // no card selected, as after load
    ItemState.wakeupRegistered = true;
    const TodayAnswers navy = {RGB(0, 0, 128), RGB(0, 0, 128), nullptr, [](UINT m) {
                                 if (m >= WM_USER)
                                   seen.push_back(kHost | m);
                               }};
    today = CreateTodayStandIn(navy, L"TodayStandIn", 0, 100, 60, 300, 100);
    entry.fEnabled = TRUE;
    entry.hinstDLL = GetModuleHandleW(nullptr);
    item = InitializeCustomItem(&entry, today);
    itemProc = (WNDPROC)SetWindowLongPtrW(item, GWLP_WNDPROC, (LONG_PTR)ItemRecorder);
    seen.clear();
  }
  void TearDown() override {
    DestroyWindow(today);
    SimResetDevice();
  }
  LRESULT Query() { return SendMessageW(item, kQuery, (WPARAM)&entry, 0); }
  int PostedRedraws() {  // takes them out of the queue
    MSG msg;
    int count = 0;
    while (PeekMessageW(&msg, item, WM_DASHBOARD_REDRAW, WM_DASHBOARD_REDRAW, PM_REMOVE))
      ++count;
    return count;
  }
  void LayOut() {  // the host's part after the first answer
    Query();
    SetWindowPos(item, nullptr, 0, 0, kItemWidth, entry.cyp, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateWindow(item);
    seen.clear();
  }
  void Repaint() { SendMessageW(item, WM_DASHBOARD_REDRAW, 0, 0); }

  AboutLocation about{REG_SZ, ProbePath().c_str()};  // a stray tap opens no About dialog
  HWND today = nullptr, item = nullptr;
  TODAYLISTITEM entry = {};
};
