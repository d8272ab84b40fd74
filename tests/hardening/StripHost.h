// A stand-in Today shell for the hardening tests: loads the built
// Quorvane.dll, creates its item under a stub Today window at
// screen (0, 0), and drives it only through its ordinal and its messages.
#pragma once

#include <vector>

#include "CeApi.h"
#include "DashboardContract.h"
#include "TestSupport.h"

namespace hardening {

const int kStripWidth = 240, kStripHeight = 42;

// Columns of each slot (dial and label band), right exclusive; label rows.
struct Slot {
  int left, right;
};
const Slot kBatterySlot = {25, 80}, kStorageSlot = {95, 150}, kMemorySlot = {165, 220};
const Slot kWholeStrip = {0, kStripWidth};
const int kLabelTop = 28, kLabelBottom = 38;

// A copy of the whole strip, 0x00RRGGBB per pixel, rows top to bottom.
struct Strip {
  std::vector<DWORD> pixels;
  int Differences(const Strip& other, Slot slot = kWholeStrip) const;  // in the slot's columns
  int LabelInk(Slot slot) const;  // label-band pixels that are not background
};

// A fresh device on battery at 80 %, its clock frozen; with a card if asked.
void SeedDevice(bool card);

class StripHost {
public:
  ~StripHost() { Unload(); }
  // Loads the library afresh (its state record zero) and creates the item;
  // answers the first refresh query and lays the item out at the height asked
  // for, as the shell does. On failure `error` says why.
  bool Load();
  // Destroys the windows and unloads the library: the next Load starts from a
  // freshly loaded item (its state record zero again).
  void Unload();

  HWND Item() const { return item; }
  // A refresh query with a fresh cyp of 0; the item's cyp goes to *cyp.
  LRESULT Query(DWORD* cyp = nullptr);
  void Paint() { SendMessageW(item, WM_DASHBOARD_REDRAW, 0, 0); }
  void Tap(int x, int y = 20);
  Strip Capture() const;
  Strip PaintAndCapture() {
    Paint();
    return Capture();
  }
  long Paints() const;  // WM_PAINT messages the item received since Load

  TODAYLISTITEM listItem = {};
  const char* error = "";

private:
  HMODULE dll = nullptr;
  HWND today = nullptr, item = nullptr;
};

}  // namespace hardening
