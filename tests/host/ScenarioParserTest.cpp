// The scenario reader: what good lines become, and that each bad script is
// refused whole, with its line, before the host changes anything.
#include <gtest/gtest.h>

#include "CeApi.h"
#include "HostRun.h"
#include "Scenario.h"
#include "SimulatedDevice.h"

namespace {

Scenario MustParse(const wchar_t* text) {
  Scenario scenario;
  std::wstring error;
  EXPECT_TRUE(ParseScenario(text, &scenario, &error)) << std::string(error.begin(), error.end());
  return scenario;
}

TEST(ScenarioParser, ReadsEveryKindOfLine) {
  Scenario s = MustParse(
      L"# a comment line\n"
      L"\n"
      L"battery ac=on percent=unknown remaining=1h30m voltage=4100   # trailing comment\n"
      L"card add \"Storage Card\" total=64MB free=1536KB\n"
      L"card fault \"storage card\" on\n"
      L"card remove \"Storage Card\"\n"
      L"store total=4294967295B free=0\n"
      L"time 2026-12-06 09:41\n"
      L"wait 1m15s250ms\n"
      L"tap 239 0\n"
      L"text-color #1E468c\n"
      L"snapshot a.png scale=3\n"
      L"snapshot b.png of \"About Quorvane\"\n"
      L"animation a.gif delay=250ms\n"
      L"options cancel ok\n"
      L"expect window \"About Quorvane\" 1\n"
      L"expect foreground today\n");
  ASSERT_EQ(15u, s.commands.size());
  const Command* c = s.commands.data();

  EXPECT_EQ(3, c[0].line);
  EXPECT_EQ(Op::Battery, c[0].op);
  EXPECT_TRUE(c[0].battery.setAc && c[0].battery.setPercent && c[0].battery.setRemaining);
  EXPECT_EQ(AC_LINE_ONLINE, c[0].battery.ac);
  EXPECT_EQ(BATTERY_PERCENTAGE_UNKNOWN, c[0].battery.percent);
  EXPECT_EQ(5400u, c[0].battery.remainingSeconds);
  EXPECT_EQ(4100u, c[0].battery.voltage);

  EXPECT_EQ(Op::CardAdd, c[1].op);
  EXPECT_EQ(L"Storage Card", c[1].text);
  EXPECT_EQ(64ULL << 20, c[1].size1);
  EXPECT_EQ(1536ULL << 10, c[1].size2);
  EXPECT_EQ(Op::CardFault, c[2].op);  // card names match without regard to case
  EXPECT_TRUE(c[2].flag);
  EXPECT_EQ(Op::CardRemove, c[3].op);
  EXPECT_EQ(0xFFFFFFFFULL, c[4].size1);

  EXPECT_EQ(Op::Time, c[5].op);
  EXPECT_EQ(2026, c[5].time.wYear);
  EXPECT_EQ(41, c[5].time.wMinute);
  EXPECT_EQ(0, c[5].time.wDayOfWeek);  // a Sunday
  EXPECT_EQ(75250, c[6].number);
  EXPECT_EQ(239, c[7].x);
  EXPECT_EQ(RGB(0x1E, 0x46, 0x8C), c[8].color);
  EXPECT_EQ(3, c[9].scale);
  EXPECT_FALSE(c[9].flag);
  EXPECT_TRUE(c[10].flag);
  EXPECT_EQ(L"About Quorvane", c[10].title);
  EXPECT_EQ(250, c[11].number);
  EXPECT_EQ((std::vector<int>{IDCANCEL, IDOK}), c[12].presses);
  EXPECT_EQ(Op::ExpectWindow, c[13].op);
  EXPECT_EQ(1, c[13].number);
  EXPECT_EQ(Op::ExpectForeground, c[14].op);
  EXPECT_TRUE(c[14].text.empty());
}

TEST(ScenarioParser, DurationsAndColours) {
  long long ms;
  EXPECT_TRUE(ParseDuration(L"1h30m", &ms));
  EXPECT_EQ(5400000, ms);
  EXPECT_TRUE(ParseDuration(L"250ms", &ms));
  EXPECT_EQ(250, ms);
  for (const wchar_t* bad : {L"", L"5", L"30m1h", L"2x", L"1s1s", L"m", L"-2s"}) {
    EXPECT_FALSE(ParseDuration(bad, &ms)) << bad;
  }
  COLORREF c;
  EXPECT_TRUE(ParseColor(L"#FF0000", &c));
  EXPECT_EQ(RGB(255, 0, 0), c);
  EXPECT_FALSE(ParseColor(L"FF0000", &c));
  EXPECT_FALSE(ParseColor(L"#FF00G0", &c));
}

struct BadScript {
  const wchar_t* text;
  int line;
  const wchar_t* says;
};

TEST(ScenarioParser, RefusesBadScriptsNamingTheLine) {
  const BadScript cases[] = {
      {L"refresh\nbatery percent=5\n", 2, L"unknown command 'batery'"},
      {L"battery percent=256\n", 1, L"percent must be"},
      {L"battery\n", 1, L"at least one"},
      {L"card add \"Storage Card\" total=64XB free=1MB\n", 1, L"not a size"},
      {L"card add \"Storage Card\" total=1MB free=2MB\n", 1, L"free is larger than total"},
      {L"card add X total=1MB free=1MB\ncard remove X\ncard remove X\n", 3, L"no card named"},
      {L"card fault Y on\n", 1, L"no card named"},
      {L"store total=5GB free=1GB\n", 1, L"at most 4 GB"},
      {L"tap 240 10\n", 1, L"x must be"},
      {L"tap 10\n", 1, L"wrong number of arguments"},
      {L"resume\n", 1, L"resume needs a suspend"},
      {L"suspend\nsuspend\n", 2, L"already suspended"},
      {L"snapshot a.png\nsnapshot A.png\n", 2, L"written twice"},
      {L"snapshot ..\\a.png\n", 1, L"plain *.png"},
      {L"snapshot a.gif\n", 1, L"plain *.png"},
      {L"snapshot a.png scale=17\n", 1, L"scale must be"},
      {L"snapshot w.png window\nanimation a.gif\n", 2, L"needs a strip snapshot"},
      {L"animation a.gif\n", 1, L"needs a strip snapshot"},
      {L"close \"About Quorvane\n", 1, L"not closed"},
      {L"time 2026-02-29 10:00\n", 1, L"date and time"},
      {L"wait soon\n", 1, L"not a duration"},
      {L"text-color #12345\n", 1, L"#RRGGBB"},
      {L"refresh now\n", 1, L"takes no arguments"},
      {L"expect paints many\n", 1, L"whole number"},
      {L"expect weather\n", 1, L"unknown expectation"},
      {L"options later\n", 1, L"ok or cancel"},
  };
  for (const BadScript& bad : cases) {
    Scenario scenario;
    scenario.commands.resize(3);  // whatever was there is dropped
    std::wstring error;
    EXPECT_FALSE(ParseScenario(bad.text, &scenario, &error)) << bad.text;
    std::wstring prefix = L"line " + std::to_wstring(bad.line) + L": ";
    EXPECT_EQ(0u, error.find(prefix)) << std::string(error.begin(), error.end());
    EXPECT_NE(std::wstring::npos, error.find(bad.says)) << std::string(error.begin(), error.end());
    EXPECT_TRUE(scenario.commands.empty());
  }
}

// The host reads the whole script before it runs any line: a script whose
// last line is wrong changes no device setting and writes no picture.
TEST(ScenarioParser, HostDoesNothingHalfDone) {
  SimResetDevice();
  SimSetPower(AC_LINE_OFFLINE, 33, 1000, 3700);
  std::wstring folder = FreshFolder(L"half-done");
  std::wstring script = folder + L".txt";
  WriteTextFile(script,
                "battery percent=90\n"
                "card add \"Storage Card\" total=8MB free=4MB\n"
                "snapshot first.png\n"
                "wait 2s\n"
                "tap 52 300\n");
  HostResult r = RunHost(L"--scenario \"" + script + L"\" --out \"" + folder + L"\"");
  EXPECT_EQ(2u, r.exitCode) << r.output;
  EXPECT_NE(std::string::npos, r.output.find("line 5: y must be")) << r.output;
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.c_str()));

  SYSTEM_POWER_STATUS_EX2 power = {};
  ASSERT_NE(0u, GetSystemPowerStatusEx2(&power, sizeof power, TRUE));
  EXPECT_EQ(33, power.BatteryLifePercent);
  WIN32_FIND_DATAW card;
  HANDLE search = FindFirstFlashCard(&card);
  EXPECT_EQ(INVALID_HANDLE_VALUE, search);
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  SimResetDevice();
}

TEST(ScenarioParser, HostRefusesBadArgumentsAndMissingFiles) {
  HostResult r = RunHost(L"--scenario Z:\\no\\such\\scenario.txt");
  EXPECT_EQ(2u, r.exitCode);
  EXPECT_NE(std::string::npos, r.output.find("cannot open the scenario")) << r.output;
  r = RunHost(L"--interval fast");
  EXPECT_EQ(2u, r.exitCode);
  EXPECT_NE(std::string::npos, r.output.find("--interval")) << r.output;
  r = RunHost(L"--check \"" + TestSourcePath(L"scenarios\\refresh.txt") + L"\"");
  EXPECT_EQ(0u, r.exitCode) << r.output;
}

}  // namespace
