// The scenario reader: what each line becomes, and that each bad script is
// refused whole, with its line, before the host changes anything.
#include <gtest/gtest.h>

#include <sstream>

#include "CeApi.h"
#include "DeviceFiles.h"
#include "HostRun.h"
#include "Scenario.h"
#include "Words.h"
#include "SimulatedDevice.h"
#include "UserPath.h"

namespace {

// The folder of the named pipe and the links the build makes for these tests.
const std::wstring kFifoFolder(HOST_FIFO, wcsrchr(HOST_FIFO, L'/') - HOST_FIFO);

// `times` copies of `line`, each %d replaced by its number.
std::wstring Lines(const wchar_t* line, int times) {
  std::wstring text;
  for (int i = 0; i < times; ++i) {
    wchar_t one[200];
    _snwprintf(one, 200, line, i);
    text += one;
  }
  return text;
}

// A folder inside `folder` (on Z:) whose path, as Wine opens it (through
// <prefix>/dosdevices/z:), has `bytes` bytes.
std::wstring Deep(const std::wstring& folder, size_t bytes) {
  wchar_t prefix[MAX_PATH];
  GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH);
  size_t root = Utf8Bytes(prefix) + 14 - 2;
  std::wstring deep = folder;
  for (size_t left; (left = bytes - root - Utf8Bytes(deep)) > 0;)
    deep += L"\\" + std::wstring(left > 201 ? std::min<size_t>(200, left - 3) : left - 1, L'p');
  return deep;
}

std::wstring Fields(const Command& c) {
  std::wostringstream out;
  out << c.line << L": " << c.row->name;
  for (const SimValueSet& v : c.values)
    out << L" " << v.name << L"=" << v.value;
  const SYSTEMTIME& t = c.time;
  out << L" '" << c.name << L"' '" << c.title << L"' n=" << c.number << L" at " << c.x << L","
      << c.y << L" wait " << c.untilQueryMs << L"/" << c.intervalMs << L" size " << c.total << L"/"
      << c.free << L" x" << c.scale << L" of=" << (int)c.of << L" " << t.wYear << L"-" << t.wMonth
      << L"-" << t.wDay << L" " << t.wHour << L":" << t.wMinute << L":" << t.wSecond << L"/"
      << t.wDayOfWeek << (c.on ? L" on" : L"");
  for (int press : c.presses)
    out << L" press " << press;
  return out.str();
}

