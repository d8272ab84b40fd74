// The scenario reader: what good lines become, and that each bad script is
// refused whole, with its line, before the host changes anything.
#include <gtest/gtest.h>

#include "CeApi.h"
#include "HostRun.h"
#include "Scenario.h"
#include "Words.h"
#include "SimulatedDevice.h"

namespace {

// The folder of the named pipe and the links the build makes for these tests.
const std::wstring kFifoFolder(HOST_FIFO, wcsrchr(HOST_FIFO, L'/') - HOST_FIFO);

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
      L"store total=4294967295B free=0B\n"
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
  const BatteryArgs& b = ArgsOf<BatteryArgs>(c[0]);
  EXPECT_TRUE(b.setAc && b.setPercent && b.setRemaining && b.setVoltage);
  EXPECT_EQ(AC_LINE_ONLINE, b.ac);
  EXPECT_EQ(BATTERY_PERCENTAGE_UNKNOWN, b.percent);
  EXPECT_EQ(5400u, b.remainingSeconds);
  EXPECT_EQ(4100u, b.voltage);

  EXPECT_EQ(Op::CardAdd, c[1].op);
  EXPECT_EQ(L"Storage Card", ArgsOf<CardArgs>(c[1]).name);
  EXPECT_EQ(64ULL << 20, ArgsOf<CardArgs>(c[1]).totalBytes);
  EXPECT_EQ(1536ULL << 10, ArgsOf<CardArgs>(c[1]).freeBytes);
  EXPECT_EQ(Op::CardFault, c[2].op);  // card names match without regard to case
  EXPECT_TRUE(ArgsOf<CardArgs>(c[2]).fails);
  EXPECT_EQ(Op::CardRemove, c[3].op);
  EXPECT_EQ(0xFFFFFFFFULL, ArgsOf<MemoryArgs>(c[4]).totalBytes);

  const SYSTEMTIME& t = ArgsOf<TimeArgs>(c[5]).time;
  EXPECT_EQ(2026, t.wYear);
  EXPECT_EQ(41, t.wMinute);
  EXPECT_EQ(0, t.wDayOfWeek);  // a Sunday
  EXPECT_EQ(75250u, ArgsOf<DurationArgs>(c[6]).ms);
  EXPECT_EQ(239, ArgsOf<TapArgs>(c[7]).x);
  EXPECT_EQ(RGB(0x1E, 0x46, 0x8C), ArgsOf<ColorArgs>(c[8]).color);
  EXPECT_EQ(3, ArgsOf<SnapshotArgs>(c[9]).scale);
  EXPECT_EQ(PictureOf::Strip, ArgsOf<SnapshotArgs>(c[9]).of);
  EXPECT_EQ(PictureOf::OtherWindow, ArgsOf<SnapshotArgs>(c[10]).of);
  EXPECT_EQ(L"About Quorvane", ArgsOf<SnapshotArgs>(c[10]).title);
  EXPECT_EQ(250u, ArgsOf<AnimationArgs>(c[11]).delayMs);
  EXPECT_EQ((std::vector<int>{IDCANCEL, IDOK}), ArgsOf<OptionsArgs>(c[12]).presses);
  EXPECT_EQ(1, ArgsOf<WindowCountArgs>(c[13]).count);
  EXPECT_TRUE(ArgsOf<WindowArgs>(c[14]).title.empty());
}

// Words shared by scripts and the command line.
TEST(ScenarioParser, Words) {
  long long ms;
  EXPECT_TRUE(ParseDuration(L"1000000000ms", &ms));  // too long for a wait, but a duration
  for (const wchar_t* bad : {L"", L"5", L"30m1h", L"2x", L"1s1s", L"m", L"-2s", L"99999999999h"}) {
    EXPECT_FALSE(ParseDuration(bad, &ms)) << bad;
  }
  COLORREF c;
  EXPECT_FALSE(ParseColor(L"#FF00G0", &c));
  const struct {
    const wchar_t* name;
    bool plain;
  } names[] = {
      {L"a.png", true},       {L"con.txt.png", false},
      {L"COM1.png", false},   {L"lpt9.PNG", false},
      {L"NUL .png", false},   {L"aux", false},
      {L"COM10.png", true},   {L"CONSOLE.png", true},
      {L"a.png.", false},     {L"a.png ", false},
      {L"..", false},         {L".", false},
      {L"a\\b.png", false},   {L"a/b.png", false},
      {L"c:a.png", false},    {L"a\tb.png", false},
      {L"CONIN$.png", false}, {L"conout$.x.png", false},
      {L"LPT0.png", false},   {L"com\u00B9.png", false},
      {L"CONIN.png", true},
  };
  for (const auto& n : names)
    EXPECT_EQ(n.plain, IsPlainFileName(n.name)) << n.name;
  EXPECT_EQ(L"'" + std::wstring(40, L'x') + L"...' (1000000 characters)",
            Quote(std::wstring(1000000, L'x')));
}

