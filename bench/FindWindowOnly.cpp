// A second baseline for the wake-up notice: a program that only looks for the
// Today window, so it pays for USER's start-up as the About program must.
#include <windows.h>

#include "CeTypes.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  FindWindowW(TODAY_WINDOW_CLASS, nullptr);
  return 0;
}
