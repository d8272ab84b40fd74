// AboutDashboard.exe as a real process: the wake-up search over window trees
// built here, the command lines that reach it, and the single instance.
#include <gtest/gtest.h>

#include <string>
#include <vector>

// This test starts the program the desktop's way (and the device's way by
// name), so it sees the desktop's own calls.
#define CE_PLATFORM_IMPLEMENTATION
#include "CeApi.h"
#include "CeCommandLine.h"

namespace {

const UINT kWakeup = WM_USER + 15;
std::vector<HWND> notices;  // windows that received the wake-up notice, in order

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kWakeup && wParam == 0 && lParam == 0) {
    notices.push_back(window);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

std::wstring ProgramPath() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path);
  return p.substr(0, p.find_last_of(L'\\') + 1) + L"AboutDashboard.exe";
}

HWND FindAboutDialog(DWORD processId) {
  for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32770", L"About Quorvane"));) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (!processId || owner == processId) return w;
  }
  return nullptr;
}

// Pumps this thread's messages (the program's notice is a synchronous send)
// until the process ends; a dialog it shows is noted and closed with OK.
// Returns the exit code, or 999 when it had to be ended.
struct Outcome {
  DWORD exitCode = 999;
  bool sawDialog = false;
};
Outcome Finish(const PROCESS_INFORMATION& process, bool closeDialog = true) {
  Outcome run;
  for (DWORD start = GetTickCount(); GetTickCount() - start < 15000;) {
    if (MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0) {
      GetExitCodeProcess(process.hProcess, &run.exitCode);
      break;
    }
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    if (HWND dialog = FindAboutDialog(process.dwProcessId)) {
      run.sawDialog = true;
      if (closeDialog) PostMessageW(dialog, WM_COMMAND, IDOK, 0);
      else return run;
    }
  }
  if (run.exitCode == 999) TerminateProcess(process.hProcess, 999);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return run;
}

PROCESS_INFORMATION Start(const std::wstring& commandLine, bool ceStyle = false) {
  std::wstring line = commandLine;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  std::wstring path = ProgramPath();
  BOOL ok = ceStyle ? CeCreateProcessW(path.c_str(), commandLine.empty() ? nullptr : &line[0],
                                       nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                                       &process)
                    : CreateProcessW(path.c_str(), line.empty() ? nullptr : &line[0], nullptr,
                                     nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
  EXPECT_TRUE(ok);
  return process;
}

class AboutProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    // Class names are case-blind atoms, so decoys differ by more than case.
    for (const wchar_t* name : {L"DesktopExplorerWindow", L"DashBoard", L"DashBoardX",
                                L"Plain"}) {
      WNDCLASSW wc = {};
      wc.lpfnWndProc = RecordingProc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = name;
      RegisterClassW(&wc);
    }
    notices.clear();
  }
  void TearDown() override {
    for (HWND w : created) DestroyWindow(w);
  }
  HWND Make(const wchar_t* className, HWND parent = nullptr) {
    HWND w = CreateWindowExW(0, className, L"", parent ? WS_CHILD : WS_POPUP, 0, 0, 10, 10,
                             parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!parent) created.insert(created.begin(), w);  // destroyed with its children
    return w;
  }
  static bool IsLaterSibling(HWND window, HWND later) {
    for (HWND w = GetWindow(window, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT))
      if (w == later) return true;
    return false;
  }
  std::wstring quoted = L"\"" + ProgramPath() + L"\"";
  std::vector<HWND> created;
};

TEST_F(AboutProgram, FirstDashBoardInPreOrderGetsTheOnlyNotice) {
  HWND later = Make(L"Plain");
  HWND laterItem = Make(L"DashBoard", later);
  HWND today = Make(L"DesktopExplorerWindow");
  HWND branch = Make(L"Plain", today);
  Make(L"DashBoardX", branch);
  HWND inner = Make(L"Plain", branch);
  HWND first = Make(L"DashBoard", inner);
  Make(L"DashBoardX", today);
  HWND second = Make(L"DashBoard", today);
  Make(L"DashBoard");  // in front of the Today window: never searched
  ASSERT_EQ(GetWindow(today, GW_CHILD), branch);
  ASSERT_TRUE(IsLaterSibling(today, later));

  Outcome run = Finish(Start(quoted + L" AppRunAfterWakeup"));
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_FALSE(run.sawDialog);
  EXPECT_EQ(notices, std::vector<HWND>{first});
  (void)second;
  (void)laterItem;
}

TEST_F(AboutProgram, SearchGoesOnWithTheTodayWindowsLaterSiblings) {
  HWND later = Make(L"Plain");
  HWND item = Make(L"DashBoard", Make(L"Plain", later));
  HWND today = Make(L"DesktopExplorerWindow");
  Make(L"DashBoardX", Make(L"Plain", today));
  ASSERT_TRUE(IsLaterSibling(today, later));

  Outcome run = Finish(Start(quoted + L" AppRunAfterWakeup"));
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(notices, std::vector<HWND>{item});
}

