// The CE calls whose answers come from the device, routed to the device of
// this process. The storage-card search lives in DeviceCardSearch.cpp, the
// wake-up registration in WakeupEvent.cpp.
#define CE_PLATFORM_IMPLEMENTATION
#include "CeApi.h"
#include "Device.h"

DWORD WINAPI CeGetTickCount(void) {
  return CurrentDevice().tickCount();
}

void WINAPI CeGetLocalTime(LPSYSTEMTIME time) {
  if (time) {
    CurrentDevice().localTime(time);
  }
}

void WINAPI CeGlobalMemoryStatus(LPMEMORYSTATUS status) {
  if (!status) {
    return;
  }
  CurrentDevice().memoryStatus(status);
  status->dwLength = sizeof(MEMORYSTATUS);
}

BOOL WINAPI CeGetDiskFreeSpaceExW(LPCWSTR path, PULARGE_INTEGER freeToCaller,
                                  PULARGE_INTEGER totalBytes, PULARGE_INTEGER totalFreeBytes) {
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return CurrentDevice().diskFreeSpace(path, freeToCaller, totalBytes, totalFreeBytes);
}

DWORD WINAPI GetSystemPowerStatusEx2(PSYSTEM_POWER_STATUS_EX2 status, DWORD length, BOOL) {
  // Every reading is fresh, so the request for an update needs no work here.
  if (!status || length == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return CurrentDevice().powerStatus(status, length);
}

BOOL WINAPI GetStoreInformation(LPSTORE_INFORMATION info) {
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return CurrentDevice().storeInformation(info);
}
