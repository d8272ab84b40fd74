// The gauges and the clock at exact pixels (the bitmaps: the host's pictures).
#include "ClockFace.h"
#include "DrawGauge.h"
#include "Gauges.h"
#include "ItemHost.h"
#include "resource.h"

// A label as the gauges format it: T(hours, minutes), S(card, bytes), M(bytes).
static std::wstring Label(char form, long long n, ULONGLONG value) {
  wchar_t label[kLabelChars];
  if (form == 'T')
    FormatTimeLabel(label, int(n), int(value));
  else if (form == 'S')
    FormatStorageLabel(label, int(n), value);
  else
    FormatMemoryLabel(label, value);
  return label;
}

// A gauge at (10, 5) equals dial and caption alone (at 200 % there is no
// needle) plus the line from the pivot (x + 17, y + 19) to the end point,
// which stays unpainted. From 131.9 %, past the half turn, there is none.
TEST(DrawGauge, NeedleEndPointsAndLimits) {
  ResetItem();
  const struct {
    float percent;
    POINT end;  // from (x, y); none at (0, 0)
  } needles[] = {{0.0f, {5, 11}},    {25.0f, {11, 6}},
                 {50.0f, {17, 5}},  // just past the quarter turn: 14.99... truncates to 14
                 {75.0f, {23, 6}},   {100.0f, {29, 11}},
                 {131.7f, {31, 19}},  // still short of the half turn
                 {-40.0f, {3, 21}},   // below the left horizontal
                 {131.9f, {0, 0}}};
  for (const auto& n : needles) {
    Canvas gauge(60, 45, kWhite), expected(60, 45, kWhite);
    DrawGauge(gauge.dc, 10, 5, IDB_BATTERY_ICON, n.percent, L"");
    DrawGauge(expected.dc, 10, 5, IDB_BATTERY_ICON, 200.0f, L"");
    POINT line[2] = {{27, 24}, {10 + n.end.x, 5 + n.end.y}};
    if (n.end.x || n.end.y)
      Polyline(expected.dc, line, 2);
    EXPECT_TRUE(gauge == expected) << n.percent << " %";
  }
  // An end point on the DC's left or top edge draws no needle.
  Canvas edge(40, 40, kWhite), white(40, 40, kWhite);
  DrawNeedle(edge.dc, 15, 30, 15, 0.0);  // would end at x 0
  DrawNeedle(edge.dc, 30, 12, 15, 1.0);  // would end at y 0
  EXPECT_TRUE(edge == white);
  DrawNeedle(edge.dc, 16, 30, 15, 0.0);
  EXPECT_TRUE(edge.At(2, 30) == kBlack && edge.At(1, 30) == kWhite);
}

// The label forms read as below. Every label up to the documented limits (one
// digit at every length of each figure) has ink in the 55-pixel band under its
// gauge, none in its edge columns; the device's forms at the short ones' start do.
TEST(DrawGauge, EveryLabelFitsItsBand) {
  ResetItem();
  std::vector<std::wstring> labels = {L"B 100%", L"T N/A", L"B Init", L"S Init", L"M Init"};
  // T 999999:59, S1 99999 MB and M 8191 MB: the widest-labels picture.
  const std::pair<std::wstring, const wchar_t*> forms[] = {
      {Label('T', kHoursThatFit, 0), L"T 41666d16h"}, {Label('S', 9, 100000 * MiB), L"S9 97 GB"},
      {Label('S', 10, 9999 * MiB), L"S10 9999 MB"},   {Label('S', 99, 10000 * MiB), L"S99 9 GB"},
      {Label('S', 100, 999 * MiB), L"S100 999 MB"},   {Label('S', 100, 1000 * MiB), L"S100 1000MB"},
      {Label('S', 100, 2048 * GiB), L"S100 2048GB"},  {Label('S', 99999, 9 * MiB), L"S99999 9 MB"},
      {Label('M', 0, 99999 * MiB), L"M 99999 MB"},    {Label('M', 0, ~0ULL), L"M 16383 PB"},
  };
  for (const auto& [label, text] : forms) {
    EXPECT_EQ(text, label);
    labels.push_back(label);
  }
  const ULONGLONG cardLimit = 2048 * GiB, memoryLimit = cardLimit + 0xFFFFFFFF;
  for (int d = 0; d <= 9; ++d) {
    for (ULONGLONG same = d, length = 1; length <= 7; same = same * 10 + d, ++length) {
      for (ULONGLONG bytes : {same << 20, same << 30, cardLimit}) {
        for (int card : {d, d * 11, d * 111, d * 1111, d * 11111, 100}) {  // every length
          if (card >= 1 && bytes <= cardLimit)
            labels.push_back(Label('S', card, bytes));
        }
        if (bytes <= memoryLimit)
          labels.push_back(Label('M', 0, bytes));
      }
      int minutes = d * 11 < 59 ? d * 11 : 59, hours = d * 11 < 23 ? d * 11 : 23;
      if (same <= 1193046)
        labels.push_back(Label('T', same, minutes));
      if (same <= 49710)
        labels.push_back(Label('T', same * 24 + hours, minutes));
    }
  }
  labels.push_back(Label('M', 0, memoryLimit));
  const std::wstring beyond[] = {L"T " + std::to_wstring(kHoursThatFit) + L":00", L"S100 1000 MB"};
  labels.insert(labels.end(), std::begin(beyond), std::end(beyond));
  Canvas bare(75, 45, kWhite);
  wchar_t face[LF_FACESIZE] = L"";
  GetTextFaceW(bare.dc, LF_FACESIZE, face);
  EXPECT_STREQ(L"Liberation Sans Narrow", face);  // the device's label font was found
  DrawGauge(bare.dc, 20, 5, IDB_STORAGE_ICON, 200.0f, L"");
  for (const std::wstring& text : labels) {
    Canvas c(75, 45, kWhite);
    DrawGauge(c.dc, 20, 5, IDB_STORAGE_ICON, 200.0f, text.c_str());
    int ink = 0, edge = 0;
    for (int y = 30; y < 40; ++y)
      for (int x = 10; x < 65; ++x)
        if (c.At(x, y) != bare.At(x, y))
          ++ink, edge += x == 10 || x == 64;
    EXPECT_GT(ink, 0) << testing::PrintToString(text);
    const bool fits = text != beyond[0] && text != beyond[1];
    EXPECT_EQ(fits, edge == 0) << testing::PrintToString(text) << (fits ? " touches" : " fits in");
  }
}

