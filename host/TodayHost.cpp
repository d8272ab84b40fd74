// TodayHost.exe: the Today shell stand-in. Loads the Today item and drives it
// as the Pocket PC shell does, either in a window that a person uses (on the
// simulated or the live device) or headless through a scenario.
#include <windows.h>
#include <shlobj.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "DemoScenario.h"
#include "Messages.h"
#include "Picture.h"
#include "Scenario.h"
#include "ScenarioRun.h"
#include "ScopedWin.h"
#include "SimulatedDevice.h"
#include "TodayList.h"
#include "TodayShell.h"
#include "UserPath.h"
#include "Words.h"

namespace {

struct Options {
  // Paths the user named: in the \\?\ form (UserPath), and as typed.
  std::wstring scenarioFile, scenarioShown;
  bool demo = false, check = false, printDemo = false, help = false, live = false;
  bool keepPrograms = false, outGiven = false;
  std::wstring dll, dllShown;
  std::wstring out, outShown;
  long long intervalMs = 2000;
  COLORREF textColor = RGB(0, 0, 0);
  long long closeAfterMs = 0;
  std::wstring snapshot, snapshotShown;
  long long deviceWaitMs = 120000;
  long long waitBudgetMs = 120000;
};

// One row per option: what it sets, and its line of --help. A row with a
// `value` takes the next argument: a path, a duration in [low, high] or a colour.
struct OptionRow {
  const wchar_t* name;
  const wchar_t* value;
  const wchar_t* help;
  bool Options::*flag = nullptr;
  std::wstring Options::*path = nullptr;
  std::wstring Options::*shown = nullptr;
  long long Options::*ms = nullptr;
  long long low = 0, high = 0;
};
const long long day = 86400000;
const OptionRow optionRows[] = {
    {L"--scenario", L"FILE", L"run a scenario headless", nullptr, &Options::scenarioFile,
     &Options::scenarioShown},
    {L"--demo", nullptr, L"run the built-in demo scenario", &Options::demo},
    {L"--check", L"FILE", L"check a scenario, run nothing", &Options::check,
     &Options::scenarioFile, &Options::scenarioShown},
    {L"--print-demo", nullptr, L"print the demo scenario", &Options::printDemo},
    {L"--help", nullptr, L"this text and the scenario commands", &Options::help},
    {L"--live", nullptr, L"the live device (the machine's own readings); window only",
     &Options::live},
    {L"--dll", L"PATH",
     L"the Today item (default: the enabled items of the Today list in the registry, in "
     L"Order, from the device's file system)",
     nullptr, &Options::dll, &Options::dllShown},
    {L"--out", L"FOLDER", L"where a scenario's pictures go (default: current folder)", nullptr,
     &Options::out, &Options::outShown},
    {L"--interval", L"DURATION", L"refresh query interval, 1ms to 24h (default 2s)", nullptr,
     nullptr, nullptr, &Options::intervalMs, 1, day},
    {L"--text-color", L"#RRGGBB", L"the Today text colour (default #000000)"},
    {L"--close-after", L"DURATION", L"window only: close by itself after 1ms to 24h", nullptr,
     nullptr, nullptr, &Options::closeAfterMs, 1, day},
    {L"--snapshot", L"FILE", L"window only: a PNG of the strip when it closes by itself",
     nullptr, &Options::snapshot, &Options::snapshotShown},
    {L"--device-wait", L"DURATION",
     L"how long to wait while another host uses the simulated device, 0s to 24h (default 2m)",
     nullptr, nullptr, nullptr, &Options::deviceWaitMs, 0, day},
    {L"--wait-budget", L"DURATION",
     L"a scenario: how long all its waits for other programs and windows may take together, "
     L"1ms to 1h (default 2m)",
     nullptr, nullptr, nullptr, &Options::waitBudgetMs, 1, 3600000},
    {L"--keep-programs", nullptr,
     L"programs the item started (the About program, wake-up programs) stay when the host "
     L"ends; otherwise they end with it",
     &Options::keepPrograms},
};

const wchar_t closing[] =
    L"Paths are taken exactly as typed (no device names, trailing dots and blanks kept);\n"
    L"Unix paths (starting with /) are accepted and mapped to drive Z:.\n"
    L"Exit status: 0 done; 1 an expectation, a picture or a wait failed; 2 a wrong command\n"
    L"line or script (nothing was run); 3 no display, item or output folder; 4 another host\n"
    L"kept the simulated device busy past --device-wait; 129 the console closed; 130\n"
    L"interrupted (Ctrl-C).\n";

enum ExitCode {
  ExitOk = 0, ExitFailed = 1, ExitUsage = 2, ExitSetup = 3, ExitBusy = 4, ExitClosed = 129,
  ExitInterrupted = 130,
};

std::wstring FileNamePart(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring closingSnapshot, closingSnapshotShown;
bool closingSnapshotFailed;

// Ends an unattended window run, with a picture of the strip if asked for.
void CALLBACK CloseByItself(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  Picture picture;
  std::wstring error = L"the strip cannot be captured";
  if (!closingSnapshot.empty() && (!CapturePicture(TodayShell.itemWindow, &picture) ||
                                   !WritePng(closingSnapshot.c_str(), picture, &error))) {
    Print(stderr, L"TodayHost: cannot write " + closingSnapshotShown + L": " + error);
    closingSnapshotFailed = true;
  }
  DestroyTodayWindow();
}

const OptionRow* FindOption(const std::wstring& name) {
  for (const OptionRow& row : optionRows) {
    if (name == row.name) return &row;
  }
  return nullptr;
}

// What one option's value sets; false with `error` set.
bool TakeValue(const OptionRow& row, const std::wstring& value, Options* o, std::wstring* error) {
  if (row.path && value.empty()) {
    *error = std::wstring(row.name) + L" needs a path, not ''";
    return false;
  }
  if (row.path) {
    o->*row.shown = value;
    o->*row.path = UserPath(value);
  }
  if (row.ms) return ParseDurationIn(value, row.low, row.high, row.name, &(o->*row.ms), error);
  if (row.path || ParseColor(value, &o->textColor)) return true;
  *error = L"--text-color takes #RRGGBB, not " + Quote(value);
  return false;
}

// Checks of one option's path that need no run.
bool CheckPaths(const Options& o, std::wstring* error) {
  if (!o.dll.empty() && FileNamePart(o.dll).find(L'.') == std::wstring::npos) {
    *error = L"--dll " + o.dllShown + L": a library's name needs an extension such as .dll " +
             L"(the system would load " + FileNamePart(o.dll) + L".dll instead)";
    return false;
  }
  if (o.snapshot.empty()) return true;
  if (!IsPlainFileNameWith(FileNamePart(o.snapshot), L".png") || !PathFitsLimits(o.snapshot)) {
    *error = L"--snapshot needs a *.png file in a folder, within the file system's limits, " +
             std::wstring(L"not ") + Quote(o.snapshotShown);
    return false;
  }
  if (IsNoFile(KindAt(o.snapshot))) {
    *error = L"--snapshot " + o.snapshotShown + L": " +
             WhyNotCreated(o.snapshot, ERROR_ALREADY_EXISTS);
    return false;
  }
  PathKind folder = KindAt(o.snapshot.substr(0, o.snapshot.rfind(L'\\')));
  if (folder != PathKind::Folder && folder != PathKind::Unknown) {
    *error = L"--snapshot " + o.snapshotShown + L": its folder does not exist";
    return false;
  }
  return true;
}

// The options that exclude or need each other.
const wchar_t* Conflict(const Options& o) {
  bool script = o.demo || !o.scenarioFile.empty();
  if (o.demo && !o.scenarioFile.empty()) {
    return o.check ? L"--demo and --check exclude each other"
                   : L"--demo and --scenario exclude each other";
  }
  if (script && (o.closeAfterMs || !o.snapshot.empty())) {
    return L"--close-after and --snapshot are for the window; scenarios take snapshots";
  }
  if (!o.snapshot.empty() && !o.closeAfterMs) return L"--snapshot needs --close-after";
  if (!script && !o.outShown.empty()) return L"--out is for scenarios; the window takes --snapshot";
  if (o.live && script) return L"scenarios run on the simulated device; --live is for the window";
  return nullptr;
}

bool ParseArguments(int argc, wchar_t** argv, Options* o, std::wstring* error) {
  std::vector<std::wstring> seen;
  for (int i = 1; i < argc; ++i) {
    std::wstring a = argv[i];
    for (const std::wstring& s : seen) {
      bool both = (s == L"--check" && a == L"--scenario") || (s == L"--scenario" && a == L"--check");
      if (s == a || both) {
        *error = both ? L"--check and --scenario cannot go together: --check only reads the script"
                      : a + L" is given twice";
        return false;
      }
    }
    seen.push_back(a);
    const OptionRow* row = FindOption(a);
    if (!row || (row->value && i + 1 == argc)) {
      *error = row ? a + L" needs a value"
               : i + 1 == argc ? L"unknown or incomplete option " + Quote(a)
                               : L"unknown option " + Quote(a);
      return false;
    }
    if (row->flag) o->*row->flag = true;
    if (row->value && !TakeValue(*row, argv[++i], o, error)) return false;
  }
  if (!CheckPaths(*o, error)) return false;
  const wchar_t* conflict = Conflict(*o);
  if (conflict) *error = conflict;
  o->outGiven = !o->outShown.empty();
  if (!o->outGiven) o->outShown = L".";
  if (!o->outGiven) o->out = UserPath(L".");
  return !conflict;
}

// `left`, then `text` in words from its end on, wrapped at 90 columns.
std::wstring Wrapped(std::wstring line, const wchar_t* text) {
  std::wstring out;
  size_t indent = line.size();
  for (const wchar_t* word = text; *word;) {
    size_t n = wcscspn(word, L" ");
    if (line.size() > indent && line.size() + 1 + n > 90) {
      out += line + L"\n";
      line = std::wstring(indent, L' ');
    }
    line += (line.size() > indent ? L" " : L"") + std::wstring(word, n);
    word += n + (word[n] == L' ');
  }
  return out + line + L"\n";
}

void PrintHelp() {
  std::wstring text =
      L"usage: TodayHost.exe [options]   the Today screen in a window, or a scenario headless\n"
      L"options:\n";
  for (const OptionRow& row : optionRows) {
    std::wstring left = L"  " + std::wstring(row.name) + (row.value ? L" " : L"") +
                        (row.value ? row.value : L"");
    text += Wrapped(left + std::wstring(left.size() < 25 ? 25 - left.size() : 1, L' '), row.help);
  }
  text += closing;
  text += L"\nScenario commands (one a line; see docs/scenarios.md):\n";
  size_t count;
  const CommandInfo* commands = ScenarioCommands(&count);
  for (size_t i = 0; i < count; ++i) {
    text += L"  " + std::wstring(commands[i].usage) + L"\n      " + commands[i].effect + L"\n";
  }
  text += L"Limits: " + LimitsText();
  Print(stdout, text);
}

// Ctrl-C or the console closing: a picture being written is finished first
// (none is left half written), then the host ends at once.
BOOL WINAPI Interrupted(DWORD event) {
  StopFileWrites();
  bool closed = event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT;
  Print(stderr, std::wstring(L"TodayHost: ") + (closed ? L"the console closed" : L"interrupted") +
                    L"; stopped (the pictures written so far stay)");
  TerminateProcess(GetCurrentProcess(), closed ? ExitClosed : ExitInterrupted);
  return TRUE;
}

// Every program started from here on (by the item or the wake-up event) is
// in a job that ends with the host.
void EndProgramsWithHost() {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);  // closed as the host ends
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!job || !SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                       sizeof limits) ||
      !AssignProcessToJobObject(job, GetCurrentProcess())) {
    Print(stderr, L"TodayHost: note: programs the item starts may outlive the host (no job: " +
                      std::to_wstring(GetLastError()) + L")");
  }
}

