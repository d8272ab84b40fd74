// The live device: the machine the system runs on. Removable drives stand in
// for storage cards; the machine has no object store, so the store is empty.
#define CE_PLATFORM_IMPLEMENTATION
#include "CeApi.h"
#include "Device.h"

static DWORD LiveTickCount() {
  return GetTickCount();
}

static void LiveLocalTime(SYSTEMTIME* time) {
  GetLocalTime(time);
}

static void LiveMemoryStatus(MEMORYSTATUSEX* status) {
  status->dwLength = sizeof(*status);
  GlobalMemoryStatusEx(status);
}

static BOOL LiveStoreInformation(STORE_INFORMATION* info) {
  info->dwStoreSize = 0;
  info->dwFreeSize = 0;
  return TRUE;
}

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
  s.BackupBatteryLifeTime = BATTERY_LIFE_UNKNOWN;
  s.BackupBatteryFullLifeTime = BATTERY_LIFE_UNKNOWN;
  // The desktop reports no voltage, current or temperature.
  s.BatteryChemistry = 0xFF;
  DWORD bytes = length < sizeof(s) ? length : sizeof(s);
  CopyMemory(status, &s, bytes);
  return bytes;
}

// `position` is one past the drive number of the card found last (A: = 0).
static bool LiveNextCard(DWORD* position, wchar_t* name) {
  DWORD drives = GetLogicalDrives();
  for (DWORD drive = *position; drive < 26; drive++) {
    if (!(drives & (1u << drive)))
      continue;
    wchar_t root[4] = {(wchar_t)(L'A' + drive), L':', L'\\', 0};
    if (GetDriveTypeW(root) == DRIVE_REMOVABLE) {
      lstrcpyW(name, root);
      *position = drive + 1;
      return true;
    }
  }
  return false;
}

static BOOL LiveDiskFreeSpace(LPCWSTR path, PULARGE_INTEGER freeToCaller,
                              PULARGE_INTEGER totalBytes, PULARGE_INTEGER totalFreeBytes) {
  return GetDiskFreeSpaceExW(path, freeToCaller, totalBytes, totalFreeBytes);
}

const DeviceBackend LiveDeviceBackend = {
    LiveTickCount,   LiveLocalTime, LiveMemoryStatus,  LiveStoreInformation,
    LivePowerStatus, LiveNextCard,  LiveDiskFreeSpace,
};
