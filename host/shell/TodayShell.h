// The Today shell stand-in: the Today window ("DesktopExplorerWindow") with its
// own background and text colour, and the Today items it loads, stacks top to
// bottom and queries for refreshes, as the Pocket PC shell does. The first
// item is the one the scenarios tap, picture and count.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "CeTypes.h"
#include "TodayList.h"

// The Today screen's client area below the navigation bar, and where the item
// sits in it: below a header band with the date, at x 0. The window's client
// area starts at screen x 0, as on the device. The item takes tap points in
// the client coordinates WM_LBUTTONUP carries, wherever the window sits.
#define TODAY_WIDTH 240
#define TODAY_HEIGHT 268
#define TODAY_HEADER_HEIGHT 26

// A loaded item: its library, the shell's record of it and its window.
struct TodayItem {
  HMODULE module;
  TODAYLISTITEM item;
  HWND window;
};

struct TodayShellRecord {
  HWND today;                    // the Today window
  std::vector<TodayItem> items;  // top to bottom, in Order
  // The first item's: the one scenarios tap, picture and count.
  HWND itemWindow;
  WNDPROC itemWindowProc;                     // its own procedure (we count paints)
  PFNCUSTOMOPTIONSDLGPROC optionsDialogProc;  // ordinal 241
  COLORREF textColor;                         // answer to TODAYM_GETCOLOR(TODAYCOLOR_TEXT)
  DWORD intervalMs;                           // refresh query cadence
  bool interactive;                           // a person uses the window (timer, menu, keys)

  int itemPaints;   // WM_PAINTs that reached the first item's window
  int trueAnswers;  // TRUE answers of the first item to refresh queries
};

extern TodayShellRecord TodayShell;

// Creates the Today window (hidden until ShowToday). `framed` gives it a
// caption for use on a desktop; otherwise it is a bare topmost window.
bool CreateTodayWindow(HINSTANCE instance, bool framed);
void ShowToday();
void DestroyTodayWindow();

// Loads the entries' libraries in order, each item below the ones loaded:
// finds ordinals 240 and 241, creates the item and sends it its first
// refresh query. An item that does not load is left out, with a line in
// `leftOut` naming its key (or its library) and why.
void LoadTodayItems(const std::vector<TodayListEntry>& entries, std::vector<std::wstring>* leftOut);
// WM_TODAYCUSTOM_CLEARCACHE, then the windows go and the libraries are freed,
// the last item first.
void UnloadTodayItems();

// One refresh query of each item in turn; a TRUE answer lays that item out at
// its cyp and repaints it, moving the ones below.
void QueryTodayItems();

// Shows the first item's options dialog (template 500, procedure 241) modally.
INT_PTR ShowItemOptions();

// Repaints the header, whose date follows the device clock.
void InvalidateTodayHeader();

// The Today background at a point of the Today window's client area.
COLORREF TodayBackgroundAt(int x, int y);

// Fires the device's wake-up event and waits, pumping, for the programs it
// started (they talk to the item on this thread). Returns how many started,
// or -1 when they did not all finish within `timeoutMs` (one deadline for all).
int FireWakeupAndWait(DWORD timeoutMs);
