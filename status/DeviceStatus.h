// DeviceStatus: the one way both deliverables read the device. It walks the
// storage cards one at a time (the card it stands on is the selected card)
// and answers probes for that card, memory, battery charge and battery time.
// Every probe asks the platform afresh; only the card walk keeps state.
#pragma once

#include "CeApi.h"

class DeviceStatus {
public:
  DeviceStatus();
  virtual ~DeviceStatus();

  DeviceStatus(const DeviceStatus&) = delete;
  DeviceStatus& operator=(const DeviceStatus&) = delete;

  bool FindFirstCard();
  bool FindNextCard();
  int CardIndex() const;
  const wchar_t* CardName() const;

  // Full 64-bit byte counts.
  ULONGLONG CardTotalBytes(BOOL* found);
  ULONGLONG CardFreeBytes();
  ULONGLONG MemoryFreeBytes();
  ULONGLONG MemoryTotalBytes();
  // One reading of the selected card, or of memory (object store and program
  // memory together, free never above total): false when it cannot be read,
  // the outputs then 0.
  BOOL CardSpace(ULONGLONG* totalBytes, ULONGLONG* freeBytes);
  bool Memory(ULONGLONG* freeBytes, ULONGLONG* totalBytes);

  bool PowerStatus(bool* acOnline, int* percent, int* voltage);
  bool BatteryTime(int* hours, int* minutes, int* seconds);

private:
  WIN32_FIND_DATAW findData;
  HANDLE findHandle;
  int cardIndex;
};
