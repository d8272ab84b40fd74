// The pieces of a message loop; real time throughout (GetTickCount64 is not
// routed to the device's clock).
#include "Messages.h"

#include <algorithm>

void PumpMessages() {
  MSG msg;
  for (int i = 0; i < 100000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD); ++i) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage((int)msg.wParam);
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

bool WaitUntil(DWORD waitMs, const std::function<bool()>& test) {
  for (ULONGLONG start = GetTickCount64();;) {
    PumpMessages();
    if (test())
      return true;
    ULONGLONG passed = GetTickCount64() - start;
    if (passed >= waitMs)
      return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, (DWORD)std::min<ULONGLONG>(waitMs - passed, 20),
                              QS_ALLINPUT);
  }
}
