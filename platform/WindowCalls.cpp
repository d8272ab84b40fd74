// The CE window calls whose meaning differs from the desktop's: the dialog
// class's CE name, and the "bring owned windows along" mark of a handle.
#define CE_PLATFORM_IMPLEMENTATION
#include "CeApi.h"

extern "C" HWND WINAPI CeFindWindowW(LPCWSTR className, LPCWSTR windowName) {
  // CE names the dialog class "Dialog"; the desktop's is "#32770".
  if (className && !IS_INTRESOURCE(className) && wcscmp(className, L"Dialog") == 0)
    className = L"#32770";
  return FindWindowW(className, windowName);
}

extern "C" BOOL WINAPI CeSetForegroundWindow(HWND window) {
  // CE marks "bring the owned windows along" by the handle's lowest bit. The
  // desktop brings owned windows with their owner anyway. The marked value
  // must not reach it: Wine's IsWindow accepts it (it ignores that bit), but
  // activating it leaves no foreground window at all.
  ULONG_PTR value = reinterpret_cast<ULONG_PTR>(window);
  HWND plain = reinterpret_cast<HWND>(value & ~static_cast<ULONG_PTR>(1));
  if ((value & 1) && IsWindow(plain))
    window = plain;
  return SetForegroundWindow(window);
}
