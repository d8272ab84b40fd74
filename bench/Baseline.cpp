// The wake-up notice's baselines: DoNothing.exe, a Win32 program that does
// nothing, and FindWindowOnly.exe, which only looks for the Today window and
// so pays for USER's start-up as the About program must.
#include <windows.h>

#include "CeTypes.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
#ifdef FIND_TODAY_WINDOW
  FindWindowW(TODAY_WINDOW_CLASS, nullptr);
#endif
  return 0;
}