// Only one host at a time drives the simulated device: a second one waits
// its turn, saying so, and gives up after `waitMs`. The turn is this
// process's until it ends.
bool TakeDeviceTurn(long long waitMs) {
  HANDLE turn = CreateMutexW(nullptr, FALSE, L"Local\\CeStandIn.SimulatedDeviceTurn");
  if (!turn) return true;  // no such mutex to share: nothing to wait for
  DWORD r = WaitForSingleObject(turn, 0);
  if (r == WAIT_TIMEOUT) {
    Print(stderr, L"TodayHost: another TodayHost is using the simulated device; waiting up to " +
                      DurationText(waitMs) + L" for it to finish");
    r = WaitForSingleObject(turn, (DWORD)waitMs);
  }
  if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED) return true;
  Print(stderr, L"TodayHost: the simulated device was still in use by another TodayHost after " +
                    DurationText(waitMs) + L"; giving up (--device-wait sets how long to wait)");
  return false;
}

// Limits that depend on --out, checked before anything is made: the folder
// not a file, and its and every picture's path within the file system's limits.
int CheckOutputLimits(const Options& o, const Scenario& scenario, const std::wstring& where) {
  PathKind kind = KindAt(o.out);
  if (kind == PathKind::File || kind == PathKind::PipeOrDevice) {
    Print(stderr, L"TodayHost: --out " + o.outShown + L" is " + KindWords(kind) +
                      L", not a folder");
    return ExitUsage;
  }
  if (!PathFitsLimits(o.out)) {
    Print(stderr, L"TodayHost: --out " + o.outShown + L": the path is too long (at most 255 " +
                      L"characters and 255 bytes in UTF-8 a part, 4095 bytes in all as Wine " +
                      L"opens it, through the prefix's dosdevices folder)");
    return ExitUsage;
  }
  for (const Command& c : scenario.commands) {
    const std::wstring* name = PictureFile(c);
    if (name && !PathFitsLimits(InFolder(o.out, *name))) {
      Print(stderr, L"TodayHost: " + where + L": line " + std::to_wstring(c.line) + L": the path " +
                        ShownPicturePath(o.outShown, *name) + L" is too long");
      return ExitUsage;
    }
  }
  return ExitOk;
}

