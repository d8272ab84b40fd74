// The wake-up search in this process, then AboutDashboard.exe started with an
// item window here to notify: its command lines and its single dialog.
#include <gtest/gtest.h>

#include <string>
#include <vector>

// Starts the program the desktop's way too, so it sees the desktop's calls.
#define CE_PLATFORM_IMPLEMENTATION
#include "AboutProgram.h"
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

// Pumps messages (the notice is a synchronous send) until the process ends,
// for up to 30 s, closing a dialog it shows with OK; 999 while it runs.
DWORD Finish(const PROCESS_INFORMATION& process, bool* sawDialog = nullptr) {
  DWORD code = 999;
  for (ULONGLONG end = GetTickCount64() + 30000; code == 999 && GetTickCount64() < end;) {
    if (MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0)
      GetExitCodeProcess(process.hProcess, &code);
    PumpMessages();
    if (HWND dialog = FindAboutDialog(process.dwProcessId)) {
      if (sawDialog)
        *sawDialog = true;
      PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    }
  }
  return code;
}

class AboutProgram : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    // Class names are case-blind atoms, so the decoy differs by more than case.
    for (const wchar_t* name : {TODAY_WINDOW_CLASS, ITEM_CLASS_NAME, ITEM_CLASS_NAME L"X"}) {
      WNDCLASSW wc = {0,       RecordNotice, 0,       0,       GetModuleHandleW(nullptr),
                      nullptr, nullptr,      nullptr, nullptr, name};
      RegisterClassW(&wc);
    }
  }
  void SetUp() override { notices.clear(); }
  // A program left running after a failure would hold ctest's output.
  void TearDown() override {
    DestroyWindow(today);
    for (auto& p : started) {
      AutoCloseHandle process(p.hProcess), thread(p.hThread);
      TerminateProcess(process, 1);  // no effect once it has ended
    }
  }
  // The desktop's way (the whole line; empty: none) or the device's (the argument alone).
  PROCESS_INFORMATION Start(std::wstring line, bool ceStyle = false, DWORD flags = 0) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION& p = started.emplace_back();
    EXPECT_TRUE((ceStyle ? CeCreateProcessW : CreateProcessW)(
        program.c_str(), line.empty() ? nullptr : &line[0], nullptr, nullptr, FALSE, flags, nullptr,
        nullptr, ceStyle ? nullptr : &startup, &p));
    return p;
  }
  HWND Make(const wchar_t* className, HWND parent = nullptr) {
    return CreateWindowExW(0, className, L"", parent ? WS_CHILD : WS_POPUP, 300, 300, 20, 20,
                           parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  const std::wstring program = BesideTest(L"AboutDashboard.exe"), quoted = L"\"" + program + L"\"";
  HWND today = Make(TODAY_WINDOW_CLASS), item = Make(ITEM_CLASS_NAME, today);
  std::vector<PROCESS_INFORMATION> started;
};

// The notice goes to the first "DashBoard" in pre-order from the Today window
// (its children, its later siblings, then the top-level windows behind it). A
// window whose class name cannot be read ends its branch.
HWND unreadable;
int WINAPI ClassNameUnlessUnreadable(HWND w, LPWSTR name, int size) {
  return w == unreadable ? 0 : int(RealGetWindowClassW(w, name, size));
}

TEST_F(AboutProgram, WakeupSearchFindsTheFirstDashBoardInPreOrderFromTheTodayWindow) {
  // Siblings in creation order; a new top-level window goes in front.
  DestroyWindow(today);
  HWND behind = Make(L"Static"), behindItem = Make(ITEM_CLASS_NAME, Make(L"Static", behind));
  HWND branch = Make(L"Static", today = Make(TODAY_WINDOW_CLASS));
  Make(ITEM_CLASS_NAME L"X", branch);
  HWND middle = Make(L"Static", branch), first = Make(ITEM_CLASS_NAME, middle);
  HWND second = Make(ITEM_CLASS_NAME, today), inFront = Make(ITEM_CLASS_NAME);
  // The program's own import of GetClassNameW, pointed at the stand-in.
  auto base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  auto nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY iat = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IAT];
  void *original = reinterpret_cast<void*>(&GetClassNameW),  // what the import holds
      **slot = reinterpret_cast<void**>(base + iat.VirtualAddress),
       **end = slot + iat.Size / sizeof *slot;
  while (slot < end && *slot != original)
    ++slot;
  ASSERT_LT(slot, end) << "no import of GetClassNameW";
  DWORD access;
  VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &access);
  *slot = reinterpret_cast<void*>(ClassNameUnlessUnreadable);
  // Unreadable, notified; the last with no Today window at all.
  const std::pair<HWND, HWND> rows[] = {
      {nullptr, first}, {middle, second}, {branch, behindItem}, {today, {}}, {nullptr, {}}};
  for (auto [none, found] : rows) {
    unreadable = none;
    if (!none && !found)
      DestroyWindow(today);
    notices.clear();
    NotifyItemOfWakeup();
    EXPECT_EQ(found ? std::vector<HWND>{found} : std::vector<HWND>{}, notices) << none;
  }
  *slot = original;
  DestroyWindow(behind);
  DestroyWindow(inFront);
}

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
      {quoted + L" " APP_RUN_AFTER_WAKEUP L" ", false, false},
      {quoted + L" " APP_RUN_AFTER_WAKEUP L"X", false, false},
      {quoted, false, false},
      {L"", true, false},  // path only, as the item starts it
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << &row - rows);
    notices.clear();
    bool sawDialog = false;
    EXPECT_EQ(0u, Finish(Start(row.line, row.ceStyle), &sawDialog));
    EXPECT_EQ(!row.wakes, sawDialog);
    EXPECT_EQ(row.wakes ? std::vector<HWND>{item} : std::vector<HWND>{}, notices);
  }
}

// Eight starts released together: one dialog, the others end; a wake-up start
// meanwhile notifies the item and leaves the dialog be. All end with 0.
TEST_F(AboutProgram, OneDialogHoweverManyStarts) {
  for (int i = 0; i < 8; i++)
    Start(quoted, false, CREATE_SUSPENDED);
  for (auto& p : started)
    ResumeThread(p.hThread);
  auto ended = [&] {
    int n = 0;
    for (auto& p : started)
      n += WaitForSingleObject(p.hProcess, 0) == WAIT_OBJECT_0;
    return n;
  };
  EXPECT_TRUE(WaitFor([&] { return ended() == 7; }, 30000)) << ended() << " of 8 ended";
  HWND dialog = FindAboutDialog(0);
  EXPECT_EQ(nullptr, FindWindowExW(nullptr, dialog, L"#32770", L"About Quorvane")) << "two";
  EXPECT_EQ(0u, Finish(Start(quoted + L" " APP_RUN_AFTER_WAKEUP)));
  EXPECT_EQ(std::vector<HWND>{item}, notices);
  EXPECT_TRUE(IsWindowVisible(dialog));
  for (int i = 0; i < 8; i++)
    EXPECT_EQ(0u, Finish(started[i]));
}

}  // namespace
