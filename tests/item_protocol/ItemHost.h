// A stand-in for the Today shell: a visible host window away from the screen
// origin holding one item made by InitializeCustomItem, and one record of the
// messages that reach the item window and the host (host's marked kHost).
#pragma once

#include "ItemEntry.h"
#include "ItemState.h"
#include "ItemWindow.h"
#include "SimulatedDevice.h"

#include <gtest/gtest.h>
#include <functional>
#include <vector>

const UINT kHost = 0x10000;
const UINT kQuery = WM_TODAYCUSTOM_QUERYREFRESHCACHE;
// What one repaint of the item looks like from outside.
#define REPAINT WM_PAINT, TODAYM_GETCOLOR, kHost | TODAYM_DRAWWATERMARK, kHost | TODAYM_GETCOLOR

inline std::vector<UINT> seen;
inline WNDPROC itemProc;
inline std::function<void(HWND)> onHostIdle;  // a modal dialog of the host waits

inline LRESULT CALLBACK HostProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m >= WM_USER) seen.push_back(kHost | m);
  if (m == TODAYM_GETCOLOR) return RGB(0, 0, 128);
  if (m == WM_ENTERIDLE && onHostIdle) onHostIdle(reinterpret_cast<HWND>(lp));
  return DefWindowProcW(w, m, wp, lp);
}

inline LRESULT CALLBACK ItemRecorder(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_PAINT || m == WM_LBUTTONUP || m >= WM_USER) seen.push_back(m);
  return CallWindowProcW(itemProc, w, m, wp, lp);
}

// Replaces AboutLocation (no text: removes it) and puts the installed value back.
struct AboutLocation {
  AboutLocation(DWORD type, const wchar_t* text) {
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Tessel-Quarry\\Quorvane", 0, nullptr, 0,
                    KEY_ALL_ACCESS, nullptr, &key, nullptr);
    had = !RegQueryValueExW(key, L"AboutLocation", nullptr, &savedType, saved, &savedSize);
    if (text) RegSetValueExW(key, L"AboutLocation", 0, type, (const BYTE*)text, (lstrlenW(text) + 1) * 2);
    else RegDeleteValueW(key, L"AboutLocation");
  }
  ~AboutLocation() {
    if (had) RegSetValueExW(key, L"AboutLocation", 0, savedType, saved, savedSize);
    else RegDeleteValueW(key, L"AboutLocation");
    RegCloseKey(key);
  }
  HKEY key = nullptr;
  bool had;
  DWORD savedType = 0, savedSize = sizeof(saved);
  BYTE saved[2 * MAX_PATH];
};

// The stand-in About program, built beside the tests.
inline std::wstring ProbePath() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.rfind(L'\\') + 1) + L"item_about_probe.exe";
}

class ItemHost : public testing::Test {
protected:
  void SetUp() override {
    about = new AboutLocation(REG_SZ, ProbePath().c_str());  // a stray tap opens no dialog
    SimResetDevice();
    while (ItemState.status.FindNextCard()) {}  // no card selected, as after load
    ItemState.wakeupRegistered = true;
    WNDCLASSW host = {0, HostProc, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr,
                      nullptr, L"TodayStandIn"};
    RegisterClassW(&host);
    today = CreateWindowExW(0, L"TodayStandIn", L"", WS_POPUP | WS_VISIBLE, 100, 60, 300, 100,
                            nullptr, nullptr, nullptr, nullptr);
    entry.fEnabled = TRUE;
    entry.hinstDLL = GetModuleHandleW(nullptr);
    item = InitializeCustomItem(&entry, today);
    itemProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(item, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ItemRecorder)));
    seen.clear();
  }
  void TearDown() override {
    DestroyWindow(today);
    SimResetDevice();
    delete about;
  }
  LRESULT Query() { return SendMessageW(item, kQuery, reinterpret_cast<WPARAM>(&entry), 0); }
  // Takes the posted redraws out of the queue and counts them.
  int PostedRedraws() {
    MSG msg;
    int count = 0;
    while (PeekMessageW(&msg, item, WM_DASHBOARD_REDRAW, WM_DASHBOARD_REDRAW, PM_REMOVE)) ++count;
    return count;
  }
  // The host's part after the first answer: lay the item out and paint it.
  void LayOut() {
    Query();
    SetWindowPos(item, nullptr, 0, 0, kItemWidth, entry.cyp, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateWindow(item);
    seen.clear();
  }
  void Repaint() { SendMessageW(item, WM_DASHBOARD_REDRAW, 0, 0); }

  AboutLocation* about = nullptr;
  HWND today = nullptr, item = nullptr;
  TODAYLISTITEM entry = {};
};