TEST_F(AboutProgram, NoItemOrNoTodayWindowEndsQuietly) {
  HWND today = Make(L"DesktopExplorerWindow");
  Make(L"DashBoardX", Make(L"Plain", today));
  Outcome run = Finish(Start(quoted + L" AppRunAfterWakeup"));
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_FALSE(run.sawDialog);

  DestroyWindow(today);
  created.clear();
  Make(L"DashBoard");  // an item window, but no Today screen to find it in
  run = Finish(Start(quoted + L" AppRunAfterWakeup"));
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_FALSE(run.sawDialog);
  EXPECT_TRUE(notices.empty());
}

TEST_F(AboutProgram, OnlyTheExactCommandLineTakesTheWakeupPath) {
  HWND item = Make(L"DashBoard", Make(L"DesktopExplorerWindow"));
  struct Case {
    std::wstring line;
    bool ceStyle;
    bool wakes;
  } cases[] = {
      {quoted + L" AppRunAfterWakeup", false, true},
      {ProgramPath() + L" AppRunAfterWakeup", false, true},  // unquoted program name
      {L"AppRunAfterWakeup", true, true},                     // started as the device does
      {quoted + L" apprunafterwakeup", false, false},
      {quoted + L" APPRUNAFTERWAKEUP", false, false},
      {quoted + L"  AppRunAfterWakeup", false, false},  // a leading blank
      {quoted + L" AppRunAfterWakeup now", false, false},
      {quoted + L" AppRunAfterWakeup ", false, false},
      {quoted + L" AppRunAfterWakeupX", false, false},
      {quoted, false, false},
      {L"", false, false},  // no command line at all
      {L"", true, false},   // path only, as the item starts it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "command line [" << std::string(c.line.begin(), c.line.end())
                                    << "] ce=" << c.ceStyle);
    notices.clear();
    Outcome run = Finish(Start(c.line, c.ceStyle));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.sawDialog, !c.wakes);
    EXPECT_EQ(notices, c.wakes ? std::vector<HWND>{item} : std::vector<HWND>{});
  }
}

TEST_F(AboutProgram, SecondStartBringsTheOpenDialogToTheFront) {
  HWND item = Make(L"DashBoard", Make(L"DesktopExplorerWindow"));
  PROCESS_INFORMATION first = Start(quoted);
  Outcome shown = Finish(first, false);
  ASSERT_TRUE(shown.sawDialog);
  HWND dialog = FindAboutDialog(first.dwProcessId);

  HWND mine = CreateWindowExW(0, L"Plain", L"", WS_POPUP | WS_VISIBLE, 300, 300, 20, 20, nullptr,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
  created.push_back(mine);
  SetForegroundWindow(mine);
  ASSERT_EQ(GetForegroundWindow(), mine);

  Outcome second = Finish(Start(quoted), false);
  EXPECT_EQ(second.exitCode, 0u);
  EXPECT_FALSE(second.sawDialog);
  // The dialog's own thread carries out the activation: give it a moment.
  for (int i = 0; i < 40 && GetForegroundWindow() != dialog; ++i) Sleep(50);
  EXPECT_EQ(GetForegroundWindow(), dialog);
  EXPECT_EQ(FindAboutDialog(0), dialog);
  EXPECT_EQ(FindWindowExW(nullptr, dialog, L"#32770", L"About Quorvane"), nullptr);

  // A wake-up start meanwhile still notifies the item and leaves the dialog be.
  Outcome wake = Finish(Start(quoted + L" AppRunAfterWakeup"), false);
  EXPECT_EQ(wake.exitCode, 0u);
  EXPECT_EQ(notices, std::vector<HWND>{item});
  EXPECT_TRUE(IsWindowVisible(dialog));

  EXPECT_EQ(Finish(first).exitCode, 0u);
}

TEST(CeCommandLine, ArgumentIsWhatFollowsTheProgramAndOneBlank) {
  EXPECT_STREQ(CeCommandArgument(L"\"C:\\a b\\x.exe\" Arg x"), L"Arg x");
  EXPECT_STREQ(CeCommandArgument(L"x.exe Arg"), L"Arg");
  EXPECT_STREQ(CeCommandArgument(L"x.exe\tArg"), L"Arg");
  EXPECT_STREQ(CeCommandArgument(L"\"x.exe\"  Arg"), L" Arg");
  EXPECT_STREQ(CeCommandArgument(L"\"x.exe\""), L"");
  EXPECT_STREQ(CeCommandArgument(L"x.exe"), L"");

  wchar_t path[24];
  EXPECT_TRUE(CeDevicePath(L"\\windows\\iexplore.exe", path, 24));
  EXPECT_STREQ(path, L"C:\\windows\\iexplore.exe");
  EXPECT_TRUE(CeDevicePath(L"\\\\host\\share", path, 24));
  EXPECT_STREQ(path, L"\\\\host\\share");
  EXPECT_FALSE(CeDevicePath(L"\\windows\\iexplore.exe.", path, 24));
  EXPECT_STREQ(path, L"");
}

}  // namespace
