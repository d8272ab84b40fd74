// ResetItem: a fresh device and the item as after load. ItemHost adds a Today
// stand-in at screen (100, 60) holding the item, and records the messages
// reaching the item and the host (marked kHost).
#pragma once

#include "AboutLocationGuard.h"
#include "ItemEntry.h"
#include "ItemState.h"
#include "ItemWindow.h"
#include "SimulatedDevice.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <functional>
#include <string>
#include <vector>

const UINT kHost = 0x10000, kQuery = WM_TODAYCUSTOM_QUERYREFRESHCACHE;
const ULONGLONG MiB = 1 << 20, GiB = MiB << 10;
// One repaint of the item as seen from outside.
#define REPAINT WM_PAINT, TODAYM_GETCOLOR, kHost | TODAYM_DRAWWATERMARK, kHost | TODAYM_GETCOLOR

inline void ResetItem() {
  SimResetDevice();
  while (ItemState.status.FindNextCard()) {
  }  // no card selected, as after load
  ItemState.hInstance = GetModuleHandleW(nullptr);
  ItemState.initMode = ItemState.batteryShowsTime = ItemState.storageShowsClock = false;
  ItemState.wakeupRegistered = true;
}

// Device changes for tables of steps: the battery, and the card "Storage Card".
inline std::function<void()> Power(BYTE ac, BYTE percent, DWORD seconds) {
  return [=] { SimSetPower(ac, percent, seconds, 3900); };
}
inline std::function<void()> Card(ULONGLONG total, ULONGLONG free) {
  return [=] { SimAddCard(L"Storage Card", total, free); };
}

// The readings the last paint recorded.
inline std::vector<long long> Shown() {
  const ItemStateRecord& s = ItemState;
  return {s.shownBatteryPercent, s.shownBatteryTimeValid, s.shownBatteryHours,
          s.shownBatteryMinutes, s.shownCardPresent,      (long long)s.shownCardTotalBytes,
          s.shownCardFreeMB,     s.shownMemoryFreeMB};
}
inline void SetShown(int v) {
  ItemStateRecord& s = ItemState;
  s.shownBatteryPercent = s.shownBatteryHours = s.shownBatteryMinutes = s.shownCardPresent = v;
  s.shownCardTotalBytes = s.shownCardFreeMB = s.shownMemoryFreeMB = v;
  s.shownBatteryTimeValid = v != 0;
}

inline std::vector<UINT> seen;
inline WNDPROC itemProc;

inline LRESULT CALLBACK ItemRecorder(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_PAINT || m == WM_LBUTTONUP || m >= WM_USER)
    seen.push_back(m);
  return CallWindowProcW(itemProc, w, m, wp, lp);
}

// The Today window: navy for every colour asked for, no watermark painted.
inline LRESULT CALLBACK TodayStandIn(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m >= WM_USER)
    seen.push_back(kHost | m);
  if (m == TODAYM_GETCOLOR)
    return RGB(0, 0, 128);
  return m == TODAYM_DRAWWATERMARK ? 0 : DefWindowProcW(w, m, wp, lp);
}

inline const std::wstring kProbe = BesideTest(L"item_about_probe.exe");

class ItemHost : public testing::Test {
protected:
  void SetUp() override {
    ResetItem();
    WriteAboutLocation(kProbe.c_str());  // a stray tap opens no About dialog
    WNDCLASSW c = {0,       TodayStandIn, 0,       0,       GetModuleHandleW(nullptr),
                   nullptr, nullptr,      nullptr, nullptr, L"TodayStandIn"};
    RegisterClassW(&c);
    today = CreateWindowExW(0, c.lpszClassName, L"Today", WS_POPUP | WS_VISIBLE, 100, 60, 300, 100,
                            nullptr, nullptr, c.hInstance, nullptr);
    entry.fEnabled = TRUE;
    entry.hinstDLL = GetModuleHandleW(nullptr);
    item = InitializeCustomItem(&entry, today);
    itemProc = (WNDPROC)SetWindowLongPtrW(item, GWLP_WNDPROC, (LONG_PTR)ItemRecorder);
    seen.clear();
  }
  void TearDown() override {
    DestroyWindow(today);
    ResetItem();
  }
  LRESULT Query() { return SendMessageW(item, kQuery, (WPARAM)&entry, 0); }
  void LayOut() {  // the host's part after the first answer
    Query();
    SetWindowPos(item, nullptr, 0, 0, kItemWidth, entry.cyp, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateWindow(item);
    seen.clear();
  }
  void Tap(int x, int y = 20) { SendMessageW(item, WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }

  AboutLocationGuard about;
  HWND today = nullptr, item = nullptr;
  TODAYLISTITEM entry = {};
};
