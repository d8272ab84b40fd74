// AboutDashboard: the About program of the Quorvane Today item. Started after
// a wake-up it tells the item window so; started any other way it shows the
// About dialog (one at a time).
#pragma once

#include "CeApi.h"
#include "DashboardContract.h"

#include <wchar.h>

// Program-wide state, shared by the start-up and the dialog.
extern HINSTANCE appInstance;  // module the dialog and its pictures come from
extern bool creditArmed;       // the notice line was tapped: a logo tap reveals the credit

// Start-up and wake-up notice.
void NotifyItemOfWakeup();
HWND FindItemWindow(HWND window);
bool RunAboutDialog(HINSTANCE instance);
void RegisterAboutClass(HINSTANCE instance, const wchar_t* className);
LRESULT CALLBACK AboutWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The About dialog.
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void FillCardList(HWND dialog);
void ColorLinkText(HDC dc, HWND control, HWND dialog);
void OpenVendorSite();
void OpenProductInfo();
void RevealCredit(HWND dialog);
