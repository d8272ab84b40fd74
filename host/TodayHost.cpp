// TodayHost.exe: the Today shell stand-in. Loads the Today item and drives it
// as the Pocket PC shell does, either in a window that a person uses (on the
// simulated or the live device) or headless through a scenario.
#include <windows.h>
#include <shlobj.h>
#include <stdio.h>

#include <string>

#include "DemoScenario.h"
#include "Picture.h"
#include "Scenario.h"
#include "ScenarioRun.h"
#include "SimulatedDevice.h"
#include "TodayShell.h"

namespace {

const char usage[] =
    "usage: TodayHost.exe [options]                 the Today screen in a window\n"
    "       TodayHost.exe --scenario FILE [options] run a scenario headless\n"
    "       TodayHost.exe --demo [options]          run the built-in demo scenario\n"
    "       TodayHost.exe --check FILE              check a scenario, run nothing\n"
    "       TodayHost.exe --print-demo              print the demo scenario\n"
    "options:\n"
    "  --live               the live device (the machine's own readings); window only\n"
    "  --dll PATH           the Today item (default: Quorvane.dll beside TodayHost.exe)\n"
    "  --out FOLDER         where a scenario's pictures go (default: current folder)\n"
    "  --interval DURATION  refresh query interval (default 2s)\n"
    "  --text-color #RRGGBB the Today text colour (default #000000)\n"
    "  --close-after DURATION  window only: close by itself after this time\n"
    "  --snapshot FILE      window only: a PNG of the strip when it closes by itself\n"
    "Unix paths (starting with /) are accepted and mapped to drive Z:.\n";

enum ExitCode { ExitOk = 0, ExitFailed = 1, ExitUsage = 2, ExitSetup = 3 };

void Print(FILE* stream, const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], n, nullptr, nullptr);
  fputs(utf8.c_str(), stream);
  fputc('\n', stream);
  fflush(stream);
}

// Unix paths reach the Windows calls through drive Z:, Wine's view of "/".
std::wstring WindowsPath(const std::wstring& path) {
  std::wstring p = path;
  if (!p.empty() && p[0] == L'/') p = L"Z:" + p;
  for (wchar_t& c : p) {
    if (c == L'/') c = L'\\';
  }
  return p;
}

std::wstring FullPath(const std::wstring& path) {
  wchar_t full[MAX_PATH];
  DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
  return n > 0 && n < MAX_PATH ? std::wstring(full) : path;
}

