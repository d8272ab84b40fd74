// The Today shell stand-in: the Today window and the items it loads, stacks
// top to bottom and queries for refreshes, as the Pocket PC shell does.
#pragma once

#include "TodayList.h"

// The client area below the navigation bar, at screen x 0 as on the device,
// and the header band with the date above the items.
#define TODAY_WIDTH 240
#define TODAY_HEIGHT 268
#define TODAY_HEADER_HEIGHT 26

// A loaded item: its library and the shell's record of it (hwndCustom its window).
struct TodayItem {
  HMODULE module;
  TODAYLISTITEM item;
};

struct TodayShellRecord {
  HWND today;                    // the Today window
  std::vector<TodayItem> items;  // top to bottom, in Order
  // The first item's: the one scenarios tap, picture and count.
  HWND itemWindow;
  WNDPROC itemWindowProc;                     // its own procedure (we count paints)
  PFNCUSTOMOPTIONSDLGPROC optionsDialogProc;  // ordinal 241
  int itemPaints;                             // WM_PAINTs that reached it
  int trueAnswers;                            // its TRUE answers to refresh queries
  COLORREF textColor;                         // answer to TODAYM_GETCOLOR(TODAYCOLOR_TEXT)
  DWORD intervalMs;                           // refresh query cadence
  bool interactive;                           // a person uses the window (timer, menu, keys)
};

extern TodayShellRecord TodayShell;

// Hidden until ShowToday: with a caption when `framed`, else bare and topmost.
bool CreateTodayWindow(HINSTANCE instance, bool framed);
void ShowToday();
void DestroyTodayWindow();

// Loads the entries in order, each below the ones loaded, with its first
// refresh query; one that does not load goes into `leftOut`, named and why.
void LoadTodayItems(const std::vector<TodayListEntry>& entries, std::vector<std::wstring>* leftOut);
// WM_TODAYCUSTOM_CLEARCACHE to each, the last first, then it is freed.
void UnloadTodayItems();
// A refresh query to each item; TRUE lays it out at its cyp, moving those below.
void QueryTodayItems();

// The first item's options dialog (template 500, procedure 241), modal.
INT_PTR ShowItemOptions();
// Repaints the header, whose date follows the device clock.
void InvalidateTodayHeader();
// The Today background at a point of the Today window's client area.
COLORREF TodayBackgroundAt(int x, int y);

// Fires the wake-up event and waits, pumping, for the programs it started:
// how many, or -1 when they did not all end within `timeoutMs`.
int FireWakeupAndWait(DWORD timeoutMs);
