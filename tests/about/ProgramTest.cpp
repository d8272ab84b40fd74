// AboutDashboard.exe as a real process, with an item window here to notify:
// the command lines that reach it and the single instance.
#include <gtest/gtest.h>

#include <string>
#include <vector>

// This test starts the program the desktop's way (and the device's way by
// name), so it sees the desktop's own calls.
#define CE_PLATFORM_IMPLEMENTATION
#include "CeApi.h"
#include "DashboardContract.h"
#include "TestSupport.h"

namespace {

std::vector<HWND> notices;  // windows that received the wake-up notice, in order
LRESULT CALLBACK RecordNotice(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DASHBOARD_WAKEUP && wParam == 0 && lParam == 0)
    notices.push_back(window);
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND FindAboutDialog(DWORD processId) {  // 0: any process's
  for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32770", L"About Quorvane"));) {
    DWORD owner = 0;
    if (GetWindowThreadProcessId(w, &owner) && (!processId || owner == processId))
      return w;
  }
  return nullptr;
}

// The desktop's way (the whole line, program first; empty: none at all) or
// the device's way (the argument alone, through the CE stand-in). Every start
// is noted, so that a failed test ends what it left running (a program left
// open would hold ctest's output).
const std::wstring program = BesideTest(L"AboutDashboard.exe"), quoted = L"\"" + program + L"\"";
std::vector<HANDLE> started;
PROCESS_INFORMATION Start(std::wstring line, bool ceStyle = false, DWORD flags = 0) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  EXPECT_TRUE((ceStyle ? CeCreateProcessW : CreateProcessW)(
      program.c_str(), line.empty() ? nullptr : &line[0], nullptr, nullptr, FALSE, flags, nullptr,
      nullptr, ceStyle ? nullptr : &startup, &process));
  HANDLE noted = nullptr;
  DuplicateHandle(GetCurrentProcess(), process.hProcess, GetCurrentProcess(), &noted, 0, FALSE,
                  DUPLICATE_SAME_ACCESS);
  started.push_back(noted);
  return process;
}

// Pumps this thread's messages (the program's notice is a synchronous send)
// until the process ends, for up to 30 s; a dialog it shows is noted and, if
// `close`, closed with OK, else the wait ends there. The exit code is 999
// while it runs.
struct Outcome {
  DWORD exitCode = 999;
  bool sawDialog = false;
};
Outcome Finish(const PROCESS_INFORMATION& process, bool close = true) {
  AutoCloseHandle thread(process.hThread), ended(process.hProcess);
  Outcome run;
  for (ULONGLONG end = GetTickCount64() + 30000; GetTickCount64() < end;) {
    if (MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0) {
      GetExitCodeProcess(process.hProcess, &run.exitCode);
      break;
    }
    PumpMessages();
    if (HWND dialog = FindAboutDialog(process.dwProcessId)) {
      run.sawDialog = true;
      if (!close)
        break;
      PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    }
  }
  return run;
}

class AboutProgram : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    for (const wchar_t* name : {TODAY_WINDOW_CLASS, ITEM_CLASS_NAME}) {
      WNDCLASSW wc = {};
      wc.lpfnWndProc = RecordNotice, wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = name;
      RegisterClassW(&wc);
    }
  }
  void SetUp() override { notices.clear(); }
  void TearDown() override {
    DestroyWindow(today);
    for (HANDLE process : started) {
      AutoCloseHandle owned(process);
      TerminateProcess(owned, 1);  // no effect once it has ended
    }
    started.clear();
  }
  HWND Make(const wchar_t* className, HWND parent, DWORD style) {
    return CreateWindowExW(0, className, L"", style, 300, 300, 20, 20, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
  }
  HWND today = Make(TODAY_WINDOW_CLASS, nullptr, WS_POPUP);
  HWND item = Make(ITEM_CLASS_NAME, today, WS_CHILD);
};

// Only the exact argument takes the wake-up path: it notifies the item and
// shows nothing; any other line shows the dialog. Every start ends with 0.
TEST_F(AboutProgram, OnlyTheExactCommandLineTakesTheWakeupPath) {
  const struct {
    std::wstring line;
    bool ceStyle, wakes;
  } rows[] = {
      {quoted + L" " APP_RUN_AFTER_WAKEUP, false, true},
      {program + L" " APP_RUN_AFTER_WAKEUP, false, true},  // unquoted program name
      {APP_RUN_AFTER_WAKEUP, true, true},                  // started as the device does
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
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << &row - rows);
    notices.clear();
    Outcome run = Finish(Start(row.line, row.ceStyle));
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(!row.wakes, run.sawDialog);
    EXPECT_EQ(row.wakes ? std::vector<HWND>{item} : std::vector<HWND>{}, notices);
  }
}

// Eight starts released within microseconds of each other: exactly one shows
// the dialog, the others end. A later start brings that dialog to the front
// and ends; a wake-up start meanwhile notifies the item and leaves the dialog
// be. All end with 0.
TEST_F(AboutProgram, OneDialogHoweverManyStarts) {
  PROCESS_INFORMATION starts[8] = {};
  for (auto& p : starts)
    p = Start(quoted, false, CREATE_SUSPENDED);
  for (auto& p : starts)
    ResumeThread(p.hThread);
  auto count = [&](bool ended) {  // settled: every start ended or shows a dialog
    int n = 0;
    for (auto& p : starts)
      n += ended ? WaitForSingleObject(p.hProcess, 0) == WAIT_OBJECT_0
                 : FindAboutDialog(p.dwProcessId) != nullptr;
    return n;
  };
  EXPECT_TRUE(WaitFor([&] { return count(true) + count(false) == 8; }, 30000))
      << count(true) << " ended, " << count(false) << " show a dialog";
  EXPECT_EQ(1, count(false));
  HWND dialog = FindAboutDialog(0), mine = Make(L"Static", today, WS_POPUP | WS_VISIBLE);
  SetForegroundWindow(mine);
  ASSERT_EQ(mine, GetForegroundWindow());

  Outcome later = Finish(Start(quoted), false);
  EXPECT_EQ(0u, later.exitCode);
  EXPECT_FALSE(later.sawDialog);
  // The dialog's own thread carries out the activation.
  EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == dialog; })) << "not in front";
  EXPECT_EQ(nullptr, FindWindowExW(nullptr, dialog, L"#32770", L"About Quorvane"));

  EXPECT_EQ(0u, Finish(Start(quoted + L" " APP_RUN_AFTER_WAKEUP)).exitCode);
  EXPECT_EQ(std::vector<HWND>{item}, notices);
  EXPECT_TRUE(IsWindowVisible(dialog));
  for (auto& p : starts)
    EXPECT_EQ(0u, Finish(p).exitCode);
}

}  // namespace