std::wstring DefaultItemPath() {
  wchar_t exe[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring path(exe, n);
  size_t slash = path.find_last_of(L"\\/");
  return (slash == std::wstring::npos ? L"" : path.substr(0, slash + 1)) + L"Quorvane.dll";
}

struct Options {
  std::wstring scenarioFile;
  bool demo = false;
  bool check = false;
  bool printDemo = false;
  bool live = false;
  std::wstring dll;
  std::wstring out = L".";
  long long intervalMs = 2000;
  COLORREF textColor = RGB(0, 0, 0);
  long long closeAfterMs = 0;
  std::wstring snapshot;
};

std::wstring closingSnapshot;

// Ends an unattended window run, with a picture of the strip if asked for.
void CALLBACK CloseByItself(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  if (!closingSnapshot.empty()) {
    Picture picture;
    std::wstring error;
    if (!CapturePicture(TodayShell.itemWindow, &picture) ||
        !WritePng(closingSnapshot.c_str(), picture, &error)) {
      Print(stderr, L"TodayHost: no picture of the strip: " + error);
    }
  }
  DestroyTodayWindow();
}

bool ParseArguments(int argc, wchar_t** argv, Options* o, std::wstring* error) {
  for (int i = 1; i < argc; ++i) {
    std::wstring a = argv[i];
    bool hasValue = i + 1 < argc;
    if (a == L"--demo") o->demo = true;
    else if (a == L"--live") o->live = true;
    else if (a == L"--print-demo") o->printDemo = true;
    else if ((a == L"--scenario" || a == L"--check") && hasValue) {
      o->check = o->check || a == L"--check";
      o->scenarioFile = WindowsPath(argv[++i]);
    } else if (a == L"--dll" && hasValue) o->dll = WindowsPath(argv[++i]);
    else if (a == L"--out" && hasValue) o->out = WindowsPath(argv[++i]);
    else if (a == L"--interval" && hasValue) {
      if (!ParseDuration(argv[++i], &o->intervalMs) || o->intervalMs < 1 ||
          o->intervalMs > 0x7FFFFFFF) {
        *error = std::wstring(L"--interval: '") + argv[i] + L"' is not a duration such as 2s";
        return false;
      }
    } else if (a == L"--close-after" && hasValue) {
      if (!ParseDuration(argv[++i], &o->closeAfterMs) || o->closeAfterMs < 1 ||
          o->closeAfterMs > 0x7FFFFFFF) {
        *error = std::wstring(L"--close-after: '") + argv[i] + L"' is not a duration";
        return false;
      }
    } else if (a == L"--snapshot" && hasValue) {
      o->snapshot = FullPath(WindowsPath(argv[++i]));
    } else if (a == L"--text-color" && hasValue) {
      if (!ParseColor(argv[++i], &o->textColor)) {
        *error = std::wstring(L"--text-color: '") + argv[i] + L"' is not #RRGGBB";
        return false;
      }
    } else {
      *error = L"unknown or incomplete option '" + a + L"'";
      return false;
    }
  }
  if (o->demo && !o->scenarioFile.empty()) {
    *error = L"--demo and --scenario exclude each other";
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
  if (o->live && script) {
    *error = L"scenarios run on the simulated device; --live is for the window";
    return false;
  }
  return true;
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
  std::wstring dll = FullPath(o.dll.empty() ? DefaultItemPath() : o.dll);
  if (!LoadTodayItem(dll.c_str(), error, 512)) {
    Print(stderr, std::wstring(L"TodayHost: ") + error);
    DestroyTodayWindow();
    return false;
  }
  PumpMessages();
  return true;
}

int RunWindow(const Options& o) {
  // Chosen before any CE call, so the item and every program it starts
  // read the same device.
  if (o.live) SelectDevice(DeviceKind::Live);
  bool simulated = CurrentDeviceKind() == DeviceKind::Simulated;
  if (simulated) SimSetClockRunning(true);
  if (!StartShell(o, true)) return ExitSetup;
  Print(stdout, std::wstring(L"TodayHost: the Today screen on the ") +
                    (simulated ? L"simulated" : L"live") +
                    L" device. Tap the strip; right-click for options, suspend and resume; "
                    L"Esc closes.");
  if (o.closeAfterMs) {
    closingSnapshot = o.snapshot;
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
  bool parsed = o.demo ? ParseScenario(DemoScenarioText, &scenario, &error)
                       : LoadScenarioFile(o.scenarioFile.c_str(), &scenario, &error);
  if (!parsed) {
    Print(stderr, (o.demo ? L"TodayHost: demo scenario: " : L"TodayHost: ") + error);
    return ExitUsage;
  }
  if (o.check) {
    Print(stdout, L"TodayHost: " + o.scenarioFile + L": the scenario is well formed");
    return ExitOk;
  }
  std::wstring out = FullPath(o.out);
  if (CountScenarioPictures(scenario) > 0) {
    int r = SHCreateDirectoryExW(nullptr, out.c_str(), nullptr);
    if (r != ERROR_SUCCESS && r != ERROR_ALREADY_EXISTS && r != ERROR_FILE_EXISTS) {
      Print(stderr, L"TodayHost: cannot create the folder " + out);
      return ExitSetup;
    }
  }
  SelectDevice(DeviceKind::Simulated);
  SimResetDevice();
  if (!StartShell(o, false)) return ExitSetup;
  ScenarioSettings settings;
  settings.outputFolder = out;
  bool ok = RunScenario(scenario, settings, &error);
  UnloadTodayItem();
  DestroyTodayWindow();
  PumpMessages();
  if (!ok) {
    std::wstring where = o.demo ? L"demo scenario" : o.scenarioFile;
    Print(stderr, L"TodayHost: " + where + L": " + error);
    return ExitFailed;
  }
  if (CountScenarioPictures(scenario) > 0) Print(stdout, L"TodayHost: pictures in " + out);
  return ExitOk;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  std::wstring error;
  if (!ParseArguments(argc, argv, &options, &error)) {
    Print(stderr, L"TodayHost: " + error);
    fputs(usage, stderr);
    return ExitUsage;
  }
  if (options.printDemo) {
    Print(stdout, DemoScenarioText);
    return ExitOk;
  }
  if (options.demo || !options.scenarioFile.empty()) return RunScript(options);
  return RunWindow(options);
}
