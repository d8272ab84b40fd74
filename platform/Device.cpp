// Chooses the device of this process: CE_DEVICE=live reads the machine it
// runs on, simulated (or nothing) the simulated device.
#define CE_PLATFORM_IMPLEMENTATION
#include "Device.h"

static const wchar_t deviceVariable[] = L"CE_DEVICE";

// -1 until the environment has been read. Threads that race to read it all
// store the same value; ChooseLiveDevice runs before any other thread calls in.
static volatile LONG deviceKind = -1;

bool LiveDeviceChosen() {
  LONG kind = deviceKind;
  if (kind < 0) {
    wchar_t value[16] = L"";
    DWORD length = GetEnvironmentVariableW(deviceVariable, value, 16);
    kind = length < 16 && lstrcmpiW(value, L"live") == 0 ? 1 : 0;
    if (length >= 16 || (value[0] && !kind && lstrcmpiW(value, L"simulated") != 0)) {
      wchar_t why[96];
      wsprintfW(why, L"CE_DEVICE=%s: the device is live or simulated (empty: simulated)", value);
      StopDevice(2, why);
    }
    deviceKind = kind;
  }
  return kind != 0;
}

void ChooseLiveDevice(bool live) {
  SetEnvironmentVariableW(deviceVariable, live ? L"live" : L"simulated");
  deviceKind = live;
}

void StopDevice(UINT status, const wchar_t* why) {
  char text[512];
  int n = WideCharToMultiByte(CP_UTF8, 0, why, -1, text, sizeof(text) - 1, nullptr, nullptr);
  text[n ? n - 1 : 0] = '\n';
  DWORD written;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, n ? n : 1, &written, nullptr);
  ExitProcess(status);
}
