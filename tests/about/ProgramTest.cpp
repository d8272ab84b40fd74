// AboutDashboard.exe as a real process: the wake-up search over window trees
// built here, the command lines that reach it, and the single instance.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

// This test starts the program the desktop's way (and the device's way by
// name), so it sees the desktop's own calls.
#define CE_PLATFORM_IMPLEMENTATION
#include "CeApi.h"
#include "DashboardContract.h"
#include "TestSupport.h"

namespace {

const UINT kWakeup = WM_DASHBOARD_WAKEUP;
std::vector<HWND> notices;  // windows that received the wake-up notice, in order

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kWakeup && wParam == 0 && lParam == 0)
    notices.push_back(window);
  return DefWindowProcW(window, message, wParam, lParam);
}

std::wstring ProgramPath() {
  return BesideTest(L"AboutDashboard.exe");
}

HWND FindAboutDialog(DWORD processId) {
  for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32770", L"About Quorvane"));) {
    DWORD owner = 0;
    if (GetWindowThreadProcessId(w, &owner) && (!processId || owner == processId))
      return w;
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
  for (DWORD start = GetTickCount(); GetTickCount() - start < 30000;) {
    if (MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0) {
      GetExitCodeProcess(process.hProcess, &run.exitCode);
      break;
    }
    PumpMessages();
    if (HWND dialog = FindAboutDialog(process.dwProcessId)) {
      run.sawDialog = true;
      if (closeDialog)
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
      else
        return run;
    }
  }
  if (run.exitCode == 999)
    TerminateProcess(process.hProcess, 999);
  AutoCloseHandle thread(process.hThread), ended(process.hProcess);
  return run;
}

// The desktop's way (the whole line, program first; empty: none at all) or
// the device's way (the argument alone, through the CE stand-in).
// Every start is also noted, so that a failed test ends what it left running
// (a program left open would hold ctest's output).
std::vector<HANDLE> started;
PROCESS_INFORMATION Start(std::wstring line, bool ceStyle = false, DWORD flags = 0) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  wchar_t* text = line.empty() ? nullptr : &line[0];
  EXPECT_TRUE((ceStyle ? CeCreateProcessW : CreateProcessW)(
      ProgramPath().c_str(), text, nullptr, nullptr, FALSE, flags, nullptr, nullptr,
      ceStyle ? nullptr : &startup, &process));
  HANDLE noted = nullptr;
  DuplicateHandle(GetCurrentProcess(), process.hProcess, GetCurrentProcess(), &noted, 0, FALSE,
                  DUPLICATE_SAME_ACCESS);
  started.push_back(noted);
  return process;
}

class AboutProgram : public ::testing::Test {
protected:
  void SetUp() override {
    // Class names are case-blind atoms, so decoys differ by more than case.
    for (const wchar_t* name :
         {TODAY_WINDOW_CLASS, ITEM_CLASS_NAME, ITEM_CLASS_NAME L"X", L"Plain"}) {
      WNDCLASSW wc = {};
      wc.lpfnWndProc = RecordingProc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = name;
      RegisterClassW(&wc);
    }
    notices.clear();
  }
  void TearDown() override {
    for (HWND w : created)
      DestroyWindow(w);
    for (HANDLE process : started) {
      AutoCloseHandle owned(process);
      TerminateProcess(owned, 1);  // no effect once it has ended
    }
    started.clear();
  }
  HWND Make(const wchar_t* className, HWND parent = nullptr) {
    HWND w = CreateWindowExW(0, className, L"", parent ? WS_CHILD : WS_POPUP, 0, 0, 10, 10, parent,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!parent)
      created.insert(created.begin(), w);  // destroyed with its children
    return w;
  }
  // A wake-up start's exit code, whether it showed a dialog, and the notices.
  using Run = std::tuple<DWORD, bool, std::vector<HWND>>;
  Run WakeUp() {
    notices.clear();
    Outcome run = Finish(Start(quoted + L" " APP_RUN_AFTER_WAKEUP));
    return {run.exitCode, run.sawDialog, notices};
  }
  std::wstring quoted = L"\"" + ProgramPath() + L"\"";
  std::vector<HWND> created;
};

TEST_F(AboutProgram, FirstDashBoardInPreOrderGetsTheOnlyNotice) {
  // Later top-level windows come after the Today window; children keep their
  // creation order.
  HWND later = Make(L"Plain");
  HWND laterItem = Make(ITEM_CLASS_NAME, Make(L"Plain", later));
  HWND today = Make(TODAY_WINDOW_CLASS);
  HWND branch = Make(L"Plain", today);
  Make(ITEM_CLASS_NAME L"X", branch);
  HWND first = Make(ITEM_CLASS_NAME, Make(L"Plain", branch));
  Make(ITEM_CLASS_NAME L"X", today);
  HWND second = Make(ITEM_CLASS_NAME, today);
  Make(ITEM_CLASS_NAME);  // in front of the Today window: never searched
  EXPECT_EQ(Run(0, false, {first}), WakeUp());
  // Nothing in the Today window's subtree: its later siblings are next.
  DestroyWindow(first);
  DestroyWindow(second);
  EXPECT_EQ(Run(0, false, {laterItem}), WakeUp());
  // No item after the Today window, then no Today window: a quiet end.
  DestroyWindow(later);
  EXPECT_EQ(Run(0, false, {}), WakeUp());
  DestroyWindow(today);
  EXPECT_EQ(Run(0, false, {}), WakeUp());
}