struct BadScript {
  std::wstring text;
  int line;
  const wchar_t* says;
};

std::wstring Repeat(const std::wstring& line, int times) {
  std::wstring text;
  for (int i = 0; i < times; ++i)
    text += line;
  return text;
}

// A folder inside `folder` (on Z:) whose path, as Wine opens it (through
// <prefix>/dosdevices/z:), has `bytes` bytes.
std::wstring Deep(const std::wstring& folder, size_t bytes) {
  wchar_t prefix[MAX_PATH];
  GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH);
  auto utf8 = [](const std::wstring& s) {
    return WideCharToMultiByte(CP_UTF8, 0, s.c_str(), -1, nullptr, 0, nullptr, nullptr) - 1u;
  };
  size_t root = utf8(prefix) + 14 - 2;
  std::wstring deep = folder;
  for (size_t left; (left = bytes - root - utf8(deep)) > 0;) {
    deep += L"\\" + std::wstring(left > 201 ? std::min<size_t>(200, left - 3) : left - 1, L'p');
  }
  return deep;
}

std::wstring Cards(int count) {
  std::wstring text;
  for (int i = 0; i < count; ++i) {
    text += L"card add C" + std::to_wstring(i) + L" total=1MB free=1MB\n";
  }
  return text;
}

// Every refusal names its line and says what is accepted, the limit among it.
TEST(ScenarioParser, RefusesBadScriptsNamingTheLine) {
  const BadScript cases[] = {
      {L"refresh\nbatery percent=5\n", 2, L"unknown command 'batery'"},
      {L"battery percent=256\n", 1, L"percent must be 0 to 255 or unknown, not '256'"},
      {L"battery percent=50 percent=60\n", 1, L"percent= is given twice"},
      {L"battery voltage=\n", 1, L"voltage= needs a value"},
      {L"memory total=100 free=10\n", 1, L"with its unit (B, KB, MB or GB) up to 2048GB"},
      {L"memory total=1gb free=1MB\n", 1, L"with its unit"},
      {L"tap -0 5\n", 1, L"x must be a whole number from 0 to 239, not '-0'"},
      {L"tap +12 5\n", 1, L"not '+12'"},
      {std::wstring(L"tap 1\0\x1F 5\n", 10), 1, L"not '1\\x00\\x1F'"},
      {L"refresh\rwait 2s\r\n", 1, L"unknown command 'refresh\\x0Dwait'"},
      {L"refresh\r\ntap 1\x85\x7F 5\r\n", 2, L"not '1\\x85\\x7F'"},
      {L"battery\n", 1, L"at least one"},
      {L"card add \"Storage Card\" total=1MB free=2MB\n", 1, L"free is larger than total"},
      {L"card add X total=1MB free=1MB\ncard remove X\ncard remove X\n", 3, L"no card named"},
      {L"card add X total=1MB free=1MB\ncard add x total=2MB free=1MB\n", 2, L"is inserted"},
      {L"card add " + std::wstring(260, L'n') + L" total=1MB free=1MB\n", 1, L"at most 259"},
      {L"card add CON total=1MB free=1MB\n", 1, L"not a card folder name"},
      {L"snapshot \"a\x1B.png\"\n", 1,
       L"'a\\x1B.png' is not a plain *.png file name (no folders, no control"},
      {Cards(101), 101, L"at most 100 cards"},
      {L"card eject Y\n", 1,
       L"expected card add, card set, card remove, card fault, not 'card eject'"},
      {L"store total=5GB free=1GB\n", 1, L"up to 4294967295B"},
      {L"memory total=16777215GB free=1GB\n", 1, L"up to 2048GB"},
      {L"tap 240 10\n", 1, L"x must be a whole number from 0 to 239, not '240'"},
      {L"store fault on off\n", 1, L"wrong number of arguments (the form is: store fault on|off)"},
      {L"resume\n", 1, L"resume needs a suspend"},
      {L"suspend\nwait 1s\ntap 1 1\n", 3, L"the device is suspended: a tap needs a resume"},
      {L"suspend\nsuspend\n", 2, L"already suspended"},
      {L"snapshot a.png\nsnapshot A.png\n", 2, L"written twice"},
      {L"snapshot " + std::wstring(252, L'n') + L".png\n", 1, L"longer than a file name may be"},
      {L"snapshot " + std::wstring(126, L'\u00E9') + L".png\n", 1,
       L"256 bytes in UTF-8, at most 255"},
      {L"snapshot abcde" + Repeat(L"\U0001F600", 62) + L".png\n", 1, L"\U0001F600...' (133 char"},
      {L"snapshot " + std::wstring(251, L'n') + L".png\n", 0, nullptr},
      {L"snapshot a.gif\n", 1, L"plain *.png"},
      {L"snapshot a.png scale=17\n", 1, L"scale must be a whole number from 1 to 16"},
      {L"snapshot a.png window of \"X\"\n", 1, L"expected one of scale=, not 'of'"},
      {L"snapshot a.png of\n", 1, L"of needs a window title"},
      {L"snapshot w.png window\nanimation a.gif\n", 2, L"needs a strip snapshot"},
      {L"snapshot a.png\nanimation a.gif scale=16 delay=1s\n", 0, nullptr},
      {L"close \"About Quorvane\n", 1, L"not closed"},
      {L"time 2026-02-29 10:00\n", 1, L"from 1980-01-01 00:00 to 2099-12-31 23:59:59"},
      {L"time 1601-01-01 00:00\n", 1, L"from 1980-01-01"},
      {L"time 2099-12-31 23:59:59\nwait 2s\n", 2, L"would pass 2099-12-31 23:59:59"},
      {L"wait soon\n", 1, L"wait takes a duration from 0s to 24h"},
      {L"wait 1000000000ms\n", 1, L"wait must be from 0s to 24h, not '1000000000ms'"},
      {L"interval 1ms\nwait 1h\n", 2, L"at most 43200 refresh queries; this one sends 3600000"},
      {L"interval 0s\n", 1, L"interval must be from 1ms to 24h"},
      {Repeat(L"wait 24h\n", 5), 5, L"at most 200000 refresh queries"},
      {Repeat(L"refresh\n", 10001), 10001, L"at most 10000 command lines"},
      {L"text-color #12345\n", 1, L"#RRGGBB"},
      {L"refresh now\n", 1, L"takes no arguments"},
      {L"expect paints many\n", 1, L"whole number"},
      {L"expect weather\n", 1, L"expected expect paints"},
      {L"options later\n", 1, L"ok or cancel"},
      {L"options cancel\n", 1, L"options must end with ok"},
      {L"wait " + std::wstring(1000000, L'9') + L"\n", 1, L"...' (1000000 characters)"},
  };
  for (const BadScript& bad : cases) {
    Scenario scenario;
    scenario.commands.resize(3);  // whatever was there is dropped
    std::wstring error;
    std::string shown(bad.text.begin(), bad.text.begin() + std::min<size_t>(bad.text.size(), 60));
    if (!bad.says) {
      EXPECT_TRUE(ParseScenario(bad.text, &scenario, &error)) << shown;
      continue;
    }
    EXPECT_FALSE(ParseScenario(bad.text, &scenario, &error)) << shown;
    std::wstring prefix = L"line " + std::to_wstring(bad.line) + L": ";
    EXPECT_EQ(0u, error.find(prefix)) << std::string(error.begin(), error.end());
    EXPECT_NE(std::wstring::npos, error.find(bad.says)) << std::string(error.begin(), error.end());
    EXPECT_LT(error.size(), 300u) << shown;
    EXPECT_TRUE(scenario.commands.empty());
  }
}

