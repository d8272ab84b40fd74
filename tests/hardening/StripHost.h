// The built Quorvane.dll in the host's Today shell, driven only by messages.
#pragma once

#include <vector>

#include "CeApi.h"
#include "DashboardContract.h"
#include "SimulatedDevice.h"
#include "TestSupport.h"
#include "TodayShell.h"

namespace hardening {

const int kStripWidth = 240, kStripHeight = 42;

// Columns of each slot (dial and label band), right exclusive.
struct Slot {
  int left, right;
};
const Slot kBatterySlot = {25, 80}, kStorageSlot = {95, 150}, kMemorySlot = {165, 220};

// A copy of the whole strip, 0x00RRGGBB per pixel, rows top to bottom.
struct Strip {
  std::vector<DWORD> pixels;
  int Differences(const Strip& other, Slot slot = {0, kStripWidth}) const {
    int n = 0;
    for (int y = 0; y < kStripHeight; y++)
      for (int x = slot.left; x < slot.right; x++)
        n += pixels[y * kStripWidth + x] != other.pixels[y * kStripWidth + x];
    return n;
  }
};

// A fresh device on battery at 80 %, its clock frozen; with a card if asked.
inline void SeedDevice(bool card) {
  SimResetDevice();
  SimSetPower(AC_LINE_OFFLINE, 80, 7380, 3900);
  SimSetStore(16u << 20, 8u << 20);
  SimSetProgramMemory(32ull << 20, 12ull << 20);
  if (card)
    SimAddCard(L"Storage Card", 64ull << 20, 16ull << 20);
}

struct StripHost {
  ~StripHost() { Unload(); }
  // Loads the library afresh (its state record zero) in a new Today window,
  // which sends the first refresh query and lays the item out; else `error`.
  bool Load() {
    error = "the library stayed loaded after FreeLibrary";
    if (GetModuleHandleW(L"Quorvane.dll"))
      return false;
    CreateTodayWindow(GetModuleHandleW(nullptr), false);  // without it no item loads
    ShowToday();
    std::vector<std::wstring> leftOut;
    std::wstring dll = BesideTest(L"Quorvane.dll");
    TodayShell.trueAnswers = 0;
    LoadTodayItems({EntryForLibrary(dll, dll)}, &leftOut);
    error = "the first refresh query did not answer TRUE";
    for (const std::wstring& why : leftOut)
      error.assign(why.begin(), why.end());  // ASCII but for the path
    PumpMessages();
    paintsAtLoad = TodayShell.itemPaints;
    if (Item() && TodayShell.trueAnswers)
      error.clear();
    return error.empty();
  }
  // The shell's part: clears the item's cache, destroys it, frees the library.
  void Unload() {
    DestroyTodayWindow();
    PumpMessages();
  }

  HWND Item() const { return TodayShell.itemWindow; }
  // A refresh query with a fresh cyp of 0.
  LRESULT Query() {
    TODAYLISTITEM record = TodayShell.items[0].item;
    record.cyp = 0;
    return SendMessageW(Item(), WM_TODAYCUSTOM_QUERYREFRESHCACHE, (WPARAM)&record, 0);
  }
  void Paint() { SendMessageW(Item(), WM_DASHBOARD_REDRAW, 0, 0); }
  void Tap(int x, int y = 20) {
    SendMessageW(Item(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(Item(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
  Strip Capture() const {
    Strip strip = {CopyClientArea(Item())};
    strip.pixels.resize(kStripWidth * kStripHeight);
    return strip;
  }
  Strip PaintAndCapture() {
    Paint();
    return Capture();
  }
  long Paints() const { return TodayShell.itemPaints - paintsAtLoad; }  // since Load

  std::string error;
  int paintsAtLoad = 0;
};

}  // namespace hardening
