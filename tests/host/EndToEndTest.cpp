// End to end: TodayHost.exe with the real Quorvane.dll and AboutDashboard.exe,
// each test one scenario from tests/host/scenarios. Pictures are compared
// pixel for pixel with the reviewed references in tests/host/reference;
// QUORVANE_UPDATE_REFERENCES=1 rewrites those references instead.
#include <gtest/gtest.h>

#include <thread>

#include "CeApi.h"
#include "HostRun.h"
#include "Picture.h"
#include "SimulatedDevice.h"
#include "TestSupport.h"
#include "TodayShell.h"

namespace {

ScenarioRun RunScenarioFile(const wchar_t* name) {
  ScenarioRun run;
  run.folder = FreshFolder(name);
  std::wstring script = TestSourcePath(std::wstring(L"scenarios\\") + name + L".txt");
  run.result = RunHost(L"--scenario \"" + script + L"\" --out \"" + run.folder + L"\"");
  return run;
}

Picture Load(const std::wstring& path) {
  Picture p;
  std::wstring error;
  EXPECT_TRUE(ReadPng(path.c_str(), &p, &error)) << std::string(error.begin(), error.end());
  return p;
}

bool Updating() {
  wchar_t value[8];
  return GetEnvironmentVariableW(L"QUORVANE_UPDATE_REFERENCES", value, 8) > 0 && value[0] == L'1';
}

std::string Hex(DWORD pixel) {
  char text[16];
  snprintf(text, sizeof text, "%06lX", (unsigned long)pixel);
  return text;
}

// The picture equals its reference exactly.
void ExpectLikeReference(const ScenarioRun& run, const wchar_t* picture, const wchar_t* reference) {
  std::wstring made = run.folder + L"\\" + picture;
  std::wstring kept = TestSourcePath(std::wstring(L"reference\\") + reference);
  if (Updating()) {
    ASSERT_TRUE(CopyFileW(made.c_str(), kept.c_str(), FALSE));
    return;
  }
  Picture a = Load(made), b = Load(kept);
  int x, y;
  if (FirstDifference(a, b, &x, &y)) {
    std::string name(reference, reference + wcslen(reference));
    if (x < 0) {
      ADD_FAILURE() << name << ": " << a.width << "x" << a.height << " instead of " << b.width
                    << "x" << b.height;
    } else {
      ADD_FAILURE() << name << ": first difference at (" << x << "," << y
                    << "): " << Hex(a.At(x, y)) << " instead of " << Hex(b.At(x, y));
    }
  }
}

bool Same(const Picture& a, const Picture& b) {
  int x, y;
  return !FirstDifference(a, b, &x, &y);
}

// The w x h block of `a` at (ax, ay) is that of `b` at (bx, by).
void ExpectSameBlock(const Picture& a, int ax, int ay, const Picture& b, int bx, int by, int w,
                     int h) {
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      ASSERT_EQ(Hex(a.At(ax + x, ay + y)), Hex(b.At(bx + x, by + y)))
          << "at (" << x << "," << y << ")";
    }
  }
}

TEST(EndToEnd, StripPicturesMatchTheReferences) {
  ScenarioRun run = RunScenarioFile(L"strip");
  ASSERT_EQ(0u, run.result.exitCode) << run.result.output;
  for (std::wstring name : {L"readings", L"battery-time", L"card", L"red-text", L"widest-labels"})
    ExpectLikeReference(run, (name + L".png").c_str(), (L"strip-" + name + L".png").c_str());
  ExpectLikeReference(run, L"today.png", L"today-window.png");

  // Magnified: every pixel a 3 x 3 block, nothing else. (The references pin
  // the strip in the Today window, over the background gradient.)
  Picture strip = Load(run.folder + L"\\readings.png");
  EXPECT_TRUE(Same(MagnifyPicture(strip, 3), Load(run.folder + L"\\readings-x3.png")));
  // One frame per strip snapshot, the magnified one included.
  UINT frames = 0;
  std::wstring error;
  ReadPictureFrame((run.folder + L"\\strip.gif").c_str(), 0, &strip, &frames, &error);
  EXPECT_EQ(5u, frames);
}

// The About program's dialog as the screen shows it, saved in `folder` and
// compared with its reference. The program repaints after a tap in its own
// time, so the screen is read again until it matches (for up to 15 s); when
// updating, the picture kept is the first that stays the same over 3 reads.
void ExpectDialogLikeReference(HWND dialog, const std::wstring& folder,
                               const std::wstring& reference) {
  Picture expected, shot, last;
  std::wstring error;
  const bool updating = Updating();
  if (!updating)
    ReadPng(TestSourcePath(L"reference\\" + reference).c_str(), &expected, &error);
  SetForegroundWindow(dialog);
  RECT rc;
  GetWindowRect(dialog, &rc);
  int steady = 0;
  for (ULONGLONG end = GetTickCount64() + 15000; GetTickCount64() < end; Sleep(100)) {
    if (!CaptureScreenRect(rc, &shot))
      continue;
    if (updating ? (steady = Same(shot, last) ? steady + 1 : 0) == 2 : Same(shot, expected))
      break;
    last = shot;
  }
  ASSERT_TRUE(WritePng((folder + L"\\" + reference).c_str(), shot, &error));
  ExpectLikeReference({folder, {}}, reference.c_str(), reference.c_str());
}