// The scenario page's table of commands is the reader's table, row for row,
// and --help prints every usage.
TEST(ScenarioParser, DocsAndHelpShowTheCommandTable) {
  std::string page = ReadBytes(TestSourcePath(L"..\\..\\docs\\scenarios.md"));
  ASSERT_FALSE(page.empty());
  HostResult help = RunHost(L"--help");
  EXPECT_EQ(0u, help.exitCode);
  size_t count;
  const CommandInfo* rows = ScenarioCommands(&count);
  for (size_t i = 0; i < count; ++i) {
    std::wstring line = ReadmeLine(rows[i]);
    EXPECT_NE(std::string::npos, page.find(std::string(line.begin(), line.end())))
        << "docs/scenarios.md lacks: " << std::string(line.begin(), line.end());
    std::wstring usage = rows[i].usage;
    EXPECT_NE(std::string::npos, help.output.find(std::string(usage.begin(), usage.end())));
  }
}

// Command lines refused before anything runs, in the words and path form the
// user typed; `--out` naming a file or a path too long changes no device
// setting and makes no folder. Script files are read as named, whatever
// Windows would make of the name. The host reads the whole script before it
// runs any line: one whose last line is wrong changes nothing.
TEST(ScenarioParser, HostRefusesBadCommandLines) {
  std::wstring folder = FreshFolder(L"command-lines"), exact = L"\\\\?\\" + folder + L"\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  std::wstring good = folder + L"\\good.txt", latin1 = folder + L"\\latin1.txt";
  std::wstring file = folder + L"\\a-file", tooLong = folder + L"\\" + std::wstring(300, L'y');
  WriteTextFile(good, "battery percent=11\nsnapshot a.png\n");
  std::wstring pipe = folder + L"\\pipe.txt";
  WriteTextFile(pipe, "refresh\nsnapshot strip.png\nrefresh\n");
  WriteTextFile(folder + L"\\link.txt", "refresh\nsnapshot broken.png\n");
  WriteTextFile(latin1, "refresh\nwait 2s\ntap 1 1 # caf\xE9\n");
  WriteTextFile(folder + L"\\half.txt",
                "battery percent=90\ncard add C total=8MB free=4MB\n"
                "snapshot a.png\nwait 2s\ntap 52 300\n");
  WriteTextFile(file, "");
  WriteTextFile(exact + L"aux.txt", "refresh\nsnapshot a.png\n");
  WriteTextFile(exact + L"NUL.txt", "refresh\nbogus\n");
  WriteTextFile(exact + L"control.txt", std::string("tap 1\0 2\n", 9));
  SimResetDevice();
  SimSetPower(AC_LINE_OFFLINE, 33, 1000, 3700);
  const struct {
    std::wstring arguments;
    DWORD exitCode;
    std::string says;
  } cases[] = {
      {L"--scenario Z:\\no\\such.txt", 2,
       "Z:\\no\\such.txt: cannot open the scenario: there is no"},
      {L"--scenario /no/such.txt", 2, "/no/such.txt: cannot open the scenario"},
      {L"--check /dev/null", 2, "/dev/null: cannot open the scenario: it is not a regular file"},
      {L"--check \\\\.\\CONIN$", 2, "CONIN$: cannot open the scenario: it is not a regular file"},
      {L"--check \"" HOST_FIFO L"\"", 2, "strip.png: cannot open the scenario: it is not a"},
      {L"--check \"" + folder + L"\"", 2,
       "command-lines: cannot open the scenario: it is a folder"},
      {L"--check \"" + folder + L"\\aux.txt\"", 0, "aux.txt: the scenario is well formed"},
      {L"--check \"" + folder + L"\\NUL.txt\"", 2, "NUL.txt: line 2: unknown command 'bogus'"},
      {L"--check \"" + folder + L"\\control.txt\"", 2,
       "x must be a whole number from 0 to 239, not '1\\x00'"},
      {L"--interval fast", 2, "--interval takes a duration from 1ms to 24h"},
      {L"--close-after 0s", 2, "--close-after must be from 1ms to 24h, not '0s'"},
      {L"--scenario a.txt --scenario b.txt", 2, "--scenario is given twice"},
      {L"--check a.txt --scenario a.txt", 2, "--check and --scenario cannot go together"},
      {L"--scenario \"" + good + L"\" --out \"\"", 2, "--out needs a path, not ''"},
      {L"--scenario \"" + latin1 + L"\"", 2, "latin1.txt: line 3: not UTF-8 text"},
      {L"--scenario \"" + folder + L"\\half.txt\" --out \"" + file + L"x\"", 2, "line 5: y must"},
      {L"--scenario \"" + good + L"\" --out \"" + file + L"\"", 2, "is a file, not a folder"},
      {L"--scenario \"" + good + L"\" --out \"" + tooLong + L"\"", 2, "the path is too long"},
      {L"--check \"" + good + L"\" --out \"" + Deep(folder, 4090) + L"\"", 2, "line 2: the path "},
      {L"--check \"" + good + L"\" --out \"" + Deep(folder, 4089) + L"\"", 0, "well formed"},
      {L"--scenario \"" + good + L"\" --out /dev/null", 2, "/dev/null is a pipe or a device, not"},
      {L"--scenario \"" + good + L"\" --out /proc/q/r", 3, "/proc/q/r: nothing may be made there"},
      {L"--scenario \"" + pipe + L"\" --out \"" + kFifoFolder + L"\"", 3,
       "a pipe or a device of that name"},
      {L"--scenario \"" + folder + L"\\link.txt\" --out \"" + kFifoFolder + L"\"", 3,
       "broken.png: a broken link of"},
      {L"--demo --check \"" + good + L"\"", 2, "--demo and --check exclude each other"},
      {L"--check", 2, "--check needs a value"},
      {L"--live --out x", 2, "--out is for scenarios"},
      {L"--close-after 1s --snapshot /no/such/a.png", 2,
       "/no/such/a.png: its folder does not exist"},
      {L"--dll /no/item", 2, "--dll /no/item: a library's name needs an extension"},
      {L"--scenario \"" + good + L"\" --dll /no/item.dll", 3,
       "/no/item.dll: there is no such file"},
      {L"--scenario \"" + good + L"\" --dll \"" + tooLong + L".dll\"", 3,
       "y.dll: the path is too long"},
  };
  for (const auto& c : cases) {
    HostResult r = RunHost(c.arguments);
    EXPECT_EQ(c.exitCode, r.exitCode) << r.output;
    EXPECT_SAYS(r, c.says);
  }
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((L"\\\\?\\" + tooLong).c_str()));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((file + L"x").c_str()));
  SYSTEM_POWER_STATUS_EX2 power = {};
  GetSystemPowerStatusEx2(&power, sizeof power, TRUE);
  EXPECT_EQ(33, power.BatteryLifePercent);
  WIN32_FIND_DATAW card;
  EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFlashCard(&card));
  SimResetDevice();
}

