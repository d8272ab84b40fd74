// The About path: one About dialog at a time, run modally from template 103.
#include "AboutProgram.h"
#include "resource.h"

HINSTANCE appInstance;
bool creditArmed;

bool RunAboutDialog(HINSTANCE instance) {
  appInstance = instance;
  wchar_t className[100];
  LoadStringW(appInstance, IDS_ABOUT_CLASS, className, 100);

  // An earlier start still shows its dialog: bring it (with the windows it
  // owns, hence the low bit) to the front and end.
  HWND existing = FindWindowW(L"Dialog", L"About Quorvane");
  if (existing) {
    SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<ULONG_PTR>(existing) | 1));
    return false;
  }

  RegisterAboutClass(instance, className);
  creditArmed = false;

  HRSRC found = FindResourceW(appInstance, MAKEINTRESOURCEW(IDD_ABOUT), RT_DIALOG);
  HGLOBAL loaded = found ? LoadResource(appInstance, found) : nullptr;
  if (loaded) {
    // A loaded resource is the template itself; no separate lock is needed.
    DialogBoxIndirectParamW(appInstance, static_cast<LPCDLGTEMPLATEW>(loaded), nullptr,
                            AboutDialogProc, 0);
  }
  return true;
}

void RegisterAboutClass(HINSTANCE instance, const wchar_t* className) {
  WNDCLASSW wc = {};
  wc.style = CS_VREDRAW | CS_HREDRAW;
  wc.lpfnWndProc = AboutWindowProc;
  wc.cbClsExtra = 0;
  wc.cbWndExtra = 0;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_ABOUT_ICON));
  wc.hCursor = nullptr;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszMenuName = nullptr;
  wc.lpszClassName = className;
  RegisterClassW(&wc);
}

LRESULT CALLBACK AboutWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}