TEST_F(AboutProgram, OnlyTheExactCommandLineTakesTheWakeupPath) {
  HWND item = Make(ITEM_CLASS_NAME, Make(TODAY_WINDOW_CLASS));
  struct Case {
    std::wstring line;
    bool ceStyle, wakes;
  } cases[] = {
      {quoted + L" " APP_RUN_AFTER_WAKEUP, false, true},
      {ProgramPath() + L" " APP_RUN_AFTER_WAKEUP, false, true},  // unquoted program name
      {APP_RUN_AFTER_WAKEUP, true, true},                        // started as the device does
      {quoted + L" apprunafterwakeup", false, false},
      {quoted + L"  " APP_RUN_AFTER_WAKEUP, false, false},  // a leading blank
      {quoted + L" " APP_RUN_AFTER_WAKEUP L" now", false, false},
      {quoted + L" " APP_RUN_AFTER_WAKEUP L" ", false, false},
      {quoted + L" " APP_RUN_AFTER_WAKEUP L"X", false, false},
      {quoted, false, false},
      {L"", false, false},  // no command line at all
      {L"", true, false},   // path only, as the item starts it
      {quoted + L" \u4e2d\u6587 \U0001D11E", false, false},
      {quoted + L" " + std::wstring(32766 - quoted.size() - 1, L'w'), false, false},  // longest
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "command line ["
                 << std::string(c.line.begin(),
                                c.line.begin() + std::min<size_t>(c.line.size(), 80))
                 << "] ce=" << c.ceStyle);
    notices.clear();
    Outcome run = Finish(Start(c.line, c.ceStyle));
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(!c.wakes, run.sawDialog);
    EXPECT_EQ(notices, c.wakes ? std::vector<HWND>{item} : std::vector<HWND>{});
  }
}

TEST_F(AboutProgram, SecondStartBringsTheOpenDialogToTheFront) {
  HWND item = Make(ITEM_CLASS_NAME, Make(TODAY_WINDOW_CLASS));
  PROCESS_INFORMATION first = Start(quoted);
  Outcome shown = Finish(first, false);
  ASSERT_TRUE(shown.sawDialog);
  HWND dialog = FindAboutDialog(first.dwProcessId);

  HWND mine = CreateWindowExW(0, L"Plain", L"", WS_POPUP | WS_VISIBLE, 300, 300, 20, 20, nullptr,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
  created.push_back(mine);
  SetForegroundWindow(mine);
  ASSERT_EQ(mine, GetForegroundWindow());

  Outcome second = Finish(Start(quoted), false);
  EXPECT_EQ(0u, second.exitCode);
  EXPECT_FALSE(second.sawDialog);
  // The dialog's own thread carries out the activation.
  EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == dialog; })) << "not in front";
  EXPECT_EQ(dialog, FindAboutDialog(0));
  EXPECT_EQ(nullptr, FindWindowExW(nullptr, dialog, L"#32770", L"About Quorvane"));

  // A wake-up start meanwhile still notifies the item and leaves the dialog be.
  EXPECT_EQ(Run(0, false, {item}), WakeUp());
  EXPECT_TRUE(IsWindowVisible(dialog));

  EXPECT_EQ(0u, Finish(first).exitCode);
}

// Eight starts released within microseconds of each other: exactly one shows
// the dialog, the others bring it to the front and end, and all end with 0.
TEST_F(AboutProgram, EightStartsAtOnceShowOneDialog) {
  PROCESS_INFORMATION starts[8] = {};
  for (auto& p : starts)
    p = Start(quoted, false, CREATE_SUSPENDED);
  for (auto& p : starts)
    ResumeThread(p.hThread);
  // Settled: every start has either ended or shows a dialog of its own.
  auto count = [&](bool ended) {
    int n = 0;
    for (auto& p : starts)
      n += ended ? WaitForSingleObject(p.hProcess, 0) == WAIT_OBJECT_0
                 : FindAboutDialog(p.dwProcessId) != nullptr;
    return n;
  };
  EXPECT_TRUE(WaitFor([&] { return count(true) + count(false) == 8; }, 30000))
      << count(true) << " ended, " << count(false) << " show a dialog";
  EXPECT_EQ(1, count(false));
  for (auto& p : starts)
    EXPECT_EQ(0u, Finish(p).exitCode);
}

}  // namespace
