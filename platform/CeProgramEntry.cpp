// The entry point of the system's programs on the desktop (linked in by
// programs that ask for wWinMain): WinMain receives the argument alone,
// exactly as on the device. MinGW's own start-up would also drop leading
// blanks of the argument, which changes its meaning.
#define CE_PLATFORM_IMPLEMENTATION
#include "CeApi.h"
#include "CeCommandLine.h"

extern "C" int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR, int show) {
  LPWSTR argument = const_cast<LPWSTR>(CeCommandArgument(GetCommandLineW()));
  return CeWinMain(instance, previous, argument, show);
}
