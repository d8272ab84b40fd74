// Stands in for the device's "\windows\iexplore.exe", which takes one argument,
// a web address or a device path of a page. The simulated device only records
// the request (a line of REG_MULTI_SZ "Requests" under
// HKCU\Software\CeStandIn\Browser); the live device hands the address, or the
// page's file in the device's file system, to the desktop's browser.
#include "CeApi.h"
#include "CeCommandLine.h"
#include "SimulatedDevice.h"

#include <shellapi.h>

#include <string>

namespace {

const wchar_t kBrowserKey[] = L"Software\\CeStandIn\\Browser";
const wchar_t kRequestsValue[] = L"Requests";

void RecordRequest(const wchar_t* argument) {
  ScopedRegKey key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kBrowserKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                      key.Out(), nullptr) != ERROR_SUCCESS) {
    return;
  }
  DWORD type = 0, bytes = 0;
  std::wstring list;
  if (RegQueryValueExW(key, kRequestsValue, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
      type == REG_MULTI_SZ) {
    list.resize(bytes / sizeof(wchar_t));
    if (RegQueryValueExW(key, kRequestsValue, nullptr, nullptr, (BYTE*)&list[0], &bytes) != 0)
      bytes = 0;
    list.resize(bytes / sizeof(wchar_t));
  }
  // The old lines with their own terminators, the new line, the list's terminator.
  list.erase(list.find_last_not_of(L'\0') + 1);
  if (!list.empty())
    list += L'\0';
  list += std::wstring(argument) + L'\0' + L'\0';
  RegSetValueExW(key, kRequestsValue, 0, REG_MULTI_SZ, (const BYTE*)list.data(),
                 (DWORD)(list.size() * sizeof(wchar_t)));
}

// Wine's winebrowser passes addresses and files to the desktop's browser.
void OpenOnDesktop(const wchar_t* argument) {
  wchar_t target[MAX_PATH];
  if (!DeviceFilePath(argument, target, MAX_PATH))
    return;
  wchar_t commandLine[MAX_PATH + 32];
  _snwprintf(commandLine, MAX_PATH + 32, L"winebrowser.exe \"%s\"", target);
  commandLine[MAX_PATH + 31] = L'\0';
  if (!StartProgram(nullptr, commandLine))
    ShellExecuteW(nullptr, L"open", target, nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  const wchar_t* argument = CeCommandArgument(GetCommandLineW());
  if (CurrentDeviceKind() == DeviceKind::Live)
    OpenOnDesktop(argument);
  else
    RecordRequest(argument);
  return 0;
}
