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
  for (int i = 1; i < digits; ++i)
    most = most * 10 + 9;
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
  else
    FormatLabel(label, L"T %dd%dh", hours / 24, hours % 24);
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
  if (total == 0)
    return 0.0f;  // no share of nothing: the needle rests at 0
  const float share = static_cast<float>(part) / static_cast<float>(total);
  return static_cast<float>(static_cast<double>(share) * 100.0);
}

int ShownCharge() {
  bool acOnline = false;
  int percent = 0, voltage = kNoReading;
  // The voltage is written exactly when the power driver answered.
  ItemState.status.PowerStatus(&acOnline, &percent, &voltage);
  if (voltage == kNoReading)
    return kNoReading;
  // Deliberate: over 100 (255: not available) reads as full, as on the device.
  return percent > 100 ? 100 : percent;
}

DWORD ShownMegabytes(bool read, ULONGLONG freeBytes) {
  return read ? Megabytes(freeBytes) : DWORD(kNoReading);
}

// A reading that failed shows "N/A" and no needle: neither an empty battery
// nor a last value that may no longer hold.
static const float kNoNeedle = __builtin_nanf("");

bool DrawBatteryGauge(HDC hdc, int x, int y) {
  if (ItemState.initMode)
    return DrawGauge(hdc, x, y, IDB_BATTERY_ICON, 0.0f, L"B Init");
  const int percent = ShownCharge();
  ItemState.shownBatteryPercent = percent;

  int seconds = 0;
  const bool valid = ItemState.status.BatteryTime(&ItemState.shownBatteryHours,
                                                  &ItemState.shownBatteryMinutes, &seconds);
  ItemState.shownBatteryTimeValid = valid;

  wchar_t label[kLabelChars];
  if (!ItemState.batteryShowsTime) {
    if (percent == kNoReading)
      FormatLabel(label, L"B N/A");
    else
      FormatLabel(label, L"B %d%%", percent);
  } else if (valid) {
    FormatTimeLabel(label, ItemState.shownBatteryHours, ItemState.shownBatteryMinutes);
  } else {
    FormatLabel(label, L"T N/A");
  }
  const float needle = percent == kNoReading ? kNoNeedle : static_cast<float>(percent);
  return DrawGauge(hdc, x, y, IDB_BATTERY_ICON, needle, label);
}

bool DrawStorageGauge(HDC hdc, int x, int y) {
  if (ItemState.initMode)
    return DrawGauge(hdc, x, y, IDB_STORAGE_ICON, 0.0f, L"S Init");
  // One reading of the card: its size and free space belong together.
  ULONGLONG total = 0, free = 0;
  ItemState.shownCardPresent = ItemState.status.CardSpace(&total, &free);
  if (!ItemState.shownCardPresent) {
    ItemState.shownCardTotalBytes = 0;
    ItemState.shownCardFreeMB = 0;
    return DrawClockGauge(hdc, x, y);
  }
  ItemState.shownCardTotalBytes = total;
  ItemState.shownCardFreeMB = Megabytes(free);

  wchar_t label[kLabelChars];
  FormatStorageLabel(label, ItemState.status.CardIndex(), free);
  return DrawGauge(hdc, x, y, IDB_STORAGE_ICON, SharePercent(free, total), label);
}

bool DrawMemoryGauge(HDC hdc, int x, int y) {
  if (ItemState.initMode)
    return DrawGauge(hdc, x, y, IDB_MEMORY_ICON, 0.0f, L"M Init");
  // One reading of both figures, so that free is never above total.
  ULONGLONG free = 0, total = 0;
  const bool read = ItemState.status.Memory(&free, &total);
  ItemState.shownMemoryFreeMB = ShownMegabytes(read, free);

  wchar_t label[kLabelChars];
  if (read)
    FormatMemoryLabel(label, free);
  else
    FormatLabel(label, L"M N/A");
  return DrawGauge(hdc, x, y, IDB_MEMORY_ICON, read ? SharePercent(free, total) : kNoNeedle, label);
}