// The output folder: nothing but a file where a picture goes,
// there or made, and writable for the longest picture name, all before
// anything runs. What fails leaves no folder behind; `made` gets the folders
// made, for the caller to remove should it stop before the run.
int PrepareOutput(const Options& o, const Scenario& scenario, const std::wstring& where,
                  std::vector<std::wstring>* made) {
  size_t longest = 0;
  for (const Command& c : scenario.commands) {
    const std::wstring* name = PictureFile(c);
    if (!name) continue;
    std::wstring path = InFolder(o.out, *name);
    if (IsNoFile(KindAt(path))) {
      Print(stderr, L"TodayHost: " + where + L": line " + std::to_wstring(c.line) +
                        L": cannot write " + ShownPicturePath(o.outShown, *name) + L": " +
                        WhyNotCreated(path, ERROR_ALREADY_EXISTS));
      return ExitSetup;
    }
    longest = std::max(longest, (size_t)WideCharToMultiByte(CP_UTF8, 0, name->data(),
                                                            (int)name->size(), nullptr, 0,
                                                            nullptr, nullptr));
  }
  std::wstring why;
  if (!MakeFolders(o.out, made, &why)) {
    Print(stderr, L"TodayHost: cannot create the folder " + o.outShown + L": " + why);
    return ExitSetup;
  }
  // As long as the longest picture's name, as the pictures' own temporary
  // names are (a folder near the limit takes its pictures).
  std::wstring probe = InFolder(o.out, TemporaryName(std::wstring(std::max(longest, (size_t)5), L'x')));
  AutoCloseHandle file(CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!file.IsValid()) {
    why = WhyNotCreated(probe, GetLastError());
    RemoveFolders(*made);
    Print(stderr, L"TodayHost: cannot write in the folder " + o.outShown + L": " + why);
    return ExitSetup;
  }
  return ExitOk;
}

