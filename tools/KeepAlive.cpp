// A hidden window that keeps Wine's desktop process up between the programs
// of a test run, so each later window costs milliseconds rather than seconds,
// and keeps the simulated device for the session: it holds the device's
// record and takes a shell's changes to the device key as they happen.
// It ends when the session stops its wineserver.
#include <windows.h>

#include "SimulatedDevice.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  SimWatchShell();
  CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance, nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0)
    DispatchMessageW(&msg);
  return 0;
}
