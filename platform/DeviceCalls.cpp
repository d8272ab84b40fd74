// The CE calls whose answers come from the device, routed to the device of
// this process. The storage-card search lives in DeviceCardSearch.cpp, the
// wake-up registration in WakeupEvent.cpp.
#define CE_PLATFORM_IMPLEMENTATION
#include "CeApi.h"
#include "checked/FaultInjection.h"
#include "Device.h"

DWORD WINAPI CeGetTickCount(void) {
  return CurrentDevice().tickCount();
}

void WINAPI CeGetLocalTime(LPSYSTEMTIME time) {
  if (time)
    CurrentDevice().localTime(time);
}

// The device's figures are DWORDs; larger ones read as 0xFFFFFFFF, as the
// desktop's 32-bit GlobalMemoryStatus reports an overflow.
static DWORD Saturated(DWORDLONG figure) {
  return figure > MAXDWORD ? MAXDWORD : (DWORD)figure;
}

void WINAPI CeGlobalMemoryStatus(CE_MEMORYSTATUS* status) {
  if (!status || CE_FAILS(GlobalMemoryStatus))  // no result: the record stays as it was
    return;
  MEMORYSTATUSEX figures = {};
  CurrentDevice().memoryStatus(&figures);
  status->dwLength = sizeof(CE_MEMORYSTATUS);
  status->dwMemoryLoad = figures.dwMemoryLoad;
  status->dwTotalPhys = Saturated(figures.ullTotalPhys);
  status->dwAvailPhys = Saturated(figures.ullAvailPhys);
  status->dwTotalPageFile = Saturated(figures.ullTotalPageFile);
  status->dwAvailPageFile = Saturated(figures.ullAvailPageFile);
  status->dwTotalVirtual = Saturated(figures.ullTotalVirtual);
  status->dwAvailVirtual = Saturated(figures.ullAvailVirtual);
}

BOOL WINAPI CeGetDiskFreeSpaceExW(LPCWSTR path, PULARGE_INTEGER freeToCaller,
                                  PULARGE_INTEGER totalBytes, PULARGE_INTEGER totalFreeBytes) {
  if (CE_FAILS(GetDiskFreeSpaceExW))
    return FALSE;
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return CurrentDevice().diskFreeSpace(path, freeToCaller, totalBytes, totalFreeBytes);
}

DWORD WINAPI GetSystemPowerStatusEx2(SYSTEM_POWER_STATUS_EX2* status, DWORD length, BOOL) {
  if (CE_FAILS(GetSystemPowerStatusEx2))
    return 0;
  // Every reading is fresh, so the request for an update needs no work here.
  if (!status || length == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return CurrentDevice().powerStatus(status, length);
}

BOOL WINAPI GetStoreInformation(STORE_INFORMATION* info) {
  if (CE_FAILS(GetStoreInformation))
    return FALSE;
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return CurrentDevice().storeInformation(info);
}
