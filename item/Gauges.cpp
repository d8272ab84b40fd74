#include "Gauges.h"

#include <stdio.h>

#include "ClockFace.h"
#include "DrawGauge.h"
#include "ItemState.h"
#include "resource.h"

namespace {

const int kLabelChars = 50;

// Formats into a label buffer of kLabelChars, always terminated, never past it.
template <typename... Args>
void FormatLabel(wchar_t (&label)[kLabelChars], const wchar_t* format, Args... args) {
  _snwprintf(label, kLabelChars - 1, format, args...);
  label[kLabelChars - 1] = L'\0';
}

// Whole megabytes, rounded down.
DWORD Megabytes(ULONGLONG bytes) {
  return static_cast<DWORD>(bytes >> 20);
}

}  // namespace

float SharePercent(ULONGLONG part, ULONGLONG total) {
  if (total == 0) return 0.0f;  // no share of nothing: the needle rests at 0
  const float share = static_cast<float>(part) / static_cast<float>(total);
  return static_cast<float>(static_cast<double>(share) * 100.0);
}

void DrawBatteryGauge(HDC hdc, int x, int y) {
  if (ItemState.initMode) {
    DrawGauge(hdc, x, y, IDB_BATTERY_ICON, 0.0f, L"B Init");
    return;
  }
  bool acOnline = false;
  int percent = 0, voltage = 0;
  ItemState.status.PowerStatus(&acOnline, &percent, &voltage);  // percent 0 on failure
  // Deliberate: over 100 (255: not available) reads as full, as on the device.
  if (percent > 100) percent = 100;
  ItemState.shownBatteryPercent = percent;

  int seconds = 0;
  const bool valid = ItemState.status.BatteryTime(&ItemState.shownBatteryHours,
                                                  &ItemState.shownBatteryMinutes, &seconds);
  ItemState.shownBatteryTimeValid = valid;

  wchar_t label[kLabelChars];
  if (!ItemState.batteryShowsTime) {
    FormatLabel(label, L"B %d%%", percent);
  } else if (valid) {
    FormatLabel(label, L"T %d:%.2d", ItemState.shownBatteryHours, ItemState.shownBatteryMinutes);
  } else {
    FormatLabel(label, L"T N/A");
  }
  DrawGauge(hdc, x, y, IDB_BATTERY_ICON, static_cast<float>(percent), label);
}

void DrawStorageGauge(HDC hdc, int x, int y) {
  if (ItemState.initMode) {
    DrawGauge(hdc, x, y, IDB_STORAGE_ICON, 0.0f, L"S Init");
    return;
  }
  const ULONGLONG total = ItemState.status.CardTotalBytes(&ItemState.shownCardPresent);
  if (!ItemState.shownCardPresent) {
    ItemState.shownCardTotalBytes = 0;
    ItemState.shownCardFreeMB = 0;
    DrawClockGauge(hdc, x, y);
    return;
  }
  ItemState.shownCardTotalBytes = total;
  const ULONGLONG free = ItemState.status.CardFreeBytes();
  const DWORD freeMB = Megabytes(free);
  ItemState.shownCardFreeMB = freeMB;

  wchar_t label[kLabelChars];
  FormatLabel(label, L"S%d %u MB", ItemState.status.CardIndex(), static_cast<unsigned>(freeMB));
  DrawGauge(hdc, x, y, IDB_STORAGE_ICON, SharePercent(free, total), label);
}

void DrawMemoryGauge(HDC hdc, int x, int y) {
  if (ItemState.initMode) {
    DrawGauge(hdc, x, y, IDB_MEMORY_ICON, 0.0f, L"M Init");
    return;
  }
  const ULONGLONG free = ItemState.status.MemoryFreeBytes();
  const ULONGLONG total = ItemState.status.MemoryTotalBytes();
  const DWORD freeMB = Megabytes(free);
  ItemState.shownMemoryFreeMB = freeMB;

  wchar_t label[kLabelChars];
  FormatLabel(label, L"M %u MB", static_cast<unsigned>(freeMB));
  DrawGauge(hdc, x, y, IDB_MEMORY_ICON, SharePercent(free, total), label);
}
