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
  auto none = [] {};
  const UINT battery = IDB_BATTERY_ICON, storage = IDB_STORAGE_ICON, memoryIcon = IDB_MEMORY_ICON;
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
      {memory, memoryIcon, 37.5f, L"M 12 MB"},
      {initMode, battery, 0.0f, L"B Init"},
      {none, storage, 0.0f, L"S Init"},
      {none, memoryIcon, 0.0f, L"M Init"},
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
  EXPECT_EQ(33.333335876464844f, SharePercent(1, 3));  // divided in single precision
}

// The device's forms while they fit the band, and the shorter ones beyond:
// T(hours, minutes), S(card, bytes), M(bytes).
TEST(Gauges, LabelFormsAtTheEdges) {
  const struct {
    char label;
    int n;
    ULONGLONG value;
    const wchar_t* expected;
  } forms[] = {
      {'T', kHoursThatFit - 1, 59, L"T 999999:59"},
      {'T', kHoursThatFit, 0, L"T 41666d16h"},
      {'S', 9, 99999 * MiB + MiB - 1, L"S9 99999 MB"},
      {'S', 9, 100000 * MiB, L"S9 97 GB"},
      {'S', 10, 9999 * MiB, L"S10 9999 MB"},
      {'S', 99, 10000 * MiB, L"S99 9 GB"},
      {'S', 100, 999 * MiB, L"S100 999 MB"},
      {'S', 100, 1000 * MiB, L"S100 1000MB"},
      {'S', 100, 2048 * GiB, L"S100 2048GB"},
      {'S', 99999, 9 * MiB, L"S99999 9 MB"},
      {'M', 0, 99999 * MiB, L"M 99999 MB"},
      {'M', 0, 2 * 0xFFFFFFFFull, L"M 8191 MB"},
      {'M', 0, ~0ULL, L"M 16383 PB"},
  };
  for (const auto& f : forms) {
    wchar_t label[kLabelChars];
    if (f.label == 'T')
      FormatTimeLabel(label, f.n, int(f.value));
    else if (f.label == 'S')
      FormatStorageLabel(label, f.n, f.value);
    else
      FormatMemoryLabel(label, f.value);
    EXPECT_STREQ(f.expected, label);
  }
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