// The real About program, started as a user starts it, in its three states
// (initial; armed by a tap on the notice; revealed by a tap on the logo),
// with two cards and with none.
TEST(EndToEnd, AboutDialogPicturesMatchTheReferences) {
  const int kNotice = 1002, kLogo = 1009;
  std::wstring folder = FreshFolder(L"about-dialog");
  CreateDirectoryW(folder.c_str(), nullptr);
  for (bool cards : {true, false}) {
    SimRemoveAllCards();
    if (cards) {
      SimAddCard(L"Storage Card", 128ull << 20, 83ull << 20);
      SimAddCard(L"CF Card", 512ull << 20, 201ull << 20);
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    wchar_t line[] = L"AboutDashboard.exe";
    ASSERT_TRUE(CreateProcessW(L"AboutDashboard.exe", line, nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    AutoCloseHandle thread(process.hThread), about(process.hProcess);
    HWND d = nullptr;
    EXPECT_EQ("", WaitWhileRunning(process.hProcess, "AboutDashboard.exe", [&] {
                return (d = FindWindowW(L"#32770", L"About Quorvane")) && IsWindowVisible(d);
              }));
    const std::wstring with = cards ? L"-two-cards.png" : L"-no-cards.png";
    if (d) {
      ExpectDialogLikeReference(d, folder, L"about-initial" + with);
      for (int id : {kNotice, kLogo}) {
        SendDlgItemMessageW(d, id, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        SendDlgItemMessageW(d, id, WM_LBUTTONUP, 0, 0);
        const wchar_t* state = id == kNotice ? L"about-armed" : L"about-revealed";
        ExpectDialogLikeReference(d, folder, state + with);
      }
      PostMessageW(d, WM_COMMAND, IDOK, 0);
    }
    DWORD exitCode = 99;
    if (WaitForSingleObject(about, 20000) != WAIT_OBJECT_0)
      TerminateProcess(about, 99);
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(0u, exitCode);
  }
  SimRemoveAllCards();
}

// The refresh protocol repaints only on a change; a tap outside the gauges
// opens one About dialog; the options dialog closes only with OK: scenarios
// that check themselves with their `expect` lines.
TEST(EndToEnd, ScenariosThatCheckThemselves) {
  for (const wchar_t* name : {L"refresh", L"about", L"options"}) {
    ScenarioRun run = RunScenarioFile(name);
    EXPECT_EQ(0u, run.result.exitCode) << run.result.output;
  }
}

TEST(EndToEnd, WakeupShowsInitLabelsForFourSeconds) {
  ScenarioRun run = RunScenarioFile(L"wakeup");
  ASSERT_EQ(0u, run.result.exitCode) << run.result.output;
  ExpectLikeReference(run, L"init.png", L"wakeup-init.png");
  Picture before = Load(run.folder + L"\\before.png");
  Picture init = Load(run.folder + L"\\init.png");
  EXPECT_FALSE(Same(before, init));
  // Exactly 4000 ms after the notice the labels still read Init...
  EXPECT_TRUE(Same(init, Load(run.folder + L"\\init-at-4000ms.png")));
  // ...one millisecond later the readings are back, as before the suspend.
  EXPECT_TRUE(Same(before, Load(run.folder + L"\\live.png")));
}

// A window whose thread has stopped pumping cannot hold the host: its
// picture is taken without waiting for it.
TEST(EndToEnd, AHungWindowDoesNotHoldTheRun) {
  AutoCloseHandle shown(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread hung([&] {
    HWND w = CreateWindowExW(0, L"STATIC", L"HostTest Hung", WS_POPUP | WS_VISIBLE, 300, 0, 100, 50,
                             nullptr, nullptr, nullptr, nullptr);
    SetEvent(shown);
    WaitForSingleObject(release, INFINITE);
    DestroyWindow(w);
  });
  WaitForSingleObject(shown, INFINITE);
  HostResult r = RunScript(L"hung", "snapshot h.png of \"HostTest Hung\"\n").result;
  SetEvent(release);
  hung.join();
  EXPECT_EQ(0u, r.exitCode) << r.output;
}

// Live mode: the window on the machine's own readings, closed by itself
// with a picture. Readings vary by machine; the logo and the background
// left of the battery gauge are the same as in every other picture.
TEST(EndToEnd, LiveWindowShowsTheStrip) {
  std::wstring picture = FreshFolder(L"live") + L".png";
  HostResult r = RunHost(L"--live --close-after 1500ms --snapshot \"" + picture + L"\"");
  ASSERT_EQ(0u, r.exitCode) << r.output;
  EXPECT_SAYS(r, "live device");
  Picture live = Load(picture);
  Picture reference = Load(TestSourcePath(L"reference\\strip-readings.png"));
  ASSERT_EQ(240, live.width);
  ASSERT_EQ(42, live.height);
  ExpectSameBlock(reference, 0, 0, live, 0, 0, 30, 42);
}

// The checks themselves can fail, and say where.
TEST(EndToEnd, UnmetExpectationFailsNamingTheLine) {
  ScenarioRun run = RunScript(L"unmet", "wait 2s\n\nexpect paints 7\nsnapshot never.png\n");
  EXPECT_EQ(1u, run.result.exitCode) << run.result.output;
  EXPECT_SAYS(run.result, "line 3: expected 7 item paints, counted");
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((run.folder + L"\\never.png").c_str()));
}

// All of a run's waits for other programs share --wait-budget: the line that
// finds it spent fails, naming it. The options dialog is ended at its deadline
// although the item would close it on OK.
TEST(EndToEnd, WaitsForOtherProgramsShareTheRunsBudget) {
  const struct {
    const char* script;
    const wchar_t* budget;
    const char* says;
  } cases[] = {
      {"expect no-window \"Nowhere\"\nexpect window \"Nowhere\"\n", L"300ms",
       "line 2: a run waits at most 300ms in all for other programs and windows"},
      {"refresh\noptions ok\n", L"1ms", "line 2: a run waits at most 1ms in all"},
  };
  for (const auto& c : cases) {
    HostResult r =
        RunScript(L"budget", c.script, L"--wait-budget " + std::wstring(c.budget)).result;
    EXPECT_EQ(1u, r.exitCode) << r.output;
    EXPECT_SAYS(r, c.says);
  }
}

// Two hosts started together: each picture shows the battery its own script
// set, as in a run alone (the second host waits its turn; the waiting itself
// is checked below, with the turn held by the test).
TEST(EndToEnd, TwoHostsStartedTogetherEachSeeTheirOwnDevice) {
  auto script = [](int percent) {
    return "battery percent=" + std::to_string(percent) + "\nwait 2h\nsnapshot p.png\n";
  };
  ScenarioRun a, b;
  std::thread first([&] { a = RunScript(L"p10", script(10)); });
  std::thread second([&] { b = RunScript(L"p90", script(90)); });
  first.join();
  second.join();
  ScenarioRun alone = RunScript(L"p10-alone", script(10));
  for (const ScenarioRun* run : {&a, &b, &alone})
    ASSERT_EQ(0u, run->result.exitCode) << run->result.output;
  Picture p10 = Load(a.folder + L"\\p.png");
  EXPECT_TRUE(Same(p10, Load(alone.folder + L"\\p.png")));
  EXPECT_FALSE(Same(p10, Load(b.folder + L"\\p.png")));
}

// A host that cannot have the device within --device-wait gives up clearly.
TEST(EndToEnd, HostGivesUpWhenTheDeviceStaysBusy) {
  AutoCloseHandle turn(CreateMutexW(nullptr, TRUE, L"Local\\CeStandIn.SimulatedDeviceTurn"));
  ASSERT_TRUE(turn.IsValid());
  HostResult r = RunScript(L"busy", "refresh\n", L"--device-wait 1s").result;
  ReleaseMutex(turn);
  EXPECT_EQ(4u, r.exitCode) << r.output;
  EXPECT_SAYS(r, "another TodayHost is using the simulated device; waiting up to 1s");
  EXPECT_SAYS(r, "still in use by another TodayHost after 1s");
}

// The most cards a script may insert are all there after it, in order.
TEST(EndToEnd, HundredCardsAreInserted) {
  std::string text;
  for (int i = 1; i <= 100; ++i)
    text += "card add C" + std::to_string(i) + " total=1MB free=1MB\n";
  HostResult r = RunScript(L"cards", text).result;
  ASSERT_EQ(0u, r.exitCode) << r.output;
  WIN32_FIND_DATAW card;
  int count = 0;
  HANDLE search = FindFirstFlashCard(&card);
  for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFlashCard(search, &card)) {
    EXPECT_EQ(L"C" + std::to_wstring(++count), std::wstring(card.cFileName));
  }
  if (search != INVALID_HANDLE_VALUE)
    FindClose(search);
  EXPECT_EQ(100, count);
}

}  // namespace
