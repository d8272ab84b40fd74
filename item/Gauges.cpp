#include "Gauges.h"

#include <stdio.h>

#include "ClockFace.h"
#include "DrawGauge.h"
#include "ItemState.h"
#include "resource.h"

namespace {

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

// Decimal digits of a count.
int Digits(unsigned n) {
  int digits = 1;
  for (; n >= 10; n /= 10)
    ++digits;
  return digits;
}

const wchar_t* const kSizeUnits[] = {L"MB", L"GB", L"TB", L"PB", L"EB"};

// Whole units of `bytes`, rounded down, in the first unit from MB up whose
// figure has at most `digits` digits.
unsigned ShortSize(ULONGLONG bytes, int digits, const wchar_t** unit) {
  ULONGLONG most = 9;
  for (int i = 1; i < digits; ++i) most = most * 10 + 9;
  ULONGLONG figure = bytes >> 20;
  int u = 0;
  while (figure > most && u < 4) {
    figure >>= 10;
    ++u;
  }
  *unit = kSizeUnits[u];
  return static_cast<unsigned>(figure);
}

}  // namespace

// The device's form for every hour count whose label fits the band; days and
// hours beyond.
void FormatTimeLabel(wchar_t (&label)[kLabelChars], int hours, int minutes) {
  if (hours < kHoursThatFit)
    FormatLabel(label, L"T %d:%.2d", hours, minutes);
  else FormatLabel(label, L"T %dd%dh", hours / 24, hours % 24);
}

// A label holds six digits with its blanks. Three-digit card numbers and more
// keep four digits of free space by leaving the blank before the unit out,
// but only where the label would not fit with it.
void FormatStorageLabel(wchar_t (&label)[kLabelChars], int card, ULONGLONG freeBytes) {
  const int cardDigits = Digits(card);
  const int digits = cardDigits < 3 ? 6 - cardDigits : 7 - cardDigits;
  const wchar_t* unit;
  const unsigned figure = ShortSize(freeBytes, digits < 1 ? 1 : digits, &unit);
  const bool blank = cardDigits < 3 || cardDigits + Digits(figure) <= 6;
  FormatLabel(label, blank ? L"S%d %u %ls" : L"S%d %u%ls", card, figure, unit);
}

void FormatMemoryLabel(wchar_t (&label)[kLabelChars], ULONGLONG freeBytes) {
  const wchar_t* unit;
  const unsigned figure = ShortSize(freeBytes, 5, &unit);
  FormatLabel(label, L"M %u %ls", figure, unit);
}

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
    FormatTimeLabel(label, ItemState.shownBatteryHours, ItemState.shownBatteryMinutes);
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
  FormatStorageLabel(label, ItemState.status.CardIndex(), free);
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
  FormatMemoryLabel(label, free);
  DrawGauge(hdc, x, y, IDB_MEMORY_ICON, SharePercent(free, total), label);
}
