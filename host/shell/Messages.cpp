// The pieces of a message loop; real time throughout (GetTickCount64 is not
// routed to the device's clock).
#include "Messages.h"

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

void SleepPumping(DWORD ms) {
  ULONGLONG start = GetTickCount64();
  for (;;) {
    PumpMessages();
    DWORD passed = (DWORD)(GetTickCount64() - start);
    if (passed >= ms)
      return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - passed, QS_ALLINPUT);
  }
}

bool WaitUntil(DWORD waitMs, const std::function<bool()>& test) {
  ULONGLONG start = GetTickCount64();
  for (;;) {
    PumpMessages();
    if (test())
      return true;
    if (GetTickCount64() - start > waitMs)
      return false;
    SleepPumping(20);
  }
}
