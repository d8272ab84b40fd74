// DeviceInstall.exe install|uninstall [MANIFEST]: applies the install
// manifest (Quorvane.inf beside it) to the device, as the device's installer
// applies a cabinet built from it; it exits with the InstallResult. One run
// at a time: a second waits up to a minute for the first.
#include <windows.h>

#include <algorithm>
#include <string>

#include "DeviceInstaller.h"
#include "ScopedWin.h"
#include "Words.h"

namespace {

HANDLE interrupted;  // set on Ctrl-C or a console close
HANDLE finished;     // set when the run has put the device right

// Each line of the report, after the program's name.
void Say(FILE* stream, std::wstring report) {
  if (!report.empty() && report.back() == L'\n')
    report.pop_back();
  for (size_t at = 0; (at = report.find(L'\n', at)) != std::wstring::npos; ++at)
    report.replace(at, 1, L"\nDeviceInstall: ");
  Print(stream, L"DeviceInstall: " + report);
}

// The process ends when this returns from a console close: the run rolls back first.
BOOL WINAPI OnConsoleEvent(DWORD) {
  SetEvent(interrupted);
  WaitForSingleObject(finished, INFINITE);
  return TRUE;
}

// Unix paths reach the Windows calls through drive Z:, Wine's view of "/".
std::wstring WindowsPath(std::wstring p) {
  if (!p.empty() && p[0] == L'/')
    p = L"Z:" + p;
  std::replace(p.begin(), p.end(), L'/', L'\\');
  return p;
}

std::wstring DefaultManifest() {
  wchar_t exe[MAX_PATH];
  std::wstring path(exe, GetModuleFileNameW(nullptr, exe, MAX_PATH));
  return path.substr(0, path.find_last_of(L'\\') + 1) + L"Quorvane.inf";
}

InstallResult RunUnderLock(bool install, const InfManifest& manifest, std::wstring* report) {
  AutoCloseHandle lock(CreateMutexW(nullptr, FALSE, L"CeStandIn.DeviceInstall"));
  HANDLE waits[] = {lock, interrupted};
  DWORD waited = WaitForMultipleObjects(2, waits, FALSE, 0);
  if (waited == WAIT_TIMEOUT) {
    Say(stderr, L"another run is under way: waiting for it (at most a minute)");
    waited = WaitForMultipleObjects(2, waits, FALSE, 60000);
  }
  if (waited == WAIT_TIMEOUT || waited == WAIT_OBJECT_0 + 1) {
    *report = waited == WAIT_TIMEOUT
                  ? L"another run held the device for a minute; nothing was changed"
                  : L"interrupted before any change; nothing was changed";
    return InstallResult::Refused;
  }
  // Ours, also when abandoned: this run deals with what a cut-off one left.
  // DEVICEINSTALL_STEP_PAUSE_MS (for scripts/install-kills.sh) widens the
  // steps so that a kill at a random moment lands inside the run.
  wchar_t pause[16] = L"";
  GetEnvironmentVariableW(L"DEVICEINSTALL_STEP_PAUSE_MS", pause, 16);
  DWORD ms = wcstoul(pause, nullptr, 10);
  auto check = [ms](int) {
    return WaitForSingleObject(interrupted, ms) == WAIT_OBJECT_0 ? Go::RollBack : Go::On;
  };
  InstallResult result = ApplyManifest(install, manifest, check, report);
  ReleaseMutex(lock);
  return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  interrupted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  std::wstring verb = argc > 1 ? argv[1] : L"";
  InfManifest manifest;
  std::wstring report = L"usage: DeviceInstall.exe install|uninstall [MANIFEST.inf]";
  InstallResult result = InstallResult::Refused;
  if (argc <= 3 && (verb == L"install" || verb == L"uninstall")) {
    if (ReadInfManifest(argc > 2 ? WindowsPath(argv[2]) : DefaultManifest(),
                        argc > 2 ? argv[2] : L"Quorvane.inf", &manifest, &report))
      result = RunUnderLock(verb == L"install", manifest, &(report = L""));
    else
      report += L"; nothing was changed";
  }
  SetEvent(finished);
  Say(result == InstallResult::Done ? stdout : stderr, report);
  return (int)result;
}
