// The strip's three readings as dial gauges. Each takes fresh readings from
// ItemState.status, records what it shows in ItemState and draws through
// DrawGauge; in init mode each shows its start-up label with the needle at 0
// and records nothing.
#pragma once

#include "CeApi.h"

// Each is false when a part of the gauge could not be drawn.
// Charge percentage ("B 85%") or, when ItemState.batteryShowsTime is set,
// remaining time ("T 2:05", "T N/A"); the needle shows the charge. When the
// power status cannot be read, "B N/A" without a needle.
bool DrawBatteryGauge(HDC hdc, int x, int y);
// Free space of the selected card ("S1 16 MB"); the clock instead when no
// card is selected or the card cannot be read.
bool DrawStorageGauge(HDC hdc, int x, int y);
// Free memory, object store and program memory together ("M 12 MB"); "M N/A"
// without a needle when either cannot be read.
bool DrawMemoryGauge(HDC hdc, int x, int y);

// The readings as the gauges show and record them, for the refresh decision:
// the charge clamped to 100, or kNoReading when the power status cannot be
// read; free megabytes, or kNoReading when the memory cannot be read.
const int kNoReading = -1;
int ShownCharge();
DWORD ShownMegabytes(bool read, ULONGLONG freeBytes);

// The labels' texts, into buffers of kLabelChars. Each keeps the device's
// form as long as it fits the 55-pixel band under a gauge with a free column
// at each end ("T 999999:59", "S9 99999 MB", "S100 999 MB") and turns to a
// shorter form that stays true beyond: a time of kHoursThatFit hours or more
// in days and hours ("T 41666d16h"), a free space in the first of MB, GB, TB,
// ... whose whole figure has few enough digits ("S1 2048 GB"), and for cards
// 100 and up the unit right after a figure that would not fit with the blank
// ("S100 9999MB"). Figures are rounded down. Memory, two 32-bit counts on the
// device, reaches "M 8191 MB" at most and stays in MB.
const int kLabelChars = 50;
const int kHoursThatFit = 1000000;
void FormatTimeLabel(wchar_t (&label)[kLabelChars], int hours, int minutes);
void FormatStorageLabel(wchar_t (&label)[kLabelChars], int card, ULONGLONG freeBytes);
void FormatMemoryLabel(wchar_t (&label)[kLabelChars], ULONGLONG freeBytes);

// The needle's share of `part` in `total`, as a percentage: both counts to
// single precision, divided there, scaled by 100.0 in double and narrowed
// back. A total of 0 gives 0.
float SharePercent(ULONGLONG part, ULONGLONG total);
