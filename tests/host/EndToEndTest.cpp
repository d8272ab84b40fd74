// End to end: TodayHost.exe with the real item and About program, pictures
// as tests/host/reference holds them (QUORVANE_UPDATE_REFERENCES=1 rewrites those).
#include <gtest/gtest.h>

#include <thread>

#include "HostRun.h"
#include "SimulatedDevice.h"
#include "TestSupport.h"

namespace {

Picture Load(const std::wstring& path) {
  Picture p;
  std::wstring error;
  EXPECT_TRUE(ReadPng(path.c_str(), &p, &error)) << std::string(error.begin(), error.end());
  return p;
}

const wchar_t kTurn[] = L"Local\\CeStandIn.SimulatedDeviceTurn";

const bool updating =
    _wgetenv(L"QUORVANE_UPDATE_REFERENCES") && _wgetenv(L"QUORVANE_UPDATE_REFERENCES")[0] == L'1';

void ExpectLikeReference(const std::wstring& folder, const std::wstring& name,
                         const std::wstring& reference) {
  std::wstring made = folder + L"\\" + name, kept = TestSourcePath(L"reference\\" + reference);
  if (updating) {
    ASSERT_TRUE(CopyFileW(made.c_str(), kept.c_str(), FALSE));
    return;
  }
  EXPECT_EQ("", Difference(Load(made), Load(kept))) << std::string(name.begin(), name.end());
}

TEST(EndToEnd, StripPicturesMatchTheReferences) {
  HostResult run = RunScript(L"strip");
  ASSERT_EQ(0u, run.exitCode) << run.output;
  for (std::wstring name : {L"readings", L"battery-time", L"card", L"red-text", L"widest-labels"})
    ExpectLikeReference(run.folder, name + L".png", L"strip-" + name + L".png");
  ExpectLikeReference(run.folder, L"today.png", L"today-window.png");
  Picture strip = Load(run.folder + L"\\readings.png");
  EXPECT_EQ("", Difference(MagnifyPicture(strip, 3), Load(run.folder + L"\\readings-x3.png")));
  // One frame per strip snapshot, the magnified one included.
  UINT frames = 0;
  std::wstring error;
  ReadPictureFrame((run.folder + L"\\strip.gif").c_str(), 0, &strip, &frames, &error);
  EXPECT_EQ(5u, frames);
}

// The About dialog as the screen shows it: it repaints after a tap in its own
// time, so the screen is read until it matches (up to 15 s); when updating,
// the picture kept is the first that stays the same over 3 reads.
void ExpectDialogLikeReference(HWND dialog, const std::wstring& folder,
                               const std::wstring& reference) {
  Picture expected = updating ? Picture() : Load(TestSourcePath(L"reference\\" + reference)), shot,
          last;
  std::wstring error;
  SetForegroundWindow(dialog);
  RECT rc;
  GetWindowRect(dialog, &rc);
  int steady = 0;
  for (ULONGLONG end = GetTickCount64() + 15000; GetTickCount64() < end; Sleep(100)) {
    if (!CaptureScreenRect(rc, &shot))
      continue;
    if (updating ? (steady = Difference(shot, last).empty() ? steady + 1 : 0) == 2
                 : Difference(shot, expected).empty())
      break;
    last = shot;
  }
  ASSERT_TRUE(WritePng((folder + L"\\" + reference).c_str(), shot, &error));
  ExpectLikeReference(folder, reference, reference);
}

// Started as a user starts it; armed by a tap on the notice, revealed by one on the logo.
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
    HostResult about;
    std::thread run([&] { about = RunHost(L"", L"AboutDashboard.exe"); });
    HWND d = nullptr;
    EXPECT_TRUE(WaitFor(
        [&] { return (d = FindWindowW(L"#32770", L"About Quorvane")) && IsWindowVisible(d); }));
    const std::wstring with = cards ? L"-two-cards.png" : L"-no-cards.png";
    if (d) {
      ExpectDialogLikeReference(d, folder, L"about-initial" + with);
      for (int id : {kNotice, kLogo}) {
        SendDlgItemMessageW(d, id, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        SendDlgItemMessageW(d, id, WM_LBUTTONUP, 0, 0);
        ExpectDialogLikeReference(d, folder,
                                  (id == kNotice ? L"about-armed" : L"about-revealed") + with);
      }
      PostMessageW(d, WM_COMMAND, IDOK, 0);
    }
    run.join();
    EXPECT_EQ(0u, about.exitCode) << about.output;
  }
  SimRemoveAllCards();
}

