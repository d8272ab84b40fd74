// A stand-in Today shell for the hardening tests: loads the built
// Quorvane.dll, creates its item under a stub "DesktopExplorerWindow" placed at
// screen (0, 0), and drives the item only through its ordinal and its messages.
// Also: copies of the strip's pixels, the GDI handle headroom, and what the
// tests need to see processes this one starts.
#pragma once

#include <string>
#include <vector>

#include "CeApi.h"

namespace hardening {

const UINT kRedraw = WM_USER + 4;   // WM_DASHBOARD_REDRAW
const UINT kWakeup = WM_USER + 15;  // WM_DASHBOARD_WAKEUP
const int kStripWidth = 240;
const int kStripHeight = 42;

// The stub shell's answers: black text on a plain pale background.
const COLORREF kTodayText = RGB(0, 0, 0);
const COLORREF kTodayBackground = RGB(224, 232, 240);

// Horizontal extent of each slot: its dial plus the label band under it.
struct Slot {
  int left, right;  // right is exclusive
};
const Slot kBatterySlot = {25, 80};
const Slot kStorageSlot = {95, 150};
const Slot kMemorySlot = {165, 220};
// Rows of the label band under the dials.
const int kLabelTop = 28, kLabelBottom = 38;

// One copy of the whole strip, 0x00RRGGBB per pixel, rows top to bottom.
struct Strip {
  std::vector<DWORD> pixels;
  DWORD At(int x, int y) const { return pixels[y * kStripWidth + x]; }
  bool operator==(const Strip& other) const { return pixels == other.pixels; }
  bool SlotEquals(const Strip& other, Slot slot) const {
    return RegionEquals(other, slot, 0, kStripHeight);
  }
  // Rows top to bottom (exclusive) of `slot`, e.g. the dial without its label.
  bool RegionEquals(const Strip& other, Slot slot, int top, int bottom) const;
  // Pixels of the label band in `slot` that differ from the background.
  int LabelInk(Slot slot) const;
  // How many pixels differ from `other`, for failure messages.
  int Differences(const Strip& other) const;
};

class StripHost {
public:
  ~StripHost() { Unload(); }
  // Loads the library, creates the item, answers the first refresh query and
  // lays the item out at the height it asks for, as the shell does.
  bool Load();
  // Destroys the windows and unloads the library, so the next Load starts from
  // a freshly loaded item (its state record is zero again).
  void Unload();

  HWND Item() const { return item; }
  // Sends a refresh query with a fresh record whose cyp is 0; returns the
  // answer, and the cyp the item left in *cyp.
  LRESULT Query(DWORD* cyp = nullptr);
  void Paint() { SendMessageW(item, kRedraw, 0, 0); }
  void Tap(int x, int y = 20);
  Strip Capture() const;
  // WM_PAINT messages the item window has received since Load.
  long Paints() const;
  // Paints, then copies the strip.
  Strip PaintAndCapture() {
    Paint();
    return Capture();
  }

  TODAYLISTITEM listItem = {};

private:
  HMODULE dll = nullptr;
  HWND today = nullptr;
  HWND item = nullptr;
};

void PumpMessages();
// Pumps this thread's messages for about `ms` milliseconds.
void PumpFor(DWORD ms);

// How many GDI objects (pens) this process can still create before creation
// fails; every one is freed again before it returns.
int GdiHeadroom();

// Full path of a file beside the test program (build/bin).
std::wstring BesideTest(const wchar_t* name);

// Process ids of the running children of this process.
std::vector<DWORD> ChildProcesses();
// Children in `now` that are not in `before`, as "name (pid)" for messages.
std::wstring NewChildren(const std::vector<DWORD>& before, const std::vector<DWORD>& now);
// Ends the children not in `before` (the ones a failed check found), so that
// no program outlives the test and holds the test run's output open.
void EndNewChildren(const std::vector<DWORD>& before);
// Visible top-level windows of process `pid` (class and title for messages).
std::wstring VisibleWindowsOf(DWORD pid);
// The "About Quorvane" dialog window of process `pid`, if it shows one.
HWND AboutDialogOf(DWORD pid);

// Runs "<path>" <argument> as a desktop program would be started.
bool StartProgram(const std::wstring& path, const std::wstring& argument,
                  PROCESS_INFORMATION* pi);

// An environment variable as a count, or `fallback` when unset.
long CountFromEnvironment(const char* name, long fallback);

// The registry home of "AboutLocation".
extern const wchar_t* const kQuorvaneKey;
extern const wchar_t* const kAboutLocation;

// One value of a key: name, type and bytes.
struct RegValue {
  std::wstring name;
  DWORD type;
  std::vector<BYTE> data;
  bool operator==(const RegValue& o) const {
    return name == o.name && type == o.type && data == o.data;
  }
};
// Every value of HKLM\<kQuorvaneKey>, or exists = false when the key is missing.
struct KeySnapshot {
  bool exists = false;
  DWORD subkeys = 0;
  std::vector<RegValue> values;
  bool operator==(const KeySnapshot& o) const {
    return exists == o.exists && subkeys == o.subkeys && values == o.values;
  }
};
KeySnapshot SnapshotQuorvaneKey();

// Saves the values of the item's key (the installer's "AboutLocation"), and
// puts them back at destruction, also when a test deleted the whole key.
class AboutLocationGuard {
public:
  AboutLocationGuard() : saved(SnapshotQuorvaneKey()) {}
  ~AboutLocationGuard() { Restore(); }
  void Restore();
  // The About program's path: the saved value when it is a string, otherwise
  // AboutDashboard.exe beside the test.
  std::wstring ValidPath() const;

private:
  KeySnapshot saved;
};
// Writes "AboutLocation" with exactly these bytes and this type.
bool WriteAboutLocation(DWORD type, const void* data, DWORD bytes);
bool WriteAboutLocation(const std::wstring& text);  // REG_SZ, terminated
void DeleteAboutLocation();
void DeleteQuorvaneKey();

}  // namespace hardening
