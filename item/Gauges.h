// The strip's three readings as dial gauges. Each takes fresh readings from
// ItemState.status, records what it shows in ItemState and draws through
// DrawGauge; in init mode each shows its start-up label with the needle at 0
// and records nothing.
#pragma once

#include "CeApi.h"

// Charge percentage ("B 85%") or, when ItemState.batteryShowsTime is set,
// remaining time ("T 2:05", "T N/A"); the needle shows the charge.
void DrawBatteryGauge(HDC hdc, int x, int y);
// Free space of the selected card ("S1 16 MB"); the clock instead when no
// card is selected or the card cannot be read.
void DrawStorageGauge(HDC hdc, int x, int y);
// Free memory, object store and program memory together ("M 12 MB").
void DrawMemoryGauge(HDC hdc, int x, int y);

// The needle's share of `part` in `total`, as a percentage: both counts to
// single precision, divided there, scaled by 100.0 in double and narrowed
// back. A total of 0 gives 0.
float SharePercent(ULONGLONG part, ULONGLONG total);
