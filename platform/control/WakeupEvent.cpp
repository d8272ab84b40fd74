// The wake-up event, what the simulated device has registered for it, and its
// fault of refused registrations.
#include "WakeupEvent.h"

#include "CeApi.h"
#include "DeviceRegistry.h"
#include "WakeupPrograms.h"

int SimWakeupRegistrations(wchar_t (*paths)[MAX_PATH], int max) {
  AutoHeapFree<wchar_t> list(ReadWakeupPrograms());
  int count = 0;
  for (const wchar_t* p = list; p && *p; p += lstrlenW(p) + 1, count++) {
    if (paths && count < max)
      lstrcpynW(paths[count], p, MAX_PATH);
  }
  return count;
}

int FireWakeupEvent(HANDLE* processes, int max) {
  AutoHeapFree<wchar_t> list(ReadWakeupPrograms());
  int started = 0;
  for (const wchar_t* p = list; p && *p; p += lstrlenW(p) + 1) {
    // Started as the device starts them: CE's CreateProcessW gives the program
    // the argument alone, and a device path ("\Windows\x.exe") names a file on
    // the device's file system (DeviceFiles.h).
    wchar_t argument[] = APP_RUN_AFTER_WAKEUP;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(p, argument, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                        &process)) {
      continue;
    }
    AutoCloseHandle thread(process.hThread), program(process.hProcess);
    if (processes && started < max) {
      processes[started] = program.Detach();  // the caller's to close
    }
    started++;
  }
  return started;
}

void SimSetWakeupRefusals(DWORD count) {
  WriteDeviceDword(DeviceKey(), wakeupRefusalsValue, count);
}
