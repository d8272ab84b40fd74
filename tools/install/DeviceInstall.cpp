// DeviceInstall.exe: applies the install manifest to the device, as the
// device's installer applies a cabinet built from it.
//   DeviceInstall.exe install [MANIFEST]     (default: Quorvane.inf beside it)
//   DeviceInstall.exe uninstall [MANIFEST]
// Exit status: 0 done; 1 a change failed and was put back; 2 a wrong command
// line or manifest, or a check before any change failed: nothing changed.
#include <windows.h>
#include <stdio.h>

#include <string>

#include "DeviceInstaller.h"

namespace {

void Print(FILE* stream, const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], n, nullptr, nullptr);
  fprintf(stream, "DeviceInstall: %s\n", utf8.c_str());
  fflush(stream);
}

// Unix paths reach the Windows calls through drive Z:, Wine's view of "/".
std::wstring WindowsPath(std::wstring p) {
  if (!p.empty() && p[0] == L'/') p = L"Z:" + p;
  for (wchar_t& c : p) {
    if (c == L'/') c = L'\\';
  }
  return p;
}

std::wstring DefaultManifest() {
  wchar_t exe[MAX_PATH];
  std::wstring path(exe, GetModuleFileNameW(nullptr, exe, MAX_PATH));
  return path.substr(0, path.find_last_of(L'\\') + 1) + L"Quorvane.inf";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring verb = argc > 1 ? argv[1] : L"";
  if (argc > 3 || (verb != L"install" && verb != L"uninstall")) {
    Print(stderr, L"usage: DeviceInstall.exe install|uninstall [MANIFEST.inf]");
    return 2;
  }
  std::wstring shown = argc > 2 ? argv[2] : L"Quorvane.inf";
  InfManifest manifest;
  std::wstring report;
  if (!ReadInfManifest(argc > 2 ? WindowsPath(argv[2]) : DefaultManifest(), shown, &manifest,
                       &report)) {
    Print(stderr, report + L"; nothing was changed");
    return 2;
  }
  InstallResult result = verb == L"install" ? InstallManifest(manifest, &report)
                                            : UninstallManifest(manifest, &report);
  if (result == InstallResult::Done) {
    Print(stdout, report);
    return 0;
  }
  Print(stderr, (result == InstallResult::Refused && report.compare(0, 5, L"line ") == 0
                     ? shown + L": "
                     : L"") +
                    report);
  return result == InstallResult::Refused ? 2 : 1;
}
