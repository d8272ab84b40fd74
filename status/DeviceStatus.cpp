#include "DeviceStatus.h"

// Size of the power record the power probes ask the driver to fill.
static const DWORD powerRecordBytes = sizeof(SYSTEM_POWER_STATUS_EX2);

DeviceStatus::DeviceStatus() : findData(), findHandle(INVALID_HANDLE_VALUE), cardIndex(0) {}

DeviceStatus::~DeviceStatus() {
  // The item's instance may still stand on a card when the library unloads.
  if (findHandle != INVALID_HANDLE_VALUE) {
    FindClose(findHandle);
  }
}

bool DeviceStatus::FindFirstCard() {
  // A search left open would leak its handle; start afresh.
  if (findHandle != INVALID_HANDLE_VALUE) {
    FindClose(findHandle);
    cardIndex = 0;
  }
  ZeroMemory(&findData, sizeof(findData));
  findHandle = FindFirstFlashCard(&findData);
  if (findHandle == INVALID_HANDLE_VALUE) {
    return false;
  }
  cardIndex = 1;
  return true;
}

bool DeviceStatus::FindNextCard() {
  bool ok = false;
  if (findHandle != INVALID_HANDLE_VALUE) {
    ok = FindNextFlashCard(findHandle, &findData) != FALSE;
    cardIndex++;
  }
  if (!ok) {
    if (findHandle != INVALID_HANDLE_VALUE) {
      FindClose(findHandle);
    }
    findHandle = INVALID_HANDLE_VALUE;
    cardIndex = 0;
  }
  return ok;
}

int DeviceStatus::CardIndex() const {
  return cardIndex;
}

const wchar_t* DeviceStatus::CardName() const {
  return findHandle == INVALID_HANDLE_VALUE ? L"" : findData.cFileName;
}

ULONGLONG DeviceStatus::CardTotalBytes(BOOL* found) {
  if (findHandle == INVALID_HANDLE_VALUE) {
    *found = FALSE;
    return 0;
  }
  ULARGE_INTEGER toCaller = {}, total = {}, totalFree = {};
  *found = GetDiskFreeSpaceExW(findData.cFileName, &toCaller, &total, &totalFree);
  return total.QuadPart;
}

// The whole card's free space, not the caller's quota.
ULONGLONG DeviceStatus::CardFreeBytes() {
  if (findHandle == INVALID_HANDLE_VALUE) {
    return 0;
  }
  ULARGE_INTEGER toCaller = {}, total = {}, totalFree = {};
  GetDiskFreeSpaceExW(findData.cFileName, &toCaller, &total, &totalFree);
  return totalFree.QuadPart;
}

// Memory counts the object store and program memory together. A failed store
// query leaves its half at zero.
ULONGLONG DeviceStatus::MemoryFreeBytes() {
  STORE_INFORMATION store = {};
  GetStoreInformation(&store);
  MEMORYSTATUS memory = {};
  memory.dwLength = sizeof(memory);
  GlobalMemoryStatus(&memory);
  return (ULONGLONG)store.dwFreeSize + memory.dwAvailPhys;
}

ULONGLONG DeviceStatus::MemoryTotalBytes() {
  MEMORYSTATUS memory = {};
  memory.dwLength = sizeof(memory);
  GlobalMemoryStatus(&memory);
  STORE_INFORMATION store = {};
  GetStoreInformation(&store);
  return (ULONGLONG)store.dwStoreSize + memory.dwTotalPhys;
}

BOOL DeviceStatus::CardSpace(ULONGLONG* totalBytes, ULONGLONG* freeBytes) {
  ULARGE_INTEGER toCaller = {}, total = {}, totalFree = {};
  BOOL found = findHandle != INVALID_HANDLE_VALUE &&
               GetDiskFreeSpaceExW(findData.cFileName, &toCaller, &total, &totalFree);
  *totalBytes = found ? total.QuadPart : 0;
  *freeBytes = found ? totalFree.QuadPart : 0;
  return found;
}

bool DeviceStatus::Memory(ULONGLONG* freeBytes, ULONGLONG* totalBytes) {
  STORE_INFORMATION store = {};
  MEMORYSTATUS memory = {};
  memory.dwLength = sizeof(memory);
  GlobalMemoryStatus(&memory);  // no result: a record left empty was not filled
  const bool read = GetStoreInformation(&store) && memory.dwTotalPhys != 0;
  *totalBytes = read ? (ULONGLONG)store.dwStoreSize + memory.dwTotalPhys : 0;
  const ULONGLONG free = (ULONGLONG)store.dwFreeSize + memory.dwAvailPhys;
  *freeBytes = read ? (free < *totalBytes ? free : *totalBytes) : 0;
  return read;
}

// Deliberate: on a short answer the voltage is left as it was; callers keep their last one.
// With the AC line unknown the percentage and voltage are still delivered, but
// the result is false.
bool DeviceStatus::PowerStatus(bool* acOnline, int* percent, int* voltage) {
  *acOnline = false;
  *percent = 0;
  SYSTEM_POWER_STATUS_EX2 power = {};
  if (GetSystemPowerStatusEx2(&power, powerRecordBytes, TRUE) != powerRecordBytes) {
    return false;
  }
  bool ok = true;
  if (power.ACLineStatus == AC_LINE_UNKNOWN) {
    ok = false;
  } else {
    *acOnline = power.ACLineStatus == AC_LINE_ONLINE;
  }
  *percent = power.BatteryLifePercent;
  *voltage = (int)power.BatteryVoltage;
  return ok;
}

// Remaining time on battery. On false no output is written: callers pass the
// fields that hold the last valid time.
bool DeviceStatus::BatteryTime(int* hours, int* minutes, int* seconds) {
  SYSTEM_POWER_STATUS_EX2 power = {};
  if (GetSystemPowerStatusEx2(&power, powerRecordBytes, TRUE) != powerRecordBytes) {
    return false;
  }
  if (power.ACLineStatus == AC_LINE_UNKNOWN || power.ACLineStatus == AC_LINE_ONLINE) {
    return false;
  }
  DWORD t = power.BatteryLifeTime;
  if (t == BATTERY_LIFE_UNKNOWN) {
    return false;
  }
  *hours = (int)(t / 3600);
  *minutes = (int)(t % 3600 / 60);
  *seconds = (int)(t % 60);
  return true;
}
