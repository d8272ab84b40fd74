// The strip's readings as gauges, their labels, and the clock in the storage
// slot, drawn from the simulated device.
#include <functional>

#include "ClockFace.h"
#include "DrawGauge.h"
#include "Gauges.h"
#include "ItemHost.h"
#include "ItemTap.h"
#include "resource.h"

const ULONGLONG MiB = 1 << 20, GiB = 1 << 30;

// Each step changes the device or a mode (they add up), then the gauge drawn
// at (35, 3) must equal DrawGauge with the expected percentage and label.
TEST(Gauges, LabelsAndNeedlesFromTheReadings) {
  ResetItem();
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
  auto memory = [] { SimSetStore(16 * MiB, 4 * MiB), SimSetProgramMemory(16 * MiB, 8 * MiB); };
  auto initMode = [] { ItemState.initMode = true; };
  auto noCard = [] {  // the slot shows the clock
    ItemState.initMode = false;
    SimRemoveAllCards();
    ItemState.status.FindFirstCard();
  };
  auto none = [] {};
  const UINT battery = IDB_BATTERY_ICON, storage = IDB_STORAGE_ICON, memoryIcon = IDB_MEMORY_ICON;
  const struct {
    std::function<void()> change;
    UINT icon;  // which gauge; 0: the clock in the storage slot
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
      {memory, memoryIcon, 37.5f, L"M 12 MB"},
      {initMode, battery, 0.0f, L"B Init"},
      {none, storage, 0.0f, L"S Init"},
      {none, memoryIcon, 0.0f, L"M Init"},
      {noCard, 0, 0.0f, nullptr},
  };
  for (const auto& step : steps) {
    step.change();
    Canvas drawn(240, 42, kWhite), expected(240, 42, kWhite);
    (step.icon == battery      ? DrawBatteryGauge
     : step.icon == memoryIcon ? DrawMemoryGauge
                               : DrawStorageGauge)(drawn.dc, 35, 3);
    if (step.icon)
      DrawGauge(expected.dc, 35, 3, step.icon, step.percent, step.label);
    else
      DrawClockGauge(expected.dc, 35, 3);
    EXPECT_TRUE(drawn == expected) << testing::PrintToString(step.label) << " at " << step.percent;
  }
  EXPECT_EQ(33.333335876464844f, SharePercent(1, 3));  // divided in single precision
}

// The clock in the slot at (105, 3), centre (122, 20), drawn at each time,
// equals its twelve marks set pixel by pixel (at 12, 3, 6 and 9 o'clock one
// pixel more to the left) and its two hands drawn as lines from the centre to
// the end points below; each drawing records the time it showed.
TEST(ClockFace, MarksHandsAndTheTimeShownAtEveryDrawing) {
  ResetItem();
  ItemState.textColor = RGB(0, 0, 128);
  const POINT marks[] = {{0, -17}, {8, -14}, {14, -8}, {17, 0},  {14, 8},   {8, 14},
                         {0, 17},  {-8, 14}, {-14, 8}, {-17, 0}, {-14, -8}, {-8, -14}};
  const struct {
    WORD h, m, s;
    POINT hour, minute;
  } times[] = {{0, 0, 0, {0, -8}, {0, -12}},    {12, 0, 0, {0, -8}, {0, -12}},
               {3, 0, 0, {8, 0}, {0, -12}},     {6, 30, 0, {-2, 7}, {0, 12}},
               {9, 45, 30, {-7, -3}, {-11, 0}}, {15, 15, 15, {7, 1}, {11, 0}},
               {23, 59, 59, {0, -7}, {0, -11}}, {23, 59, 58, {0, -7}, {0, -11}}};
  for (const auto& t : times) {
    SYSTEMTIME now = {2026, 12, 1, 7, t.h, t.m, t.s, 0};
    SimSetLocalTime(now);
    GetLocalTime(&now);
    Canvas drawn(240, 42, kWhite), expected(240, 42, kWhite);
    DrawClockGauge(drawn.dc, 105, 3);
    for (int i = 0; i < 12; ++i) {
      for (int x = i % 3 ? 0 : -1; x <= 0; ++x)
        SetPixel(expected.dc, 122 + marks[i].x + x, 20 + marks[i].y, ItemState.textColor);
    }
    ScopedGdiObj<HPEN> pen(CreatePen(PS_SOLID, 1, ItemState.textColor));
    SelectObject(expected.dc, pen);
    for (POINT end : {t.hour, t.minute}) {
      POINT line[2] = {{122, 20}, {122 + end.x, 20 + end.y}};
      Polyline(expected.dc, line, 2);
    }
    SelectObject(expected.dc, GetStockObject(BLACK_PEN));
    EXPECT_TRUE(drawn == expected) << t.h << ":" << t.m << ":" << t.s;
    EXPECT_EQ(0, memcmp(&now, &ItemState.shownClockTime, sizeof now)) << t.h << ":" << t.m;
  }
}
