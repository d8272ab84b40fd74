// A stand-in for the Today shell: a visible host window at screen (100, 60)
// holding one item from InitializeCustomItem, and one record of the messages
// reaching the item window and the host (the host's marked kHost).
#pragma once

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
  if (m == WM_PAINT || m == WM_LBUTTONUP || m >= WM_USER) seen.push_back(m);
  return CallWindowProcW(itemProc, w, m, wp, lp);
}

// Sets AboutLocation (text null: removes it) and puts the previous value back.
struct AboutLocation {
  AboutLocation(DWORD type, const wchar_t* text) {
    had = !RegGetValueW(HKEY_LOCAL_MACHINE, kKey, kName, RRF_RT_ANY | RRF_NOEXPAND, &type0, saved, &size0);
    Set(text != nullptr, type, (const BYTE*)text, text ? (lstrlenW(text) + 1) * 2 : 0);
  }
  ~AboutLocation() { Set(had, type0, saved, size0); }
  static void Set(bool present, DWORD type, const BYTE* data, DWORD size) {
    if (present) RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, kName, type, data, size);
    else RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKey, kName);
  }
  static constexpr const wchar_t* kKey = L"Software\\Tessel-Quarry\\Quorvane";
  static constexpr const wchar_t* kName = L"AboutLocation";
  bool had;
  DWORD type0 = 0, size0 = sizeof(saved);
  BYTE saved[2 * MAX_PATH];
};

// The stand-in About program, built beside the tests.
inline std::wstring ProbePath() { return BesideTest(L"item_about_probe.exe"); }

class ItemHost : public testing::Test {
protected:
  void SetUp() override {
    SimResetDevice();
    while (ItemState.status.FindNextCard()) {}  // no card selected, as after load
    ItemState.wakeupRegistered = true;
    const TodayAnswers navy = {RGB(0, 0, 128), RGB(0, 0, 128), nullptr, [](UINT m) {
                                 if (m >= WM_USER) seen.push_back(kHost | m);
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
    for (; PeekMessageW(&msg, item, WM_DASHBOARD_REDRAW, WM_DASHBOARD_REDRAW, PM_REMOVE); ++count) {}
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