TEST(EndToEnd, WakeupShowsInitLabelsForFourSeconds) {
  HostResult run = RunScript(L"wakeup");
  ASSERT_EQ(0u, run.exitCode) << run.output;
  ExpectLikeReference(run.folder, L"init.png", L"wakeup-init.png");
  Picture before = Load(run.folder + L"\\before.png"), init = Load(run.folder + L"\\init.png");
  EXPECT_NE("", Difference(before, init));
  // Exactly 4000 ms after the notice the labels still read Init...
  EXPECT_EQ("", Difference(init, Load(run.folder + L"\\init-at-4000ms.png")));
  // ...one millisecond later the readings are back, as before the suspend.
  EXPECT_EQ("", Difference(before, Load(run.folder + L"\\live.png")));
}

// Scenarios that check themselves, a failed expectation, the waits sharing
// --wait-budget, a hung window that does not hold the run, a busy device.
TEST(EndToEnd, ScriptsEndWithTheirStatusAndSayWhy) {
  const struct {
    const wchar_t* name;
    std::string script;  // "": tests/host/scenarios/<name>.txt
    const wchar_t* options;
    DWORD exitCode;
    const char* says;
    char setup = ' ';  // 'b': the device's turn held by the test; 'h': a hung window
  } rows[] = {
      {L"refresh", "", L"", 0, ""},
      {L"about", "", L"", 0, ""},
      {L"options", "", L"", 0, ""},
      {L"unmet", "wait 2s\n\nexpect paints 7\nsnapshot never.png\n", L"", 1,
       "line 3: expected 7 item paints, counted"},
      {L"budget", "expect no-window \"Nowhere\"\nexpect window \"Nowhere\"\n",
       L"--wait-budget 300ms", 1,
       "line 2: a run waits at most 300ms in all for other programs and windows"},
      {L"budget", "refresh\noptions ok\n", L"--wait-budget 1ms", 1,
       "line 2: a run waits at most 1ms in all"},
      {L"hung", "snapshot h.png of \"HostTest Hung\"\n", L"", 0, "", 'h'},
      {L"busy", "refresh\n", L"--device-wait 1s", 4,
       "another TodayHost is using the simulated device; waiting up to 1s", 'b'},
  };
  for (const auto& row : rows) {
    AutoCloseHandle turn(row.setup == 'b' ? CreateMutexW(nullptr, TRUE, kTurn) : nullptr);
    HWND hung = row.setup != 'h'
                    ? nullptr  // this thread does not pump while the host runs
                    : CreateWindowExW(0, L"STATIC", L"HostTest Hung", WS_POPUP | WS_VISIBLE, 300, 0,
                                      100, 50, nullptr, nullptr, nullptr, nullptr);
    HostResult run = RunScript(row.name, row.script, row.options);
    ReleaseMutex(turn);
    DestroyWindow(hung);
    EXPECT_EQ(row.exitCode, run.exitCode) << run.output;
    EXPECT_SAYS(run, row.says);
    EXPECT_SAYS(run, row.setup == 'b' ? "still in use by another TodayHost after 1s" : "");
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((run.folder + L"\\never.png").c_str()));
  }
}

// Live mode, closed by itself with a picture: readings vary by machine, the
// logo and the background left of the battery gauge do not.
TEST(EndToEnd, LiveWindowShowsTheStrip) {
  std::wstring picture = FreshFolder(L"live") + L".png";
  HostResult r = RunHost(L"--live --close-after 1500ms --snapshot \"" + picture + L"\"");
  ASSERT_EQ(0u, r.exitCode) << r.output;
  EXPECT_SAYS(r, "live device");
  Picture live = Load(picture), reference = Load(TestSourcePath(L"reference\\strip-readings.png"));
  ASSERT_EQ(240, live.width);
  ASSERT_EQ(42, live.height);
  for (int i = 0; i < 30 * 42; ++i)
    ASSERT_EQ(reference.At(i % 30, i / 30), live.At(i % 30, i / 30)) << i % 30 << "," << i / 30;
}

// The second host waits its turn: each picture is as in a run alone.
TEST(EndToEnd, TwoHostsStartedTogetherEachSeeTheirOwnDevice) {
  auto script = [](int percent) {
    return "battery percent=" + std::to_string(percent) + "\nwait 2h\nsnapshot p.png\n";
  };
  HostResult b;
  std::thread second([&] { b = RunScript(L"p90", script(90)); });
  HostResult a = RunScript(L"p10", script(10));
  second.join();
  HostResult alone = RunScript(L"p10-alone", script(10));
  for (const HostResult* run : {&a, &b, &alone})
    ASSERT_EQ(0u, run->exitCode) << run->output;
  Picture p10 = Load(a.folder + L"\\p.png");
  EXPECT_EQ("", Difference(p10, Load(alone.folder + L"\\p.png")));
  EXPECT_NE("", Difference(p10, Load(b.folder + L"\\p.png")));
}

}  // namespace
