// Scenario lines turned into device changes, item messages, pictures and checks.
#include "ScenarioRun.h"

#include <stdio.h>

#include <vector>

#include "CeApi.h"
#include "Picture.h"
#include "SimulatedDevice.h"
#include "TodayShell.h"

namespace {

// Real-time limit for things other programs do (a dialog to appear, a
// program started at wake-up to finish).
const DWORD otherProgramTimeoutMs = 15000;

struct RunState {
  const ScenarioSettings* settings;
  SYSTEM_POWER_STATUS_EX2 power;  // what the battery lines last set
  DWORD untilQueryMs;             // device time to the next refresh query
  bool suspended;
  int wakeupStarted;
  std::vector<Picture> strips;    // 1:1 strip snapshots, for animations
  // Options dialog driven from its modal loop.
  const std::vector<int>* presses;
  size_t pressesDone;
  HWND optionsDialog;
};

RunState Run;

std::wstring Sentence(const wchar_t* format, long long a, long long b = 0) {
  wchar_t buffer[256];
  _snwprintf(buffer, 255, format, a, b);
  buffer[255] = 0;
  return buffer;
}

std::wstring PathFor(const std::wstring& name) {
  std::wstring folder = Run.settings->outputFolder;
  if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  return folder + name;
}

struct WindowSearch {
  const wchar_t* title;
  int count;
  HWND first;
};

BOOL CALLBACK CountTitled(HWND window, LPARAM lParam) {
  WindowSearch* search = (WindowSearch*)lParam;
  wchar_t title[256];
  if (IsWindowVisible(window) && GetWindowTextW(window, title, 256) > 0 &&
      wcscmp(title, search->title) == 0) {
    if (!search->first) search->first = window;
    ++search->count;
  }
  return TRUE;
}

// Visible top-level windows with exactly this title.
int CountWindows(const std::wstring& title, HWND* first) {
  WindowSearch search = {title.c_str(), 0, nullptr};
  EnumWindows(CountTitled, (LPARAM)&search);
  if (first) *first = search.first;
  return search.count;
}

// Polls (pumping) until `test` holds or the real-time limit passes.
template <typename Test>
bool WaitUntil(Test test) {
  ULONGLONG start = GetTickCount64();
  for (;;) {
    PumpMessages();
    if (test()) return true;
    if (GetTickCount64() - start > otherProgramTimeoutMs) return false;
    SleepPumping(20);
  }
}

HWND WindowFor(const std::wstring& title) {
  if (title.empty()) return TodayShell.today;
  HWND window = nullptr;
  CountWindows(title, &window);
  return window;
}

// Lets device time pass: queries at the interval's cadence, none while
// suspended. While suspended the local time runs on and the tick count
// stands still, as on the device.
void LetTimePass(long long ms) {
  if (Run.suspended) {
    DWORD tick = CeGetTickCount();
    while (ms > 0) {
      DWORD step = ms > 86400000 ? 86400000 : (DWORD)ms;
      SimAdvanceClock(step);
      ms -= step;
    }
    SimSetTickCount(tick);
    InvalidateTodayHeader();
    PumpMessages();
    return;
  }
  while (ms >= Run.untilQueryMs) {
    SimAdvanceClock(Run.untilQueryMs);
    ms -= Run.untilQueryMs;
    Run.untilQueryMs = TodayShell.intervalMs;
    QueryTodayItem();
    PumpMessages();
  }
  if (ms > 0) {
    SimAdvanceClock((DWORD)ms);
    Run.untilQueryMs -= (DWORD)ms;
  }
  InvalidateTodayHeader();
  PumpMessages();
}

BOOL CALLBACK FindDialog(HWND window, LPARAM lParam) {
  wchar_t name[16];
  if (IsWindowVisible(window) && GetClassNameW(window, name, 16) > 0 &&
      wcscmp(name, L"#32770") == 0) {
    *(HWND*)lParam = window;
    return FALSE;
  }
  return TRUE;
}

// Runs inside the dialog's modal loop: presses the next button, one per tick,
// as a person would.
void CALLBACK PressOptionsButton(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, (LPARAM)&dialog);
  if (!dialog) return;
  Run.optionsDialog = dialog;
  if (!Run.presses || Run.pressesDone >= Run.presses->size()) return;
  int id = (*Run.presses)[Run.pressesDone++];
  // What the caption's OK button (or a Cancel key) sends.
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

bool RunOptions(const Command& c, std::wstring* error) {
  if (!TodayShell.optionsDialogProc) {
    *error = L"the item has no options dialog procedure (ordinal 241)";
    return false;
  }
  Run.presses = &c.presses;
  Run.pressesDone = 0;
  Run.optionsDialog = nullptr;
  UINT_PTR timer = SetTimer(nullptr, 0, 50, PressOptionsButton);
  INT_PTR result = ShowItemOptions();
  KillTimer(nullptr, timer);
  Run.presses = nullptr;
  if (result == -1 || !Run.optionsDialog) {
    *error = L"the options dialog (template 500) did not open";
    return false;
  }
  if (Run.pressesDone < c.presses.size()) {
    *error = Sentence(L"the options dialog closed after press %lld of %lld",
                      (long long)Run.pressesDone, (long long)c.presses.size());
    return false;
  }
  if (c.presses.back() == IDOK && result != 1) {
    *error = Sentence(L"the options dialog ended with %lld, not 1", (long long)result);
    return false;
  }
  return true;
}

// Another program's window is read from the screen, with the Today window
// moved out of its way for the moment.
bool CaptureOtherWindow(const std::wstring& title, Picture* picture, std::wstring* error) {
  HWND window = WindowFor(title);
  if (!window) {
    *error = L"no window \"" + title + L"\" to take a picture of";
    return false;
  }
  SetWindowPos(TodayShell.today, HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetWindowPos(TodayShell.today, HWND_BOTTOM, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SleepPumping(500);  // the other program repaints what was uncovered
  RECT rc;
  GetWindowRect(window, &rc);
  bool ok = CaptureScreenRect(rc, picture);
  SetWindowPos(TodayShell.today, HWND_TOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  PumpMessages();
  if (!ok) *error = L"cannot read \"" + title + L"\" from the screen";
  return ok;
}

bool TakeSnapshot(const Command& c, std::wstring* error) {
  PumpMessages();
  Picture picture;
  if (!c.title.empty()) {
    if (!CaptureOtherWindow(c.title, &picture, error)) return false;
    if (c.scale > 1) picture = MagnifyPicture(picture, c.scale);
    return WritePng(PathFor(c.text).c_str(), picture, error);
  }
  if (!CapturePicture(c.flag ? TodayShell.today : TodayShell.itemWindow, &picture)) {
    *error = L"cannot capture the picture (is the item laid out?)";
    return false;
  }
  if (!c.flag) Run.strips.push_back(picture);
  if (c.scale > 1) picture = MagnifyPicture(picture, c.scale);
  return WritePng(PathFor(c.text).c_str(), picture, error);
}

bool WriteAnimation(const Command& c, std::wstring* error) {
  std::vector<Picture> frames;
  for (const Picture& p : Run.strips) {
    if (p.width != Run.strips[0].width || p.height != Run.strips[0].height) continue;
    frames.push_back(c.scale > 1 ? MagnifyPicture(p, c.scale) : p);
  }
  return WriteAnimatedGif(PathFor(c.text).c_str(), frames, (int)c.number, error);
}

bool CloseWindowTitled(const std::wstring& title, std::wstring* error) {
  HWND window = WindowFor(title);
  if (!window) {
    *error = L"no window \"" + title + L"\" to close";
    return false;
  }
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  if (!WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); })) {
    *error = L"\"" + title + L"\" did not close on OK";
    return false;
  }
  return true;
}

bool Registered(const std::wstring& ending) {
  wchar_t paths[8][MAX_PATH];
  int n = SimWakeupRegistrations(paths, 8);
  for (int i = 0; i < n && i < 8; ++i) {
    size_t len = wcslen(paths[i]);
    if (len >= ending.size() &&
        _wcsicmp(paths[i] + len - ending.size(), ending.c_str()) == 0) {
      return true;
    }
  }
  return false;
}

bool Expect(bool ok, const std::wstring& failure, std::wstring* error) {
  if (!ok) *error = failure;
  return ok;
}

bool RunCommand(const Command& c, std::wstring* error) {
  switch (c.op) {
    case Op::Battery: {
      const BatteryChange& b = c.battery;
      if (b.setAc) Run.power.ACLineStatus = b.ac;
      if (b.setPercent) Run.power.BatteryLifePercent = b.percent;
      if (b.setRemaining) Run.power.BatteryLifeTime = b.remainingSeconds;
      if (b.setVoltage) Run.power.BatteryVoltage = b.voltage;
      SimSetPower(Run.power.ACLineStatus, Run.power.BatteryLifePercent,
                  Run.power.BatteryLifeTime, Run.power.BatteryVoltage);
      return true;
    }
    case Op::BatteryFault: SimSetPowerQueryBytes((DWORD)c.number); return true;
    case Op::CardAdd: SimAddCard(c.text.c_str(), c.size1, c.size2); return true;
    case Op::CardRemove: SimRemoveCard(c.text.c_str()); return true;
    case Op::CardFault: SimSetCardQueryFails(c.text.c_str(), c.flag); return true;
    case Op::Store: SimSetStore((DWORD)c.size1, (DWORD)c.size2); return true;
    case Op::StoreFault: SimSetStoreQueryFails(c.flag); return true;
    case Op::Memory: SimSetProgramMemory(c.size1, c.size2); return true;
    case Op::Time:
      SimSetLocalTime(c.time);
      InvalidateTodayHeader();
      PumpMessages();
      return true;
    case Op::Tick: SimSetTickCount((DWORD)c.number); return true;
    case Op::Wait: LetTimePass(c.number); return true;
    case Op::Interval:
      TodayShell.intervalMs = (DWORD)c.number;
      Run.untilQueryMs = TodayShell.intervalMs;
      return true;
    case Op::Refresh:
      QueryTodayItem();
      PumpMessages();
      return true;
    case Op::Tap: {
      LPARAM at = MAKELPARAM(c.x, c.y);
      PostMessageW(TodayShell.itemWindow, WM_LBUTTONDOWN, MK_LBUTTON, at);
      PostMessageW(TodayShell.itemWindow, WM_LBUTTONUP, 0, at);
      PumpMessages();
      return true;
    }
    case Op::Suspend: Run.suspended = true; return true;
    case Op::Resume: {
      Run.suspended = false;
      Run.wakeupStarted = FireWakeupAndWait(otherProgramTimeoutMs);
      Run.untilQueryMs = TodayShell.intervalMs;
      return Expect(Run.wakeupStarted >= 0, L"a program started at wake-up did not finish",
                    error);
    }
    case Op::TextColor: TodayShell.textColor = c.color; return true;
    case Op::Snapshot: return TakeSnapshot(c, error);
    case Op::Animation: return WriteAnimation(c, error);
    case Op::Options: return RunOptions(c, error);
    case Op::Close: return CloseWindowTitled(c.text, error);
    case Op::Foreground: {
      HWND window = WindowFor(c.text);
      if (!window) {
        *error = L"no window \"" + c.text + L"\"";
        return false;
      }
      SetForegroundWindow(window);
      PumpMessages();
      return true;
    }
    case Op::ResetPaints: TodayShell.itemPaints = 0; return true;
    case Op::ExpectPaints:
      return Expect(TodayShell.itemPaints == c.number,
                    Sentence(L"expected %lld item paints, counted %lld", c.number,
                             TodayShell.itemPaints),
                    error);
    case Op::ExpectTrueAnswers:
      return Expect(TodayShell.trueAnswers == c.number,
                    Sentence(L"expected %lld TRUE answers to refresh queries, got %lld",
                             c.number, TodayShell.trueAnswers),
                    error);
    case Op::ExpectHeight: {
      RECT rc = {};
      GetClientRect(TodayShell.itemWindow, &rc);
      return Expect(rc.bottom == c.number,
                    Sentence(L"expected the item %lld pixels high, it is %lld", c.number,
                             rc.bottom),
                    error);
    }
    case Op::ExpectWindow: {
      auto matches = [&] {
        int n = CountWindows(c.text, nullptr);
        return c.number < 0 ? n > 0 : n == c.number;
      };
      if (WaitUntil(matches)) return true;
      int n = CountWindows(c.text, nullptr);
      *error = (c.number < 0 ? std::wstring(L"no window \"") + c.text + L"\" appeared"
                             : Sentence(L"expected %lld windows, found %lld", c.number, n) +
                                   L" titled \"" + c.text + L"\"");
      return false;
    }
    case Op::ExpectForeground: {
      auto matches = [&] {
        HWND fg = GetForegroundWindow();
        if (c.text.empty()) return fg == TodayShell.today;
        wchar_t title[256];
        return fg && GetWindowTextW(fg, title, 256) > 0 && c.text == title;
      };
      if (WaitUntil(matches)) return true;
      *error = L"the foreground window is not " +
               (c.text.empty() ? std::wstring(L"the Today window") : L"\"" + c.text + L"\"");
      return false;
    }
    case Op::ExpectWakeupStarted:
      return Expect(Run.wakeupStarted == c.number,
                    Sentence(L"expected %lld programs started at wake-up, %lld were",
                             c.number, Run.wakeupStarted),
                    error);
    case Op::ExpectRegistered:
      return Expect(Registered(c.text),
                    L"no wake-up registration ends with \"" + c.text + L"\"", error);
  }
  return true;
}

}  // namespace

bool RunScenario(const Scenario& scenario, const ScenarioSettings& settings,
                 std::wstring* error) {
  Run = RunState();
  Run.settings = &settings;
  Run.power.ACLineStatus = AC_LINE_OFFLINE;
  GetSystemPowerStatusEx2(&Run.power, sizeof Run.power, TRUE);
  Run.untilQueryMs = TodayShell.intervalMs;
  PumpMessages();
  for (const Command& c : scenario.commands) {
    std::wstring message;
    if (!RunCommand(c, &message)) {
      wchar_t prefix[32];
      _snwprintf(prefix, 31, L"line %d: ", c.line);
      prefix[31] = 0;
      *error = prefix + message;
      return false;
    }
  }
  PumpMessages();
  return true;
}

int CountScenarioPictures(const Scenario& scenario) {
  int n = 0;
  for (const Command& c : scenario.commands) {
    if (c.op == Op::Snapshot || c.op == Op::Animation) ++n;
  }
  return n;
}
