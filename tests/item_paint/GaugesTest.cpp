#include <functional>

#include "ClockFace.h"
#include "DrawGauge.h"
#include "Gauges.h"
#include "ItemTap.h"
#include "PaintTestSupport.h"
#include "resource.h"

namespace {

const ULONGLONG MiB = 1 << 20;

// Each step changes the device or a mode (they add up), then the gauge drawn
// at (35, 3) must equal DrawGauge with the expected percentage and label.
TEST(Gauges, LabelsAndNeedlesFromTheReadings) {
  ResetItemState();
  auto tapBattery = [] { OnItemTap(nullptr, 35, 20); };
  const struct {
    std::function<void()> change;
    void (*draw)(HDC, int, int);
    UINT icon;
    float percent;
    const wchar_t* label;
  } steps[] = {
      {[] { SimSetPower(AC_LINE_OFFLINE, 85, 7509, 3900); }, DrawBatteryGauge, IDB_BATTERY_ICON,
       85.0f, L"B 85%"},
      {tapBattery, DrawBatteryGauge, IDB_BATTERY_ICON, 85.0f, L"T 2:05"},
      {[] { SimSetPower(AC_LINE_OFFLINE, 85, 7 * 60, 3900); }, DrawBatteryGauge,
       IDB_BATTERY_ICON, 85.0f, L"T 0:07"},
      {[] { SimSetPower(AC_LINE_ONLINE, 255, 7 * 60, 3900); }, DrawBatteryGauge,
       IDB_BATTERY_ICON, 100.0f, L"T N/A"},  // on mains: no remaining time
      {tapBattery, DrawBatteryGauge, IDB_BATTERY_ICON, 100.0f, L"B 100%"},
      {[] {
         SimAddCard(L"Storage Card", 64 * MiB, 16 * MiB);
         ItemState.status.FindFirstCard();
       },
       DrawStorageGauge, IDB_STORAGE_ICON, 25.0f, L"S1 16 MB"},
      {[] { SimAddCard(L"Storage Card", 8192 * MiB, 5120 * MiB); }, DrawStorageGauge,
       IDB_STORAGE_ICON, 62.5f, L"S1 5120 MB"},
      {[] { SimAddCard(L"Storage Card", 0, 1572863); }, DrawStorageGauge, IDB_STORAGE_ICON, 0.0f,
       L"S1 1 MB"},  // a total of 0 puts the needle at 0
      {[] {
         SimSetStore(16 * MiB, 4 * MiB);
         SimSetProgramMemory(16 * MiB, 8 * MiB);
       },
       DrawMemoryGauge, IDB_MEMORY_ICON, 37.5f, L"M 12 MB"},
      {[] { ItemState.initMode = true; }, DrawBatteryGauge, IDB_BATTERY_ICON, 0.0f, L"B Init"},
      {[] {}, DrawStorageGauge, IDB_STORAGE_ICON, 0.0f, L"S Init"},
      {[] {}, DrawMemoryGauge, IDB_MEMORY_ICON, 0.0f, L"M Init"},
  };
  for (const auto& step : steps) {
    step.change();
    Canvas drawn(240, 42, kWhite), expected(240, 42, kWhite);
    SetBkMode(drawn.dc, TRANSPARENT);
    SetBkMode(expected.dc, TRANSPARENT);
    step.draw(drawn.dc, 35, 3);
    DrawGauge(expected.dc, 35, 3, step.icon, step.percent, step.label);
    EXPECT_TRUE(drawn == expected) << testing::PrintToString(step.label) << " at " << step.percent;
  }
  ItemState.initMode = false;
  // Without a card the slot shows the clock.
  SimRemoveAllCards();
  ItemState.status.FindFirstCard();
  Canvas drawn(240, 42, kWhite), clock(240, 42, kWhite);
  DrawStorageGauge(drawn.dc, 105, 3);
  DrawClockGauge(clock.dc, 105, 3);
  EXPECT_TRUE(drawn == clock);
}

TEST(Gauges, SharePercentInSinglePrecision) {
  EXPECT_EQ(25.0f, SharePercent(16 * MiB, 64 * MiB));
  EXPECT_EQ(37.5f, SharePercent(12 * MiB, 32 * MiB));
  EXPECT_EQ(33.333335876464844f, SharePercent(1, 3));
  EXPECT_EQ(0.0f, SharePercent(5, 0));
}

}  // namespace
