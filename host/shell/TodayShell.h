// The Today shell stand-in: the Today window ("DesktopExplorerWindow") with its
// own background and text colour, and the Today items it loads, stacks top to
// bottom and queries for refreshes, as the Pocket PC shell does. The first
// item is the one the scenarios tap, picture and count.
#pragma once

#include <windows.h>

#include "CeTypes.h"

// The Today screen's client area below the navigation bar, and where the item
// sits in it: below a header band with the date, at x 0. The window's client
// area starts at screen x 0, as on the device, because the item maps tap
// points with ScreenToClient and only x matters to it.
#define TODAY_WIDTH 240
#define TODAY_HEIGHT 268
#define TODAY_HEADER_HEIGHT 26

// An item under the first one: shown and queried, not counted.
struct TodayFurtherItem {
  HMODULE module;
  TODAYLISTITEM item;
  HWND window;
};
#define TODAY_MAX_FURTHER_ITEMS 15

struct TodayShellRecord {
  HWND today;                    // the Today window
  HMODULE itemModule;            // the loaded item library
  PFNCUSTOMOPTIONSDLGPROC optionsDialogProc;   // ordinal 241
  TODAYLISTITEM item;            // the shell's record of the item
  HWND itemWindow;
  WNDPROC itemWindowProc;        // the item's own procedure (we count paints)
  COLORREF textColor;            // answer to TODAYM_GETCOLOR(TODAYCOLOR_TEXT)
  DWORD intervalMs;              // refresh query cadence
  bool interactive;              // a person uses the window (timer, menu, keys)

  int itemPaints;                // WM_PAINTs that reached the item window
  int queries;                   // refresh queries sent
  int trueAnswers;               // ... of which answered TRUE
  int layouts;                   // times the item was laid out at cyp

  TodayFurtherItem further[TODAY_MAX_FURTHER_ITEMS];  // in Order, below the first
  int furtherCount;
};

extern TodayShellRecord TodayShell;

// Creates the Today window (hidden until ShowToday). `framed` gives it a
// caption for use on a desktop; otherwise it is a bare topmost window.
bool CreateTodayWindow(HINSTANCE instance, bool framed);
void ShowToday();
void DestroyTodayWindow();

// Loads the item library, finds ordinals 240 and 241, fills the item record
// (from `listed`, the Today list's entry, when given), creates the item and
// sends the first refresh query. `error` gets a sentence.
bool LoadTodayItem(const wchar_t* dllPath, wchar_t* error, int errorSize,
                   const TODAYLISTITEM* listed = nullptr);
// Loads a further item of the Today list the same way, below the ones loaded.
bool LoadFurtherTodayItem(const wchar_t* dllPath, const TODAYLISTITEM& listed, wchar_t* error,
                          int errorSize);
// WM_TODAYCUSTOM_CLEARCACHE, then the windows go and the libraries are freed
// (the further items first).
void UnloadTodayItem();

// One refresh query of the first item, then of each further one; a TRUE answer
// lays that item out at its cyp and repaints it, moving the ones below. The
// result is the first item's answer.
BOOL QueryTodayItem();

// Shows the item's options dialog (template 500, procedure 241) modally.
INT_PTR ShowItemOptions();

// Repaints the header, whose date follows the device clock.
void InvalidateTodayHeader();

// The Today background at a point of the Today window's client area.
COLORREF TodayBackgroundAt(int x, int y);

// Dispatches everything queued for this thread (posted messages, paints, and
// messages other processes send to the item), returning when nothing is left.
void PumpMessages();
// Waits for a process handle while pumping; false on timeout.
bool WaitPumping(HANDLE handle, DWORD timeoutMs);
// Lets real time pass while pumping.
void SleepPumping(DWORD ms);

// Fires the device's wake-up event and waits, pumping, for the programs it
// started (they talk to the item on this thread). Returns how many started,
// or -1 when they did not all finish within `timeoutMs` (one deadline for all).
int FireWakeupAndWait(DWORD timeoutMs);
