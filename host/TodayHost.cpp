// TodayHost.exe: the Today shell stand-in, in a window a person uses (on the
// simulated or the live device) or headless through a scenario.
#include <windows.h>

#include "Messages.h"
#include "Options.h"
#include "Picture.h"
#include "Scenario.h"
#include "ScopedWin.h"
#include "TodayShell.h"
#include "UserPath.h"
#include "Words.h"

namespace {

const Options* closing;  // the window's options, when it closes by itself
int closedStatus = ExitOk;

int Fail(int status, const std::wstring& text) {
  Print(stderr, L"TodayHost: " + text);
  return status;
}

// The built-in demo scenario (scenarios/demo.txt, this program's resource 1).
std::wstring DemoScenarioText() {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), RT_RCDATA);
  const char* bytes = (const char*)LockResource(LoadResource(nullptr, found));
  int size = (int)SizeofResource(nullptr, found);  // 0 without it
  std::wstring text(MultiByteToWideChar(CP_UTF8, 0, bytes, size, nullptr, 0), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes, size, &text[0], (int)text.size());
  return text;
}

// Ends an unattended window run, with a picture of the strip if asked for.
void CALLBACK CloseByItself(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  Picture picture;
  std::wstring error = L"the strip cannot be captured";
  if (!closing->snapshot.empty() && (!CapturePicture(TodayShell.itemWindow, &picture) ||
                                     !WritePng(closing->snapshot.c_str(), picture, &error)))
    closedStatus = Fail(ExitFailed, L"cannot write " + closing->snapshotShown + L": " + error);
  DestroyTodayWindow();
}

// Ctrl-C or the console closing: a picture being written is finished first
// (none is left half written), then the host ends at once.
BOOL WINAPI Interrupted(DWORD event) {
  StopFileWrites();
  bool closed = event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT;
  TerminateProcess(GetCurrentProcess(),
                   Fail(closed ? ExitClosed : ExitInterrupted,
                        std::wstring(closed ? L"the console closed" : L"interrupted") +
                            L"; stopped (the pictures written so far stay)"));
  return TRUE;
}

// Every program started from here on (by the item or the wake-up event) is
// in a job that ends with the host.
void EndProgramsWithHost() {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);  // closed as the host ends
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!job ||
      !SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) ||
      !AssignProcessToJobObject(job, GetCurrentProcess())) {
    Fail(0, L"note: programs the item starts may outlive the host (no job: " +
                std::to_wstring(GetLastError()) + L")");
  }
}

// Only one host at a time drives the simulated device: a second one waits
// its turn, saying so, up to `waitMs`. The turn is this process's until it ends.
int TakeDeviceTurn(long long waitMs) {
  HANDLE turn = CreateMutexW(nullptr, FALSE, L"Local\\CeStandIn.SimulatedDeviceTurn");
  DWORD r = turn ? WaitForSingleObject(turn, 0) : WAIT_OBJECT_0;  // no mutex: no one to wait for
  if (r == WAIT_TIMEOUT) {
    Fail(0, L"another TodayHost is using the simulated device; waiting up to " +
                DurationText(waitMs) + L" for it to finish");
    r = WaitForSingleObject(turn, (DWORD)waitMs);
  }
  if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED)
    return ExitOk;
  return Fail(ExitBusy, L"the simulated device was still in use by another TodayHost after " +
                            DurationText(waitMs) +
                            L"; giving up (--device-wait sets how long to wait)");
}

