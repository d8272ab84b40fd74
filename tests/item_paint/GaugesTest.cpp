#include "ClockFace.h"
#include "DrawGauge.h"
#include "Gauges.h"
#include "PaintTestSupport.h"
#include "resource.h"

namespace {

const ULONGLONG MiB = 1 << 20;

// The gauge drawn at (35, 3) equals DrawGauge with the expected caption,
// percentage and label, and the band holds exactly that label.
void ExpectGauge(void (*draw)(HDC, int, int), UINT icon, float percent, const wchar_t* label) {
  Canvas drawn(240, 42, kWhite), expected(240, 42, kWhite), white(240, 42, kWhite);
  SetBkMode(drawn.dc, TRANSPARENT);
  SetBkMode(expected.dc, TRANSPARENT);
  draw(drawn.dc, 35, 3);
  DrawGauge(expected.dc, 35, 3, icon, percent, label);
  EXPECT_TRUE(drawn == expected) << testing::PrintToString(label) << " at " << percent;
  ExpectLabel(drawn, 35, 3, label, kBlack, white);
}

TEST(Gauges, BatteryLabelsAndClampedPercentage) {
  ResetItemState();
  SimSetPower(AC_LINE_OFFLINE, 85, 2 * 3600 + 5 * 60 + 9, 3900);
  ExpectGauge(DrawBatteryGauge, IDB_BATTERY_ICON, 85.0f, L"B 85%");
  ItemState.batteryShowsTime = true;
  ExpectGauge(DrawBatteryGauge, IDB_BATTERY_ICON, 85.0f, L"T 2:05");
  SimSetPower(AC_LINE_OFFLINE, 85, 7 * 60, 3900);
  ExpectGauge(DrawBatteryGauge, IDB_BATTERY_ICON, 85.0f, L"T 0:07");
  SimSetPower(AC_LINE_ONLINE, 255, 7 * 60, 3900);  // on mains: no remaining time
  ExpectGauge(DrawBatteryGauge, IDB_BATTERY_ICON, 100.0f, L"T N/A");
  EXPECT_TRUE(ItemState.shownBatteryPercent == 100 && !ItemState.shownBatteryTimeValid);
  EXPECT_TRUE(ItemState.shownBatteryHours == 0 && ItemState.shownBatteryMinutes == 7);  // kept
  ItemState.batteryShowsTime = false;
  ExpectGauge(DrawBatteryGauge, IDB_BATTERY_ICON, 100.0f, L"B 100%");
}

TEST(Gauges, StorageAndMemoryFromFull64BitCounts) {
  ResetItemState();
  SimAddCard(L"Storage Card", 64 * MiB, 16 * MiB);
  ASSERT_TRUE(ItemState.status.FindFirstCard());
  ExpectGauge(DrawStorageGauge, IDB_STORAGE_ICON, 25.0f, L"S1 16 MB");
  EXPECT_TRUE(ItemState.shownCardTotalBytes == 64 * MiB && ItemState.shownCardFreeMB == 16);
  SimAddCard(L"Storage Card", 8192 * MiB, 5120 * MiB);  // 5 GiB free of 8 GiB
  ExpectGauge(DrawStorageGauge, IDB_STORAGE_ICON, 62.5f, L"S1 5120 MB");
  EXPECT_EQ(ItemState.shownCardTotalBytes, 8192 * MiB);
  SimAddCard(L"Storage Card", 0, 1572863);  // a total of 0 puts the needle at 0
  ExpectGauge(DrawStorageGauge, IDB_STORAGE_ICON, 0.0f, L"S1 1 MB");
  SimSetStore(16 * MiB, 4 * MiB);
  SimSetProgramMemory(16 * MiB, 8 * MiB);
  ExpectGauge(DrawMemoryGauge, IDB_MEMORY_ICON, 37.5f, L"M 12 MB");
  EXPECT_EQ(ItemState.shownMemoryFreeMB, 12u);
  EXPECT_EQ(SharePercent(16 * MiB, 64 * MiB), 25.0f);
  EXPECT_EQ(SharePercent(12 * MiB, 32 * MiB), 37.5f);
  EXPECT_EQ(SharePercent(1, 3), 33.333335876464844f);  // divided in single precision
  // Without a card the slot shows the clock and the card's figures are zeroed.
  SimRemoveAllCards();
  ItemState.status.FindFirstCard();
  ItemState.shownCardTotalBytes = ItemState.shownCardFreeMB = 7;
  Canvas drawn(240, 42, kWhite), clock(240, 42, kWhite);
  DrawStorageGauge(drawn.dc, 105, 3);
  EXPECT_TRUE(!ItemState.shownCardPresent && ItemState.shownCardTotalBytes == 0 && ItemState.shownCardFreeMB == 0);
  DrawClockGauge(clock.dc, 105, 3);
  EXPECT_TRUE(drawn == clock);
}

TEST(Gauges, InitModeShowsStartUpLabelsAndRecordsNothing) {
  ResetItemState();
  ItemState.initMode = true;
  ItemState.shownBatteryPercent = -1;
  ItemState.shownMemoryFreeMB = ItemState.shownCardFreeMB = 99;
  ExpectGauge(DrawBatteryGauge, IDB_BATTERY_ICON, 0.0f, L"B Init");
  ExpectGauge(DrawStorageGauge, IDB_STORAGE_ICON, 0.0f, L"S Init");
  ExpectGauge(DrawMemoryGauge, IDB_MEMORY_ICON, 0.0f, L"M Init");
  EXPECT_TRUE(ItemState.shownBatteryPercent == -1 && ItemState.shownMemoryFreeMB == 99 && ItemState.shownCardFreeMB == 99);
}

}  // namespace