// Pictures go into the folder exactly as named, trailing dot included; a
// folder standing where a picture goes is found before anything runs.
TEST(ScenarioParser, HostWritesIntoTheFolderAsNamed) {
  std::wstring folder = FreshFolder(L"as-named"), exact = L"\\\\?\\" + folder;
  std::wstring script = folder + L".txt";
  WriteTextFile(script, "refresh\nsnapshot a.png\n");
  HostResult r = RunHost(L"--scenario \"" + script + L"\" --out \"" + folder + L"\\td.\"");
  EXPECT_EQ(0u, r.exitCode) << r.output;
  EXPECT_SAYS(r, "pictures in ");
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((exact + L"\\td.\\a.png").c_str()));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((exact + L"\\td").c_str()));
  CreateDirectoryW((exact + L"\\td.\\b.png").c_str(), nullptr);
  WriteTextFile(script, "refresh\nsnapshot b.png\n");
  r = RunHost(L"--scenario \"" + script + L"\" --out \"" + folder + L"\\td.\"");
  EXPECT_EQ(3u, r.exitCode) << r.output;
  EXPECT_SAYS(r, "line 2: cannot write ");
  EXPECT_SAYS(r, "td.\\b.png: a folder of that name exists");
  // A picture's path of 4095 bytes as Wine opens it is written; a folder made
  // for an item that does not load is removed.
  r = RunHost(L"--scenario \"" + script + L"\" --out \"" + Deep(folder, 4095 - 6) + L"\"");
  EXPECT_EQ(0u, r.exitCode) << r.output;
  r = RunHost(L"--scenario \"" + script + L"\" --out \"" + folder +
              L"\\no-item\" --dll D:\\Windows\\iexplore.exe");
  EXPECT_EQ(3u, r.exitCode) << r.output;
  EXPECT_SAYS(r, "D:\\Windows\\iexplore.exe has no export ordinal 240");
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((exact + L"\\no-item").c_str()));
  // A link where a picture goes is replaced; the file it leads to stays as it was.
  WriteTextFile(script, "refresh\nsnapshot linked.png\n");
  r = RunHost(L"--scenario \"" + script + L"\" --out \"" + kFifoFolder + L"\"");
  EXPECT_EQ(0u, r.exitCode) << r.output;
  Picture linked;
  std::wstring why;
  EXPECT_TRUE(ReadPng((kFifoFolder + L"/linked.png").c_str(), &linked, &why));
  EXPECT_EQ("notes\n", ReadBytes(kFifoFolder + L"/notes.txt"));
}

}  // namespace