// The item library that --dll names is a file there, before anything is made
// or taken (the Today list's libraries are checked as the list is read).
bool ItemLibraryThere(const Options& o) {
  if (o.dll.empty()) return true;
  PathKind kind = KindAt(o.dll);
  if (kind == PathKind::File || kind == PathKind::Unknown) return true;
  std::wstring why = kind != PathKind::Nothing ? L"it is " + KindWords(kind)
                     : PathFitsLimits(o.dll)   ? L"there is no such file"
                                               : L"the path is too long";
  Print(stderr, L"TodayHost: cannot load the item library " + o.dllShown + L": " + why);
  return false;
}

bool StartShell(const Options& o, bool interactive) {
  TodayShell.intervalMs = (DWORD)o.intervalMs;
  TodayShell.textColor = o.textColor;
  TodayShell.interactive = interactive;
  if (!CreateTodayWindow(GetModuleHandleW(nullptr), interactive)) {
    Print(stderr, L"TodayHost: cannot create the Today window (is there a display?)");
    return false;
  }
  ShowToday();
  // A Today list's item that does not load is left out, as the device's shell does.
  std::vector<std::wstring> leftOut;
  std::vector<TodayListEntry> entries;
  if (o.dll.empty()) entries = ReadTodayList(&leftOut);
  else entries.push_back(EntryForLibrary(o.dll, o.dllShown));
  LoadTodayItems(entries, &leftOut);
  for (const std::wstring& line : leftOut) {
    Print(stderr, std::wstring(L"TodayHost: ") + (o.dll.empty() ? L"left out: " : L"") + line);
  }
  if (o.dll.empty() && TodayShell.items.empty()) {
    Print(stderr, entries.empty() ? L"TodayHost: no Today item is enabled (a custom item, Type 4, "
                                    L"under HKLM\\" TODAY_ITEMS_KEY L"); install one with "
                                    L"DeviceInstall.exe install, or name one with --dll"
                                  : L"TodayHost: no item of the Today list loaded");
  }
  if (TodayShell.items.empty()) {
    DestroyTodayWindow();
    return false;
  }
  PumpMessages();
  return true;
}

