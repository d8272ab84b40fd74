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

const wchar_t usage[] =
    L"usage: TodayHost.exe [options]                 the Today screen in a window\n"
    L"       TodayHost.exe --scenario FILE [options] run a scenario headless\n"
    L"       TodayHost.exe --demo [options]          run the built-in demo scenario\n"
    L"       TodayHost.exe --check FILE              check a scenario, run nothing\n"
    L"       TodayHost.exe --print-demo              print the demo scenario\n"
    L"       TodayHost.exe --help                    this text and the scenario commands\n"
    L"options:\n"
    L"  --live               the live device (the machine's own readings); window only\n"
    L"  --dll PATH           the Today item (default: the enabled items of the Today list\n"
    L"                       in the registry, in Order, from the device's file system)\n"
    L"  --out FOLDER         where a scenario's pictures go (default: current folder)\n"
    L"  --interval DURATION  refresh query interval, 1ms to 24h (default 2s)\n"
    L"  --text-color #RRGGBB the Today text colour (default #000000)\n"
    L"  --close-after DURATION  window only: close by itself after 1ms to 24h\n"
    L"  --snapshot FILE      window only: a PNG of the strip when it closes by itself\n"
    L"  --device-wait DURATION  how long to wait while another host uses the simulated\n"
    L"                       device, 0s to 24h (default 2m)\n"
    L"  --wait-budget DURATION  a scenario: how long all its waits for other programs\n"
    L"                       and windows may take together, 1ms to 1h (default 2m)\n"
    L"Paths are taken exactly as typed (no device names, trailing dots and blanks kept);\n"
    L"Unix paths (starting with /) are accepted and mapped to drive Z:.\n"
    L"Exit status: 0 done; 1 an expectation, a picture or a wait failed; 2 a wrong command\n"
    L"line or script (nothing was run); 3 no display, item or output folder; 4 another host\n"
    L"kept the simulated device busy past --device-wait.\n";

enum ExitCode { ExitOk = 0, ExitFailed = 1, ExitUsage = 2, ExitSetup = 3, ExitBusy = 4 };

// Prints a message whole: a control character in it is written as \x00.
void Print(FILE* stream, const std::wstring& message) {
  std::wstring text;
  for (size_t line = 0; line <= message.size();) {
    size_t end = message.find(L'\n', line);
    if (end == std::wstring::npos) end = message.size();
    text += Escaped(message.substr(line, end - line)) + (end < message.size() ? L"\n" : L"");
    line = end + 1;
  }
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], n, nullptr, nullptr);
  fputs(utf8.c_str(), stream);
  fputc('\n', stream);
  fflush(stream);
}

