// The Pocket PC shell's dialog services on the desktop. The device's screen
// is 240 x 320 pixels with the navigation bar in its top 26 rows and, for
// dialogs with a menu bar, the menu bar in its bottom 26.
#define CE_PLATFORM_IMPLEMENTATION
#include "CeApi.h"
#include "checked/FaultInjection.h"

namespace {

const int kScreenWidth = 240, kScreenHeight = 320, kBarHeight = 26;

const wchar_t kOriginalProcProperty[] = L"CeStandIn.DialogProc";

// The caption's Done button of a CE dialog sends IDOK; the desktop's close box
// sends it here. (Subclassed with a window property rather than comctl32's
// helpers, so that a program loads comctl32 only when it needs its controls.)
LRESULT CALLBACK DoneButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC original = reinterpret_cast<WNDPROC>(GetPropW(window, kOriginalProcProperty));
  if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE) {
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    return 0;
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    RemovePropW(window, kOriginalProcProperty);
  }
  return CallWindowProcW(original, window, message, wParam, lParam);
}

void GiveDoneButton(HWND dialog) {
  LONG_PTR style = GetWindowLongPtrW(dialog, GWL_STYLE);
  SetWindowLongPtrW(dialog, GWL_STYLE, style | WS_SYSMENU);
  if (!GetPropW(dialog, kOriginalProcProperty)) {
    LONG_PTR original =
        SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DoneButtonProc));
    SetPropW(dialog, kOriginalProcProperty, reinterpret_cast<HANDLE>(original));
  }
  SetWindowPos(dialog, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

}  // namespace

extern "C" BOOL WINAPI SHInitDialog(SHINITDLGINFO* info) {
  if (CE_FAILS(SHInitDialog) || !info || !IsWindow(info->hDlg))
    return FALSE;
  DWORD flags = info->dwMask & SHIDIM_FLAGS ? info->dwFlags : 0;
  if (flags & SHIDIF_DONEBUTTON)
    GiveDoneButton(info->hDlg);
  // Below the navigation bar, the full width; above the menu bar unless the
  // dialog takes the whole screen.
  if (flags & (SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN)) {
    bool whole = (flags & SHIDIF_SIZEDLGFULLSCREEN) != 0;
    int height = kScreenHeight - kBarHeight - (whole ? 0 : kBarHeight);
    SetWindowPos(info->hDlg, nullptr, 0, kBarHeight, kScreenWidth, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // SHIDIF_SIPDOWN: the desktop has no input panel to lower.
  return TRUE;
}