int ShowTodayScreen(const Options& o) {
  // Chosen before any CE call, so the item and every program it starts
  // read the same device.
  if (o.live) SelectDevice(DeviceKind::Live);
  bool simulated = CurrentDeviceKind() == DeviceKind::Simulated;
  if (!ItemLibraryThere(o)) return ExitSetup;
  if (simulated && !TakeDeviceTurn(o.deviceWaitMs)) return ExitBusy;
  if (simulated) SimSetClockRunning(true);
  if (!StartShell(o, true)) return ExitSetup;
  Print(stdout, std::wstring(L"TodayHost: the Today screen on the ") +
                    (simulated ? L"simulated" : L"live") +
                    L" device. Tap the strip; right-click for options, suspend and resume; "
                    L"Esc closes.");
  if (o.closeAfterMs) {
    closingSnapshot = o.snapshot;
    closingSnapshotShown = o.snapshotShown;
    SetTimer(nullptr, 0, (UINT)o.closeAfterMs, CloseByItself);
  }
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return closingSnapshotFailed ? ExitFailed : ExitOk;
}

int RunScript(const Options& o) {
  Scenario scenario;
  std::wstring error;
  std::wstring where = o.demo ? L"demo scenario" : o.scenarioShown;
  bool parsed = o.demo ? ParseScenario(DemoScenarioText, &scenario, &error, o.intervalMs)
                       : LoadScenarioFile(o.scenarioFile.c_str(), o.scenarioShown, &scenario,
                                          &error, o.intervalMs);
  if (!parsed) {
    Print(stderr, (o.demo ? L"TodayHost: demo scenario: " : L"TodayHost: ") + error);
    return ExitUsage;
  }
  // With --check, the limits that depend on --out are checked when it is given.
  int fits = o.check && !o.outGiven ? ExitOk : CheckOutputLimits(o, scenario, where);
  if (fits != ExitOk) return fits;
  if (o.check) {
    Print(stdout, L"TodayHost: " + where + L": the scenario is well formed");
    return ExitOk;
  }
  if (!ItemLibraryThere(o)) return ExitSetup;
  std::vector<std::wstring> made;
  int prepared = PrepareOutput(o, scenario, where, &made);
  if (prepared != ExitOk) return prepared;
  SelectDevice(DeviceKind::Simulated);
  if (!TakeDeviceTurn(o.deviceWaitMs)) {
    RemoveFolders(made);
    return ExitBusy;
  }
  SimResetDevice();
  if (!StartShell(o, false)) {
    RemoveFolders(made);
    return ExitSetup;
  }
  ScenarioSettings settings;
  settings.outputFolder = o.out;
  settings.outputShown = o.outShown;
  settings.waitBudgetMs = (ULONGLONG)o.waitBudgetMs;
  bool ok = RunScenario(scenario, settings, &error);
  UnloadTodayItems();
  DestroyTodayWindow();
  PumpMessages();
  if (!ok) {
    Print(stderr, L"TodayHost: " + where + L": " + error);
    return ExitFailed;
  }
  if (CountScenarioPictures(scenario) > 0) Print(stdout, L"TodayHost: pictures in " + o.outShown);
  return ExitOk;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  std::wstring error;
  if (!ParseArguments(argc, argv, &options, &error)) {
    Print(stderr, L"TodayHost: " + error + L" (--help lists the options)");
    return ExitUsage;
  }
  if (options.help) {
    PrintHelp();
    return ExitOk;
  }
  if (options.printDemo) {
    Print(stdout, DemoScenarioText);
    return ExitOk;
  }
  SetConsoleCtrlHandler(Interrupted, TRUE);
  if (!options.keepPrograms) EndProgramsWithHost();
  if (options.demo || !options.scenarioFile.empty()) return RunScript(options);
  return ShowTodayScreen(options);
}