// Line 0: the script is taken, its last line's fields holding `says`; else its
// first refusal names that line and says what is accepted.
TEST(ScenarioParser, ReadsEachLineOrRefusesTheScript) {
  const struct {
    std::wstring text;
    int line;
    const wchar_t* says;
  } cases[] = {
      {L"# note\n\nbattery ac=on percent=unknown remaining=1h30m voltage=4100  # note\n", 0,
       L"3: battery ACLineStatus=1 BatteryPercent=255 BatteryLifeTime=5400 BatteryVoltage=4100 '"},
      {L"battery-fault short 55\n", 0, L"battery-fault short PowerQueryBytes=55 '"},
      {L"card add \"Storage Card\" total=64MB free=1536KB\n", 0,
       L"'Storage Card' '' n=0 at 0,0 wait 0/0 size 67108864/1572864 "},
      {L"card add X total=2048GB free=0B\ncard fault x on\n", 0,
       L"2: card fault 'x' '' n=0 at 0,0 wait 0/0 size 0/0 x1 of=0 0-0-0 0:0:0/0 on"},
      {L"store total=4294967295B free=0B\n", 0, L"store StoreSize=4294967295 StoreFree=0 '"},
      {L"time 2026-12-06 09:41\n", 0, L" 2026-12-6 9:41:0/0"},
      {L"interval 3s\nwait 2s\nwait 24h\n", 0, L"3: wait '' '' n=86400000 at 0,0 wait 1000/3000 "},
      {L"wait 500ms\nsuspend\nresume\nwait 1m15s250ms\n", 0, L"n=75250 at 0,0 wait 2000/2000 "},
      {L"tap 239 41\n", 0, L"tap '' '' n=0 at 239,41 "},
      {L"text-color #1E468c\n", 0, L"text-color '' '' n=9192990 "},
      {L"snapshot b.png of \"About Quorvane\" scale=16\n", 0,
       L"'b.png' 'About Quorvane' n=0 at 0,0 wait 0/0 size 0/0 x16 of=2"},
      {L"snapshot " + std::wstring(251, L'n') + L".png\nanimation a.gif delay=250ms\n", 0,
       L"animation 'a.gif' '' n=250 "},
      {L"options cancel ok\n", 0, L"0:0:0/0 press 2 press 1"},
      {L"expect window \"About Quorvane\" 1\n", 0, L"expect window 'About Quorvane' '' n=1 "},
      {Lines(L"refresh\n", 10000), 0, L"10000: refresh"},
      {L"refresh\nbatery percent=5\n", 2, L"unknown command 'batery'"},
      {L"\"refresh\"\n", 1, L"a line must start with a command"},
      {L"card eject Y\n", 1, L"expected card add, card set, card remove, card fault, not 'card"},
      {L"refresh now\n", 1, L"refresh takes no arguments"},
      {L"tap 1 2 3\n", 1, L"wrong number of arguments (the form is: tap X Y)"},
      {L"battery percent=256\n", 1, L"percent must be 0 to 255 or unknown, not '256'"},
      {L"battery percent=50 percent=60\n", 1, L"percent= is given twice"},
      {L"battery charge=5\n", 1, L"unknown setting 'charge' (ac=, percent="},
      {L"battery remaining=1500ms\n", 1, L"remaining must be whole seconds"},
      {L"battery-fault short 56\n", 1, L"the bytes must be a whole number from 0 to 55"},
      {L"memory total=100 free=10\n", 1, L"total= takes a size with its unit (B, KB, MB or GB) up"},
      {L"memory total=1MB free=2049GB\n", 1,
       L"free= takes a size with its unit (B, KB, MB or GB) up to 2048GB"},
      {L"store total=4294967296B free=1GB\n", 1, L"up to 4294967295B"},
      {L"card add \"Storage Card\" total=1MB free=2MB\n", 1, L"free is larger than total"},
      {L"card add X total=1MB free=1MB\ncard remove X\ncard remove X\n", 3, L"no card named 'X'"},
      {L"card add X total=1MB free=1MB\ncard add x total=2MB free=1MB\n", 2,
       L"a card named 'x' is"},
      {L"card add " + std::wstring(260, L'n') + L" total=1MB free=1MB\n", 1,
       L"at most 259 characters"},
      {L"card add CON total=1MB free=1MB\n", 1, L"'CON' is not a card folder name"},
      {Lines(L"card add C%d total=1MB free=1MB\n", 101), 101, L"at most 100 cards"},
      {L"tap 240 +1\n", 1, L"x must be a whole number from 0 to 239, not '240'"},
      {L"tap 0 42\n", 1, L"y must be a whole number from 0 to 41, not '42'"},
      {std::wstring(L"tap -1\0\x1F 5\n", 11), 1, L"not '-1\\x00\\x1F'"},
      {L"refresh\rwait 2s\r\ntap 1\x85\x7F 5\r\n", 1, L"unknown command 'refresh\\x0Dwait'"},
      {L"resume\n", 1, L"resume needs a suspend before it"},
      {L"suspend\nwait 1s\ntap 1 1\n", 3, L"the device is suspended: a tap needs a resume"},
      {L"suspend\nsuspend\n", 2, L"the device is already suspended"},
      {L"snapshot a.png\nsnapshot A.png\n", 2, L"'A.png' is written twice"},
      {L"snapshot " + std::wstring(126, L'\u00E9') + L".png\n", 1,
       L"256 bytes in UTF-8, at most 255"},
      {L"snapshot abcde" + Lines(L"\U0001F600", 62) + L".png\n", 1, L"\U0001F600...' (133 char"},
      {L"snapshot \"a\x1B.png\"\n", 1, L"'a\\x1B.png' is not a plain *.png file name (no"},
      {L"snapshot a.png scale=17\n", 1, L"scale must be a whole number from 1 to 16, not '17'"},
      {L"snapshot a.png window of \"X\"\n", 1, L"expected one of scale=, not 'of'"},
      {L"snapshot w.png window\nanimation a.gif\n", 2, L"an animation needs a strip snapshot"},
      {L"snapshot a.png\nanimation a.gif delay=9ms\n", 2,
       L"delay must be from 10ms to 10m55s350ms"},
      {Lines(L"snapshot s%d.png\n", 417) + L"animation a.gif scale=4\n", 418,
       L": 417 frames at scale=4"},
      {L"close \"About Quorvane\n", 1, L"a quoted text is not closed"},
      {L"expect foreground \"\"\n", 1, L"a window title must not be empty"},
      {L"expect window \"X\" 101\n", 1, L"the window count must be a whole number from 0 to 100"},
      {L"options cancel\n", 1, L"options must end with ok"},
      {L"options" + Lines(L" ok", 11) + L"\n", 1, L"options presses 1 to 10 buttons"},
      {L"text-color #12345\n", 1, L"expected a colour as #RRGGBB, not '#12345'"},
      {L"time 2026-02-29 10:00\n", 1, L"from 1980-01-01 00:00 to 2099-12-31 23:59:59"},
      {L"time 2026-12-06 09:41:20.000\n", 1, L"not '2026-12-06 09:41:20.000'"},
      {L"time 2099-12-31 23:59:59\nwait 2s\n", 2, L"would pass 2099-12-31 23:59:59"},
      {L"\n# note\nwait 2s\nwait 30m1h\n", 4, L"wait takes a duration from 0s to 24h (such as"},
      {L"wait 24h1ms\n", 1, L"wait must be from 0s to 24h, not '24h1ms'"},
      {L"interval 1ms\nwait 1h\n", 2, L"at most 43200 refresh queries; this one sends 3600000"},
      {L"interval 0s\n", 1, L"interval must be from 1ms to 24h"},
      {Lines(L"wait 24h\n", 5), 5, L"at most 200000 refresh queries"},
      {Lines(L"refresh\n", 10001), 10001, L"at most 10000 command lines"},
  };
  for (const auto& c : cases) {
    Scenario scenario;
    scenario.commands.resize(3);  // whatever was there is dropped
    std::wstring error;
    std::string shown(c.text.begin(), c.text.begin() + std::min<size_t>(c.text.size(), 60));
    bool taken = ParseScenario(c.text, &scenario, &error);
    std::wstring got = taken ? Fields(scenario.commands.back()) : error;
    EXPECT_EQ(c.line == 0, taken) << shown;
    EXPECT_NE(std::wstring::npos, got.find(c.says)) << std::string(got.begin(), got.end());
    if (c.line) {
      EXPECT_EQ(0u, error.find(L"line " + std::to_wstring(c.line) + L": ")) << shown;
      EXPECT_LT(error.size(), 300u) << shown;
      EXPECT_TRUE(scenario.commands.empty());
    }
  }
  long long ms;
  std::wstring why;
  for (const wchar_t* bad :
       {L"", L"5", L"1s1s", L"2x", L"m", L"99999999999h", L"18446744073709551621s", L"1h 30m"})
    EXPECT_FALSE(ParseDurationIn(bad, 0, LLONG_MAX, L"d", &ms, &why)) << bad;
  for (const wchar_t* name : {L"a.png", L"COM10.png", L"CONSOLE.png", L"CONIN.png"})
    EXPECT_TRUE(IsPlainFileName(name, wcslen(name))) << name;
  for (const wchar_t* name :
       {L"con.txt.png", L"COM1.png", L"lpt9.PNG", L"NUL .png", L"aux", L"a.png.", L"a.png ", L"..",
        L".", L"a\\b.png", L"a/b.png", L"c:a.png", L"a\tb.png", L"CONIN$.png", L"conout$.x.png",
        L"LPT0.png", L"com\u00B9.png"})
    EXPECT_FALSE(IsPlainFileName(name, wcslen(name))) << name;
}

