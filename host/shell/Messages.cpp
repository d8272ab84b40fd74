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

bool WaitPumping(HANDLE handle, DWORD timeoutMs) {
  ULONGLONG start = GetTickCount64();
  for (;;) {
    DWORD passed = (DWORD)(GetTickCount64() - start);
    // Asked once more at the deadline: a handle already signalled counts.
    DWORD left = passed < timeoutMs ? timeoutMs - passed : 0;
    DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) {
      PumpMessages();
      return true;
    }
    if (r != WAIT_OBJECT_0 + 1 || left == 0)
      return false;
    PumpMessages();
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