// The checks of --out. Without `made`, status 2: no file there, every path
// within the file system's limits. With `made`, for a run, status 3: nothing
// but a file where a picture goes, the folder made (into `made`, gone on a failure) and writable.
int CheckOutput(const Options& o, const Scenario& scenario, const std::wstring& where,
                std::vector<std::wstring>* made) {
  PathKind kind = made ? PathKind::Folder : KindAt(o.out);
  if (kind == PathKind::File || kind == PathKind::PipeOrDevice)
    return Fail(ExitUsage, L"--out " + o.outShown + L" is " + KindWords(kind) + L", not a folder");
  if (!made && !PathFitsLimits(o.out)) {
    return Fail(ExitUsage, L"--out " + o.outShown +
                               L": the path is too long (at most 255 characters and 255 bytes in "
                               L"UTF-8 a part, 4095 bytes in all as Wine opens it, through the "
                               L"prefix's dosdevices folder)");
  }
  for (const Command& c : scenario.commands) {
    const std::wstring* name = PictureFile(c);
    if (!name)
      continue;
    std::wstring path = InFolder(o.out, *name), shown = ShownPicturePath(o.outShown, *name),
                 on = where + L": line " + std::to_wstring(c.line) + L": ";
    if (!made && !PathFitsLimits(path))
      return Fail(ExitUsage, on + L"the path " + shown + L" is too long");
    if (made && IsNoFile(KindAt(path)))
      return Fail(ExitSetup, on + L"cannot write " + shown + L": " +
                                 WhyNotCreated(path, ERROR_ALREADY_EXISTS));
  }
  std::wstring why, probe = InFolder(o.out, TemporaryName(L"probe"));
  if (!made)
    return ExitOk;
  if (!MakeFolders(o.out, made, &why))
    return Fail(ExitSetup, L"cannot create the folder " + o.outShown + L": " + why);
  AutoCloseHandle file(CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (file.IsValid())
    return ExitOk;
  why = WhyNotCreated(probe, GetLastError());
  RemoveFolders(*made);
  return Fail(ExitSetup, L"cannot write in the folder " + o.outShown + L": " + why);
}

// Checks --dll's library is a file (the list's are checked as it is read),
// takes the device's turn and starts the shell, clock running or device reset.
int StartShell(const Options& o, bool interactive) {
  std::wstring why;
  AutoCloseHandle library(o.dll.empty() ? nullptr : OpenRegularFile(o.dll, &why));
  if (!why.empty())
    return Fail(ExitSetup, L"cannot load the item library " + o.dllShown + L": " + why);
  bool simulated = CurrentDeviceKind() == DeviceKind::Simulated;
  int status = simulated ? TakeDeviceTurn(o.deviceWaitMs) : ExitOk;
  if (status != ExitOk)
    return status;
  if (simulated && interactive)
    SimSetClockRunning(true);
  if (!interactive)
    SimResetDevice();
  TodayShell.intervalMs = (DWORD)o.intervalMs;
  TodayShell.textColor = o.textColor;
  TodayShell.interactive = interactive;
  if (!CreateTodayWindow(GetModuleHandleW(nullptr), interactive))
    return Fail(ExitSetup, L"cannot create the Today window (is there a display?)");
  ShowToday();
  // A Today list's item that does not load is left out, as the device's shell does.
  std::vector<std::wstring> leftOut;
  std::vector<TodayListEntry> entries =
      o.dll.empty() ? ReadTodayList(&leftOut)
                    : std::vector<TodayListEntry>{EntryForLibrary(o.dll, o.dllShown)};
  LoadTodayItems(entries, &leftOut);
  for (const std::wstring& line : leftOut)
    Fail(0, (o.dll.empty() ? L"left out: " : L"") + line);
  if (!TodayShell.items.empty()) {
    PumpMessages();
    return ExitOk;
  }
  DestroyTodayWindow();
  if (!o.dll.empty())
    return ExitSetup;  // the library said why
  return Fail(ExitSetup, entries.empty() ? L"no Today item is enabled (a custom item, Type 4, under "
                                           L"HKLM\\" TODAY_ITEMS_KEY L"); install one with "
                                           L"DeviceInstall.exe install, or name one with --dll"
                                         : L"no item of the Today list loaded");
}

int ShowTodayScreen(const Options& o) {
  // Chosen before any CE call, so the item and every program it starts
  // read the same device.
  if (o.live)
    SelectDevice(DeviceKind::Live);
  int status = StartShell(o, true);
  if (status != ExitOk)
    return status;
  Print(stdout, std::wstring(L"TodayHost: the Today screen on the ") +
                    (CurrentDeviceKind() == DeviceKind::Live ? L"live" : L"simulated") +
                    L" device. Tap the strip; right-click for options, suspend and resume; "
                    L"Esc closes.");
  if (o.closeAfterMs) {
    closing = &o;
    SetTimer(nullptr, 0, (UINT)o.closeAfterMs, CloseByItself);
  }
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return closedStatus;
}

int RunScript(const Options& o) {
  Scenario scenario;
  std::wstring error, where = o.demo ? L"demo scenario" : o.scenarioShown;
  bool parsed = o.demo ? ParseScenario(DemoScenarioText(), &scenario, &error, o.intervalMs)
                       : LoadScenarioFile(o.scenarioFile.c_str(), o.scenarioShown, &scenario,
                                          &error, o.intervalMs);
  if (!parsed)
    return Fail(ExitUsage, (o.demo ? L"demo scenario: " : L"") + error);
  // With --check, the limits that depend on --out are checked when it is given.
  int status = o.check && !o.outGiven ? ExitOk : CheckOutput(o, scenario, where, nullptr);
  if (status == ExitOk && o.check)
    Print(stdout, L"TodayHost: " + where + L": the scenario is well formed");
  if (status != ExitOk || o.check)
    return status;
  std::vector<std::wstring> made;
  status = CheckOutput(o, scenario, where, &made);
  if (status != ExitOk)
    return status;
  SelectDevice(DeviceKind::Simulated);
  status = StartShell(o, false);
  if (status != ExitOk) {
    RemoveFolders(made);
    return status;
  }
  ScenarioSettings settings{o.out, o.outShown, (ULONGLONG)o.waitBudgetMs};
  bool ok = RunScenario(scenario, settings, &error);
  UnloadTodayItems();
  DestroyTodayWindow();
  PumpMessages();
  if (!ok)
    return Fail(ExitFailed, where + L": " + error);
  const std::vector<Command>& lines = scenario.commands;
  if (std::any_of(lines.begin(), lines.end(), PictureFile))
    Print(stdout, L"TodayHost: pictures in " + o.outShown);
  return ExitOk;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  std::wstring error;
  if (!ParseArguments(argc, argv, &options, &error))
    return Fail(ExitUsage, error + L" (--help lists the options)");
  if (options.help || options.printDemo) {
    options.help ? PrintHelp() : Print(stdout, DemoScenarioText());
    return ExitOk;
  }
  SetConsoleCtrlHandler(Interrupted, TRUE);
  if (!options.keepPrograms)
    EndProgramsWithHost();
  return options.demo || !options.scenarioFile.empty() ? RunScript(options)
                                                       : ShowTodayScreen(options);
}