TEST(ScenarioParser, DocsAndHelpShowTheCommandTable) {
  std::string page = ReadBytes(TestSourcePath(L"..\\..\\docs\\scenarios.md"));
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

// Refusals come before anything runs, in the words the user typed, and change no
// device setting and make no folder (a script wrong on its last line included).
// Names are taken as given, whatever Windows would make of them (`aux.txt`, `td.`).
TEST(ScenarioParser, HostChecksItsCommandLineBeforeItRuns) {
  std::wstring folder = FreshFolder(L"command-lines"), exact = L"\\\\?\\" + folder + L"\\";
  std::wstring in = L" \"" + folder + L"\\", tooLong = folder + L"\\" + std::wstring(300, L'y');
  std::wstring run = L"--scenario" + in, check = L"--check" + in;
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::pair<const wchar_t*, std::string> scripts[] = {
      {L"aux.txt", "battery percent=11\nsnapshot a.png\n"},
      {L"pipe.txt", "refresh\nsnapshot strip.png\nrefresh\n"},
      {L"link.txt", "refresh\nsnapshot broken.png\n"},
      {L"latin1.txt", "refresh\nwait 2s\ntap 1 1 # caf\xE9\n"},
      {L"half.txt",
       "battery percent=90\ncard add C total=8MB free=4MB\nsnapshot a.png\ntap 52 300\n"},
      {L"a-file", ""},
      {L"b.txt", "refresh\nsnapshot b.png\n"},
      {L"linked.txt", "refresh\nsnapshot linked.png\n"},
  };
  for (const auto& script : scripts)
    WriteTextFile(exact + script.first, script.second);
  CreateDirectoryW((exact + L"td.").c_str(), nullptr);
  CreateDirectoryW((exact + L"td.\\b.png").c_str(), nullptr);
  // Scripts that run first; then the device is set for those refused to leave alone.
  const struct {
    std::wstring arguments;
    DWORD exitCode;
    const char* says;
  } cases[] = {
      {run + L"aux.txt\" --out" + in + L"td.\"", 0, "pictures in "},
      {run + L"b.txt\" --out" + in + L"td.\"", 3, "td.\\b.png: a folder of that name exists"},
      {run + L"aux.txt\" --out \"" + Deep(folder, 4095 - 6) + L"\"", 0, "pictures in"},
      {run + L"aux.txt\" --out" + in + L"no-item\" --dll D:\\Windows\\iexplore.exe", 3,
       "D:\\Windows\\iexplore.exe has no export ordinal 240"},
      {run + L"linked.txt\" --out \"" + kFifoFolder + L"\"", 0, "pictures in"},
      {L"", 0, ""},
      {L"--scenario Z:\\no\\such.txt", 2, "\\such.txt: cannot open the scenario: there is no"},
      {L"--check /dev/null", 2, "/dev/null: cannot open the scenario: it is not a regular file"},
      {L"--check \\\\.\\CONIN$", 2, "CONIN$: cannot open the scenario: it is not a regular file"},
      {L"--check \"" HOST_FIFO L"\"", 2, "strip.png: cannot open the scenario: it is not a"},
      {L"--check \"" + folder + L"\"", 2, "lines: cannot open the scenario: it is a folder"},
      {L"--interval fast", 2, "--interval takes a duration from 1ms to 24h"},
      {L"--close-after 0s", 2, "--close-after must be from 1ms to 24h, not '0s'"},
      {L"--scenario a.txt --scenario b.txt", 2, "--scenario is given twice"},
      {L"--check a.txt --scenario a.txt", 2, "--check and --scenario cannot go together"},
      {run + L"aux.txt\" --out \"\"", 2, "--out needs a path, not ''"},
      {run + L"latin1.txt\"", 2, "latin1.txt: line 3: not UTF-8 text"},
      {run + L"half.txt\" --out" + in + L"a-filex\"", 2, "half.txt: line 4: y"},
      {run + L"aux.txt\" --out" + in + L"a-file\"", 2, "is a file, not a folder"},
      {run + L"aux.txt\" --out \"" + tooLong + L"\"", 2, "the path is too long"},
      {check + L"aux.txt\" --out \"" + Deep(folder, 4090) + L"\"", 2, "line 2: the path "},
      {check + L"aux.txt\" --out \"" + Deep(folder, 4089) + L"\"", 0, "well formed"},
      {run + L"aux.txt\" --out /dev/null", 2, "/dev/null is a pipe or a device, not"},
      {run + L"aux.txt\" --out /proc/q/r", 3, "/proc/q/r: nothing may be made there"},
      {run + L"pipe.txt\" --out \"" + kFifoFolder + L"\"", 3, "a pipe or a device of that"},
      {run + L"link.txt\" --out \"" + kFifoFolder + L"\"", 3, "broken.png: a broken link of"},
      {L"--demo --check" + in + L"aux.txt\"", 2, "--demo and --check exclude each other"},
      {L"--check", 2, "--check needs a value"},
      {L"--live --out x", 2, "--out is for scenarios"},
      {L"--close-after 1s --snapshot /no/such/a.png", 2, "such/a.png: its folder does not exist"},
      {L"--dll /no/item", 2, "--dll /no/item: a library's name needs an extension"},
      {run + L"aux.txt\" --dll /no/item.dll", 3, "/no/item.dll: there is no such file"},
      {run + L"aux.txt\" --dll \"" + tooLong + L".dll\"", 3, "y.dll: the path is too long"},
  };
  for (const auto& c : cases) {
    if (c.arguments.empty()) {
      SimResetDevice();
      SimSetPower(AC_LINE_OFFLINE, 33, 1000, 3700);
      continue;
    }
    HostResult r = RunHost(c.arguments);
    EXPECT_EQ(c.exitCode, r.exitCode) << r.output;
    EXPECT_SAYS(r, c.says);
  }
  SYSTEM_POWER_STATUS_EX2 power = {};
  GetSystemPowerStatusEx2(&power, sizeof power, TRUE);
  EXPECT_EQ(33, power.BatteryLifePercent);
  WIN32_FIND_DATAW card;
  EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFlashCard(&card));
  for (const std::wstring& made : {exact + L"td.\\a.png", kFifoFolder + L"/linked.png"})
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(made.c_str())) << made.size();
  for (const std::wstring& never :
       {exact + L"td", exact + L"a-filex", exact + L"no-item", L"\\\\?\\" + tooLong})
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(never.c_str())) << never.size();
  EXPECT_EQ("notes\n", ReadBytes(kFifoFolder + L"/notes.txt"));  // a link is replaced, not followed
  SimResetDevice();
}

}  // namespace
