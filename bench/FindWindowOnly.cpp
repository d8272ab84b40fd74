// A second baseline for the wake-up notice: a program that only looks for the
// Today window, so it pays for USER's start-up as the About program must.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  FindWindowW(L"DesktopExplorerWindow", nullptr);
  return 0;
}