std::wstring FileNamePart(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

struct Options {
  // Paths the user named: in the \\?\ form (UserPath), and as typed.
  std::wstring scenarioFile, scenarioShown;
  bool demo = false;
  bool check = false;
  bool printDemo = false;
  bool help = false;
  bool live = false;
  std::wstring dll, dllShown;
  std::wstring out, outShown = L".";
  bool outGiven = false;
  long long intervalMs = 2000;
  COLORREF textColor = RGB(0, 0, 0);
  long long closeAfterMs = 0;
  std::wstring snapshot, snapshotShown;
  long long deviceWaitMs = 120000;
  long long waitBudgetMs = 120000;
};

std::wstring closingSnapshot, closingSnapshotShown;

// Ends an unattended window run, with a picture of the strip if asked for.
void CALLBACK CloseByItself(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  if (!closingSnapshot.empty()) {
    Picture picture;
    std::wstring error;
    if (!CapturePicture(TodayShell.itemWindow, &picture) ||
        !WritePng(closingSnapshot.c_str(), picture, &error)) {
      Print(stderr, L"TodayHost: no picture of the strip in " + closingSnapshotShown + L": " +
                        error);
    }
  }
  DestroyTodayWindow();
}

bool ParseArguments(int argc, wchar_t** argv, Options* o, std::wstring* error) {
  std::vector<std::wstring> seen;
  for (int i = 1; i < argc; ++i) {
    std::wstring a = argv[i];
    for (const std::wstring& s : seen) {
      if (s == a) {
        *error = a + L" is given twice";
        return false;
      }
      if ((s == L"--check" && a == L"--scenario") || (s == L"--scenario" && a == L"--check")) {
        *error = L"--check and --scenario cannot go together: --check only reads the script";
        return false;
      }
    }
    seen.push_back(a);
    bool hasValue = i + 1 < argc;
    std::wstring value = hasValue ? argv[i + 1] : L"";
    bool path = a == L"--scenario" || a == L"--check" || a == L"--dll" || a == L"--out" ||
                a == L"--snapshot";
    if (path && hasValue && value.empty()) {
      *error = a + L" needs a path, not ''";
      return false;
    }
    if (a == L"--demo") o->demo = true;
    else if (a == L"--live") o->live = true;
    else if (a == L"--print-demo") o->printDemo = true;
    else if (a == L"--help") o->help = true;
    else if (!hasValue) {
      bool known = path || a == L"--interval" || a == L"--close-after" || a == L"--device-wait" ||
                   a == L"--wait-budget" || a == L"--text-color";
      *error = known ? a + L" needs a value" : L"unknown or incomplete option " + Quote(a);
      return false;
    } else if (++i, a == L"--scenario" || a == L"--check") {
      o->check = a == L"--check";
      o->scenarioShown = value;
      o->scenarioFile = UserPath(value);
    } else if (a == L"--dll") {
      o->dllShown = value;
      o->dll = UserPath(value);
      if (FileNamePart(o->dll).find(L'.') == std::wstring::npos) {
        *error = L"--dll " + value + L": a library's name needs an extension such as .dll " +
                 L"(the system would load " + FileNamePart(o->dll) + L".dll instead)";
        return false;
      }
    } else if (a == L"--out") {
      o->outShown = value;
      o->out = UserPath(value);
      o->outGiven = true;
    } else if (a == L"--interval") {
      if (!ParseDurationIn(value, 1, 86400000, L"--interval", &o->intervalMs, error)) return false;
    } else if (a == L"--close-after") {
      if (!ParseDurationIn(value, 1, 86400000, L"--close-after", &o->closeAfterMs, error)) {
        return false;
      }
    } else if (a == L"--device-wait") {
      if (!ParseDurationIn(value, 0, 86400000, L"--device-wait", &o->deviceWaitMs, error)) {
        return false;
      }
    } else if (a == L"--wait-budget") {
      if (!ParseDurationIn(value, 1, 3600000, L"--wait-budget", &o->waitBudgetMs, error)) {
        return false;
      }
    } else if (a == L"--snapshot") {
      o->snapshotShown = value;
      o->snapshot = UserPath(value);
      std::wstring name = FileNamePart(o->snapshot);
      if (!IsPlainFileNameWith(name, L".png") || !PathFitsLimits(o->snapshot)) {
        *error = L"--snapshot needs a *.png file in a folder, within the file system's limits, " +
                 std::wstring(L"not ") + Quote(value);
        return false;
      }
      if (IsNoFile(KindAt(o->snapshot))) {
        *error = L"--snapshot " + value + L": " + WhyNotCreated(o->snapshot, ERROR_ALREADY_EXISTS);
        return false;
      }
      PathKind folder = KindAt(o->snapshot.substr(0, o->snapshot.rfind(L'\\')));
      if (folder != PathKind::Folder && folder != PathKind::Unknown) {
        *error = L"--snapshot " + value + L": its folder does not exist";
        return false;
      }
    } else if (a == L"--text-color") {
      if (!ParseColor(value, &o->textColor)) {
        *error = L"--text-color takes #RRGGBB, not " + Quote(value);
        return false;
      }
    } else {
      *error = L"unknown option " + Quote(a);
      return false;
    }
  }
  if (o->out.empty()) o->out = UserPath(o->outShown);
  if (o->demo && !o->scenarioFile.empty()) {
    *error = std::wstring(L"--demo and ") + (o->check ? L"--check" : L"--scenario") +
             L" exclude each other";
    return false;
  }
  bool script = o->demo || !o->scenarioFile.empty();
  if (script && (o->closeAfterMs || !o->snapshot.empty())) {
    *error = L"--close-after and --snapshot are for the window; scenarios take snapshots";
    return false;
  }
  if (!o->snapshot.empty() && !o->closeAfterMs) {
    *error = L"--snapshot needs --close-after";
    return false;
  }
  if (!script && o->outGiven) {
    *error = L"--out is for scenarios; the window takes --snapshot";
    return false;
  }
  if (o->live && script) {
    *error = L"scenarios run on the simulated device; --live is for the window";
    return false;
  }
  return true;
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
  // As long as the longest picture's name, no longer (a folder near the
  // limit takes its pictures), and one per process: two hosts may check the
  // same folder at once. Picture names end in .png or .gif, the probe in ~.
  wchar_t hex[16];
  _snwprintf(hex, 16, L"%08lx", GetCurrentProcessId());
  hex[15] = 0;
  std::wstring probe = L"TodayHost-write-check-" + std::wstring(hex);
  size_t length = std::max(longest, (size_t)5);
  probe = probe.size() + 1 > length ? probe.substr(probe.size() + 1 - length) : probe;
  probe = InFolder(o.out, probe + std::wstring(length - 1 - probe.size(), L'x') + L"~");
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

void PrintHelp() {
  std::wstring text = usage;
  text += L"\nScenario commands (one a line; see docs/scenarios.md):\n";
  size_t count;
  const CommandInfo* commands = ScenarioCommands(&count);
  for (size_t i = 0; i < count; ++i) {
    text += L"  " + std::wstring(commands[i].usage) + L"\n      " + commands[i].effect + L"\n";
  }
  text += L"Limits: " + LimitsText();
  Print(stdout, text);
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
  wchar_t error[512];
  std::vector<TODAYLISTITEM> listed;
  std::vector<std::wstring> dlls = {o.dll};
  std::wstring note;
  if (o.dll.empty() && !ChooseTodayItems(&listed, &dlls, &note)) {
    Print(stderr, L"TodayHost: " + note);
    DestroyTodayWindow();
    return false;
  }
  if (!note.empty()) Print(stderr, L"TodayHost: " + note);
  if (!LoadTodayItem(dlls[0].c_str(), error, 512, o.dll.empty() ? &listed[0] : nullptr)) {
    std::wstring message = error;  // naming the library as typed
    size_t at = o.dll.empty() ? std::wstring::npos : message.find(dlls[0]);
    if (at != std::wstring::npos) message.replace(at, dlls[0].size(), o.dllShown);
    Print(stderr, L"TodayHost: " + message);
    DestroyTodayWindow();
    return false;
  }
  // The further items stack below the first; one that does not load is left out.
  for (size_t i = 1; i < listed.size(); ++i) {
    if (!LoadFurtherTodayItem(dlls[i].c_str(), listed[i], error, 512)) {
      Print(stderr, std::wstring(L"TodayHost: left out: ") + listed[i].szName + L": " + error);
    }
  }
  PumpMessages();
  return true;
}

int RunWindow(const Options& o) {
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
  return ExitOk;
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
  UnloadTodayItem();
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
  if (options.demo || !options.scenarioFile.empty()) return RunScript(options);
  return RunWindow(options);
}