// Each step changes the device or a mode (they add up), then the gauge drawn
// at (35, 3) must equal DrawGauge with the expected percentage and label.
TEST(Gauges, LabelsAndNeedlesFromTheReadings) {
  ResetItem();
  SimAddCard(L"Storage Card", 64 * MiB, 32 * MiB);
  ItemState.status.FindFirstCard();
  auto tapBattery = [] { ItemState.batteryShowsTime = !ItemState.batteryShowsTime; };
  const UINT battery = IDB_BATTERY_ICON, storage = IDB_STORAGE_ICON, memory = IDB_MEMORY_ICON;
  const struct {
    std::function<void()> change;
    UINT icon;
    float percent;
    const wchar_t* label;
  } steps[] = {
      {tapBattery, battery, 80.0f, L"T 2:00"},                          // the device's defaults
      {Power(AC_LINE_ONLINE, 255, 7 * 60), battery, 100.0f, L"T N/A"},  // mains: no time left
      {tapBattery, battery, 100.0f, L"B 100%"},
      {Card(0, 1572863), storage, 0.0f, L"S1 1 MB"},  // a total of 0 puts the needle at 0
      {Card(2048 * GiB, 2048 * GiB), storage, 100.0f, L"S1 2048 GB"},
      {Power(AC_LINE_OFFLINE, 101, 0xFFFFFFFE), battery, 100.0f, L"B 100%"},
      {tapBattery, battery, 100.0f, L"T 49710d6h"},
      // A failed query shows "N/A" and no needle (as at 200 %), not a reading of 0.
      {[] { SimSetPowerQueryBytes(20); }, battery, 200.0f, L"T N/A"},
      {tapBattery, battery, 200.0f, L"B N/A"},
      {[] { SimSetStoreQueryFails(true); }, memory, 200.0f, L"M N/A"},
  };
  for (const auto& step : steps) {
    step.change();
    Canvas drawn(240, 42, kWhite), expected(240, 42, kWhite);
    (step.icon == battery   ? DrawBatteryGauge
     : step.icon == storage ? DrawStorageGauge
                            : DrawMemoryGauge)(drawn.dc, 35, 3);
    DrawGauge(expected.dc, 35, 3, step.icon, step.percent, step.label);
    EXPECT_TRUE(drawn == expected) << testing::PrintToString(step.label) << " at " << step.percent;
  }
  EXPECT_EQ(33.333335876464844f, SharePercent(1, 3));  // divided in single precision
  ResetItem();                                         // no card search left open for the exit
}

// The clock centred at (122, 20): twelve marks (at 12, 3, 6 and 9 o'clock one
// pixel more to the left) and two hands from the centre to the end points
// below; each drawing records the time it showed.
TEST(ClockFace, MarksHandsAndTheTimeShownAtEveryDrawing) {
  ResetItem();
  ItemState.textColor = RGB(0, 0, 128);
  const POINT marks[] = {{0, -17}, {8, -14}, {14, -8}, {17, 0},  {14, 8},   {8, 14},
                         {0, 17},  {-8, 14}, {-14, 8}, {-17, 0}, {-14, -8}, {-8, -14}};
  const struct {
    WORD h, m, s;
    POINT hour, minute;
  } times[] = {{0, 0, 0, {0, -8}, {0, -12}},  {3, 0, 0, {8, 0}, {0, -12}},
               {6, 30, 0, {-2, 7}, {0, 12}},  {9, 45, 30, {-7, -3}, {-11, 0}},
               {15, 15, 15, {7, 1}, {11, 0}}, {23, 59, 59, {0, -7}, {0, -11}}};
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
