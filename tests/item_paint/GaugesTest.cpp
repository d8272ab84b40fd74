#include <functional>

#include "ClockFace.h"
#include "DrawGauge.h"
#include "Gauges.h"
#include "ItemTap.h"
#include "PaintTestSupport.h"
#include "resource.h"

namespace {

const ULONGLONG MiB = 1 << 20, GiB = 1 << 30;

// Each step changes the device or a mode (they add up), then the gauge drawn
// at (35, 3) must equal DrawGauge with the expected percentage and label.
TEST(Gauges, LabelsAndNeedlesFromTheReadings) {
  ResetItemState();
  auto tapBattery = [] { OnItemTap(nullptr, 35, 20); };
  auto power = [](BYTE ac, BYTE percent, DWORD seconds) {
    return [=] { SimSetPower(ac, percent, seconds, 3900); };
  };
  auto card = [](ULONGLONG total, ULONGLONG free) {
    return [=] {
      SimAddCard(L"Storage Card", total, free);
      ItemState.status.FindFirstCard();
    };
  };
  auto initMode = [] { ItemState.initMode = true; };
  auto none = [] {};
  const UINT battery = IDB_BATTERY_ICON, storage = IDB_STORAGE_ICON, memory = IDB_MEMORY_ICON;
  const struct {
    std::function<void()> change;
    UINT icon;  // which gauge
    float percent;
    const wchar_t* label;
  } steps[] = {
      {power(AC_LINE_OFFLINE, 85, 7509), battery, 85.0f, L"B 85%"},
      {tapBattery, battery, 85.0f, L"T 2:05"},
      {power(AC_LINE_OFFLINE, 85, 7 * 60), battery, 85.0f, L"T 0:07"},
      {power(AC_LINE_ONLINE, 255, 7 * 60), battery, 100.0f, L"T N/A"},  // mains: no time left
      {tapBattery, battery, 100.0f, L"B 100%"},
      {card(8192 * MiB, 5120 * MiB), storage, 62.5f, L"S1 5120 MB"},
      {card(0, 1572863), storage, 0.0f, L"S1 1 MB"},  // a total of 0 puts the needle at 0
      {card(2048 * GiB, 2048 * GiB), storage, 100.0f, L"S1 2048 GB"},
      {power(AC_LINE_OFFLINE, 101, 0xFFFFFFFE), battery, 100.0f, L"B 100%"},
      {tapBattery, battery, 100.0f, L"T 49710d6h"},
      {[] { SimSetStore(16 * MiB, 4 * MiB), SimSetProgramMemory(16 * MiB, 8 * MiB); }, memory,
       37.5f, L"M 12 MB"},
      {initMode, battery, 0.0f, L"B Init"},
      {none, storage, 0.0f, L"S Init"},
      {none, memory, 0.0f, L"M Init"},
  };
  for (const auto& step : steps) {
    step.change();
    Canvas drawn(240, 42, kWhite), expected(240, 42, kWhite);
    SetBkMode(drawn.dc, TRANSPARENT);
    SetBkMode(expected.dc, TRANSPARENT);
    (step.icon == battery   ? DrawBatteryGauge
     : step.icon == storage ? DrawStorageGauge
                            : DrawMemoryGauge)(drawn.dc, 35, 3);
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

// The device's forms while they fit the band, and the shorter ones beyond.
TEST(Gauges, LabelFormsAtTheEdges) {
  wchar_t label[kLabelChars];
  auto time = [&](int h, int m) { return FormatTimeLabel(label, h, m), std::wstring(label); };
  auto card = [&](int n, ULONGLONG b) {
    return FormatStorageLabel(label, n, b), std::wstring(label);
  };
  auto memory = [&](ULONGLONG b) { return FormatMemoryLabel(label, b), std::wstring(label); };
  const struct {
    std::wstring label;
    const wchar_t* expected;
  } forms[] = {
      {time(kHoursThatFit - 1, 59), L"T 999999:59"},
      {time(kHoursThatFit, 0), L"T 41666d16h"},
      {card(9, 99999 * MiB + MiB - 1), L"S9 99999 MB"},
      {card(9, 100000 * MiB), L"S9 97 GB"},
      {card(10, 9999 * MiB), L"S10 9999 MB"},
      {card(99, 10000 * MiB), L"S99 9 GB"},
      {card(100, 999 * MiB), L"S100 999 MB"},
      {card(100, 1000 * MiB), L"S100 1000MB"},
      {card(100, 2048 * GiB), L"S100 2048GB"},
      {card(99999, 9 * MiB), L"S99999 9 MB"},
      {memory(99999 * MiB), L"M 99999 MB"},
      {memory(2 * 0xFFFFFFFFull), L"M 8191 MB"},
      {memory(~0ULL), L"M 16383 PB"},
  };
  for (const auto& f : forms)
    EXPECT_EQ(f.expected, f.label);
}

// Whole shares and a total of 0: LabelsAndNeedlesFromTheReadings.
TEST(Gauges, SharePercentInSinglePrecision) {
  EXPECT_EQ(33.333335876464844f, SharePercent(1, 3));
}

}  // namespace
