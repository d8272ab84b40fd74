// Scenario lines turned into device changes, item messages, pictures and checks.
#include "ScenarioRun.h"

#include <vector>

#include "CeApi.h"
#include "Picture.h"
#include "SimulatedDevice.h"
#include "TodayShell.h"
#include "UserPath.h"
#include "Expectations.h"
#include "Messages.h"
#include "Words.h"

namespace {

const INT_PTR optionsTimedOut = -2;

RunState run;

// A picture written to `name` in the output folder by `write`; a failure
// names the file as the user would.
template <typename Write>
bool WritePicture(const std::wstring& name, std::wstring* error, Write write) {
  if (write(InFolder(run.settings->outputFolder, name).c_str())) {
    return true;
  }
  *error = L"cannot write " + ShownPicturePath(run.settings->outputShown, name) + L": " + *error;
  return false;
}

// Lets device time pass: queries at the interval's cadence, none while
// suspended. While suspended the local time runs on and the tick count
// stands still, as on the device.
void LetTimePass(long long ms) {
  if (run.suspended) {
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
  while (ms >= run.untilQueryMs) {
    SimAdvanceClock(run.untilQueryMs);
    ms -= run.untilQueryMs;
    run.untilQueryMs = TodayShell.intervalMs;
    QueryTodayItems();
    PumpMessages();
  }
  if (ms > 0) {
    SimAdvanceClock((DWORD)ms);
    run.untilQueryMs -= (DWORD)ms;
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
  if (!dialog)
    return;
  run.optionsDialog = dialog;
  if (GetTickCount64() - run.optionsSince > run.waitMs) {
    EndDialog(dialog, optionsTimedOut);  // a dialog that ignores its buttons
    return;
  }
  if (!run.presses || run.pressesDone >= run.presses->size())
    return;
  int id = (*run.presses)[run.pressesDone++];
  // What the caption's OK button (or a Cancel key) sends.
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

bool PressOptions(const OptionsArgs& c, std::wstring* error) {
  if (!TodayShell.optionsDialogProc) {
    *error = L"the item has no options dialog procedure (ordinal 241)";
    return false;
  }
  run.presses = &c.presses;
  run.pressesDone = 0;
  run.optionsDialog = nullptr;
  run.optionsSince = GetTickCount64();
  UINT_PTR timer = SetTimer(nullptr, 0, 50, PressOptionsButton);
  INT_PTR result = ShowItemOptions();
  KillTimer(nullptr, timer);
  run.presses = nullptr;
  if (result == -1 || !run.optionsDialog) {
    *error = L"the options dialog (template 500) did not open";
    return false;
  }
  if (result == optionsTimedOut) {
    *error = L"the options dialog did not close within 15 s";
    return false;
  }
  if (run.pressesDone < c.presses.size()) {
    *error = Sentence(L"the options dialog closed after press %lld of %lld",
                      (long long)run.pressesDone, (long long)c.presses.size());
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
  // Raised while the Today window is still above it: Wine's X driver only
  // ever raises a window, and only when its place in the order changes.
  // Asynchronous: a window whose program stopped pumping cannot hold the run.
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
  SetWindowPos(TodayShell.today, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SleepPumping(run.waitMs < 500 ? run.waitMs : 500);  // it repaints what was uncovered
  RECT rc;
  GetWindowRect(window, &rc);
  bool ok = CaptureScreenRect(rc, picture);
  SetWindowPos(TodayShell.today, HWND_TOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  PumpMessages();
  if (!ok)
    *error = L"cannot read \"" + title + L"\" from the screen";
  return ok;
}

bool TakeSnapshot(const SnapshotArgs& c, std::wstring* error) {
  PumpMessages();
  Picture picture;
  bool strip = c.of == PictureOf::Strip;
  if (c.of == PictureOf::OtherWindow) {
    if (!CaptureOtherWindow(c.title, &picture, error))
      return false;
  } else if (!CapturePicture(strip ? TodayShell.itemWindow : TodayShell.today, &picture)) {
    *error = L"cannot capture the picture (is the item laid out?)";
    return false;
  }
  if (strip)
    run.strips.push_back(picture);
  if (c.scale > 1)
    picture = MagnifyPicture(picture, c.scale);
  return WritePicture(c.file, error,
                      [&](const wchar_t* path) { return WritePng(path, picture, error); });
}

bool WriteAnimation(const AnimationArgs& c, std::wstring* error) {
  std::vector<const Picture*> frames;
  for (const Picture& p : run.strips) {
    if (p.width == run.strips[0].width && p.height == run.strips[0].height)
      frames.push_back(&p);
  }
  return WritePicture(c.file, error, [&](const wchar_t* path) {
    return WriteAnimatedGif(path, frames, c.scale, (int)c.delayMs, error);
  });
}

bool CloseWindowTitled(const std::wstring& title, std::wstring* error) {
  HWND window = WindowFor(title);
  if (!window) {
    *error = L"no window \"" + title + L"\" to close";
    return false;
  }
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  if (!WaitUntil(run.waitMs, [&] { return !IsWindow(window) || !IsWindowVisible(window); })) {
    *error = L"\"" + title + L"\" did not close on OK";
    return false;
  }
  return true;
}

bool Perform(const Command& c, std::wstring* error) {
  switch (c.op) {
    case Op::Battery: {
      const BatteryArgs& b = ArgsOf<BatteryArgs>(c);
      if (b.setAc)
        SimSet({{L"ACLineStatus", b.ac}});
      if (b.setPercent)
        SimSet({{L"BatteryPercent", b.percent}});
      if (b.setRemaining)
        SimSet({{L"BatteryLifeTime", b.remainingSeconds}});
      if (b.setVoltage)
        SimSet({{L"BatteryVoltage", b.voltage}});
      return true;
    }
    case Op::BatteryFault:
      SimSetPowerQueryBytes(ArgsOf<PowerQueryArgs>(c).bytes);
      return true;
    case Op::CardAdd:
    case Op::CardSet: {
      const CardArgs& card = ArgsOf<CardArgs>(c);
      SimAddCard(card.name.c_str(), card.totalBytes, card.freeBytes);
      return true;
    }
    case Op::CardRemove:
      SimRemoveCard(ArgsOf<CardArgs>(c).name.c_str());
      return true;
    case Op::CardFault:
      SimSetCardQueryFails(ArgsOf<CardArgs>(c).name.c_str(), ArgsOf<CardArgs>(c).fails);
      return true;
    case Op::Store: {
      const MemoryArgs& m = ArgsOf<MemoryArgs>(c);
      SimSetStore(m.totalBytes, m.freeBytes);
      return true;
    }
    case Op::StoreFault:
      SimSetStoreQueryFails(ArgsOf<FaultArgs>(c).fails);
      return true;
    case Op::Memory: {
      const MemoryArgs& m = ArgsOf<MemoryArgs>(c);
      SimSetProgramMemory(m.totalBytes, m.freeBytes);
      return true;
    }
    case Op::Time:
      SimSetLocalTime(ArgsOf<TimeArgs>(c).time);
      InvalidateTodayHeader();
      PumpMessages();
      return true;
    case Op::Tick:
      SimSetTickCount(ArgsOf<TickArgs>(c).tick);
      return true;
    case Op::Wait:
      LetTimePass(ArgsOf<DurationArgs>(c).ms);
      return true;
    case Op::Interval:
      TodayShell.intervalMs = ArgsOf<DurationArgs>(c).ms;
      run.untilQueryMs = TodayShell.intervalMs;
      return true;
    case Op::Refresh:
      QueryTodayItems();
      PumpMessages();
      return true;
    case Op::Tap: {
      LPARAM at = MAKELPARAM(ArgsOf<TapArgs>(c).x, ArgsOf<TapArgs>(c).y);
      PostMessageW(TodayShell.itemWindow, WM_LBUTTONDOWN, MK_LBUTTON, at);
      PostMessageW(TodayShell.itemWindow, WM_LBUTTONUP, 0, at);
      PumpMessages();
      return true;
    }
    case Op::Suspend:
      run.suspended = true;
      return true;
    case Op::Resume: {
      run.suspended = false;
      run.wakeupStarted = FireWakeupAndWait(run.waitMs);
      run.untilQueryMs = TodayShell.intervalMs;
      if (run.wakeupStarted >= 0)
        return true;
      *error = L"a program started at wake-up did not finish within 15 s";
      return false;
    }
    case Op::TextColor:
      TodayShell.textColor = ArgsOf<ColorArgs>(c).color;
      return true;
    case Op::Snapshot:
      return TakeSnapshot(ArgsOf<SnapshotArgs>(c), error);
    case Op::Animation:
      return WriteAnimation(ArgsOf<AnimationArgs>(c), error);
    case Op::Options:
      return PressOptions(ArgsOf<OptionsArgs>(c), error);
    case Op::Close:
      return CloseWindowTitled(ArgsOf<WindowArgs>(c).title, error);
    case Op::Foreground: {
      const std::wstring& title = ArgsOf<WindowArgs>(c).title;
      HWND window = WindowFor(title);
      if (!window) {
        *error = L"no window \"" + title + L"\"";
        return false;
      }
      // A program started just before may still be taking the activation it
      // asked for: ask again until this window is in front (up to 15 s).
      WaitUntil(run.waitMs, [&] {
        SetForegroundWindow(window);
        PumpMessages();
        return GetForegroundWindow() == window;
      });
      return true;
    }
    case Op::ResetPaints:
      TodayShell.itemPaints = 0;
      return true;
    default:
      return CheckExpectation(c, run, error);
  }
}

// Lines that wait for another program or window, and so spend the budget.
bool WaitsForOtherPrograms(const Command& c) {
  switch (c.op) {
    case Op::Resume:
    case Op::Options:
    case Op::Close:
    case Op::Foreground:
    case Op::ExpectWindow:
    case Op::ExpectForeground:
      return true;
    case Op::Snapshot:
      return ArgsOf<SnapshotArgs>(c).of == PictureOf::OtherWindow;
    default:
      return false;
  }
}

// Runs a line within what is left of the run's budget for waiting on other
// programs: each wait ends after otherProgramTimeoutMs or when the budget
// is spent, whichever comes first.
bool PerformWithinBudget(const Command& c, std::wstring* error) {
  if (!WaitsForOtherPrograms(c))
    return Perform(c, error);
  ULONGLONG budget = run.settings->waitBudgetMs;
  ULONGLONG left = run.waitedMs < budget ? budget - run.waitedMs : 0;
  run.waitMs = left < otherProgramTimeoutMs ? (DWORD)left : otherProgramTimeoutMs;
  ULONGLONG start = GetTickCount64();
  bool ok = left > 0 && Perform(c, error);
  run.waitedMs += GetTickCount64() - start;
  if (!ok && run.waitMs < otherProgramTimeoutMs && run.waitedMs >= budget) {
    *error = L"a run waits at most " + DurationText((long long)budget) +
             L" in all for other programs and windows (--wait-budget); that time ran out here";
  }
  return ok;
}

}  // namespace

bool RunScenario(const Scenario& scenario, const ScenarioSettings& settings, std::wstring* error) {
  run = RunState();
  run.settings = &settings;
  run.untilQueryMs = TodayShell.intervalMs;
  PumpMessages();
  for (const Command& c : scenario.commands) {
    std::wstring message;
    if (!PerformWithinBudget(c, &message)) {
      *error = L"line " + std::to_wstring(c.line) + L": " + message;
      return false;
    }
  }
  PumpMessages();
  return true;
}

const std::wstring* PictureFile(const Command& c) {
  if (c.op == Op::Snapshot)
    return &ArgsOf<SnapshotArgs>(c).file;
  if (c.op == Op::Animation)
    return &ArgsOf<AnimationArgs>(c).file;
  return nullptr;
}

int CountScenarioPictures(const Scenario& scenario) {
  int n = 0;
  for (const Command& c : scenario.commands)
    n += PictureFile(c) != nullptr;
  return n;
}

std::wstring ShownPicturePath(const std::wstring& folderShown, const std::wstring& name) {
  if (folderShown.empty() || folderShown.back() == L'/' || folderShown.back() == L'\\') {
    return folderShown + name;
  }
  // The separator the user wrote; a bare name takes the Unix one.
  bool windows = folderShown.find(L'\\') != std::wstring::npos ||
                 (folderShown.size() >= 2 && folderShown[1] == L':');
  return folderShown + (windows ? L"\\" : L"/") + name;
}
