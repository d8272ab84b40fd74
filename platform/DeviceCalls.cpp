// The CE calls whose answers come from the device of this process: the
// simulated one (SimulatedState.cpp) or the live machine, whose removable
// drives stand in for storage cards and which has no object store.
#define CE_PLATFORM_IMPLEMENTATION
#include "CeApi.h"
#include "checked/FaultInjection.h"
#include "Device.h"

DWORD WINAPI CeGetTickCount(void) {
  return LiveDeviceChosen() ? GetTickCount() : SimTickCount();
}

void WINAPI CeGetLocalTime(LPSYSTEMTIME time) {
  if (time && LiveDeviceChosen())
    GetLocalTime(time);
  else if (time)
    SimLocalTime(time);
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
  figures.dwLength = sizeof(figures);
  if (LiveDeviceChosen())
    GlobalMemoryStatusEx(&figures);
  else
    SimMemoryStatus(&figures);
  status->dwLength = sizeof(CE_MEMORYSTATUS);
  status->dwMemoryLoad = figures.dwMemoryLoad;
  status->dwTotalPhys = Saturated(figures.ullTotalPhys);
  status->dwAvailPhys = Saturated(figures.ullAvailPhys);
  status->dwTotalPageFile = Saturated(figures.ullTotalPageFile);
  status->dwAvailPageFile = Saturated(figures.ullAvailPageFile);
  status->dwTotalVirtual = Saturated(figures.ullTotalVirtual);
  status->dwAvailVirtual = Saturated(figures.ullAvailVirtual);
}

// True, with ERROR_INVALID_PARAMETER, for arguments the call does not take.
static bool Invalid(bool invalid) {
  if (invalid)
    SetLastError(ERROR_INVALID_PARAMETER);
  return invalid;
}

BOOL WINAPI CeGetDiskFreeSpaceExW(LPCWSTR path, PULARGE_INTEGER freeToCaller,
                                  PULARGE_INTEGER totalBytes, PULARGE_INTEGER totalFreeBytes) {
  if (CE_FAILS(GetDiskFreeSpaceExW) || Invalid(!path))
    return FALSE;
  return LiveDeviceChosen() ? GetDiskFreeSpaceExW(path, freeToCaller, totalBytes, totalFreeBytes)
                            : SimDiskFreeSpace(path, freeToCaller, totalBytes, totalFreeBytes);
}

// The machine's battery; the desktop reports no voltage, current or temperature.
static DWORD LivePowerStatus(SYSTEM_POWER_STATUS_EX2* status, DWORD length) {
  SYSTEM_POWER_STATUS machine;
  if (!GetSystemPowerStatus(&machine))
    return 0;
  SYSTEM_POWER_STATUS_EX2 s = {};
  s.ACLineStatus = machine.ACLineStatus;
  s.BatteryFlag = machine.BatteryFlag;
  s.BatteryLifePercent = machine.BatteryLifePercent;
  s.BatteryLifeTime = machine.BatteryLifeTime;
  s.BatteryFullLifeTime = machine.BatteryFullLifeTime;
  s.BackupBatteryFlag = BATTERY_FLAG_UNKNOWN;
  s.BackupBatteryLifePercent = BATTERY_PERCENTAGE_UNKNOWN;
  s.BackupBatteryLifeTime = s.BackupBatteryFullLifeTime = BATTERY_LIFE_UNKNOWN;
  s.BatteryChemistry = 0xFF;
  DWORD bytes = length < sizeof(s) ? length : sizeof(s);
  CopyMemory(status, &s, bytes);
  return bytes;
}

DWORD WINAPI GetSystemPowerStatusEx2(SYSTEM_POWER_STATUS_EX2* status, DWORD length, BOOL) {
  // Every reading is fresh, so the request for an update needs no work here.
  if (CE_FAILS(GetSystemPowerStatusEx2) || Invalid(!status || length == 0))
    return 0;
  return LiveDeviceChosen() ? LivePowerStatus(status, length) : SimPowerStatus(status, length);
}

BOOL WINAPI GetStoreInformation(STORE_INFORMATION* info) {
  if (CE_FAILS(GetStoreInformation) || Invalid(!info))
    return FALSE;
  if (!LiveDeviceChosen())
    return SimStoreInformation(info);
  info->dwStoreSize = info->dwFreeSize = 0;
  return TRUE;
}

// `position` is one past the drive number of the card found last (A: = 0).
static bool LiveNextCard(DWORD* position, wchar_t* name) {
  DWORD drives = GetLogicalDrives();
  for (DWORD drive = *position; drive < 26; drive++) {
    wchar_t root[4] = {(wchar_t)(L'A' + drive), L':', L'\\', 0};
    if ((drives & (1u << drive)) && GetDriveTypeW(root) == DRIVE_REMOVABLE) {
      lstrcpyW(name, root);
      *position = drive + 1;
      return true;
    }
  }
  return false;
}

bool NextCard(DWORD* position, wchar_t* name) {
  return LiveDeviceChosen() ? LiveNextCard(position, name) : SimNextCard(position, name);
}
