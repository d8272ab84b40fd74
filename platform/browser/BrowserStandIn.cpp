// Stands in for the device's "\windows\iexplore.exe". Like the device's
// browser it takes one argument, a web address or a device path of a page.
// On the simulated device it only records the request (one line per start,
// REG_MULTI_SZ "Requests" under HKCU\Software\CeStandIn\Browser) so tests and
// scenarios can read what was asked for; on the live device it hands the
// address, or the page's file in the device's file system, to the desktop's
// browser.
#include "CeApi.h"
#include "CeCommandLine.h"
#include "SimulatedDevice.h"

#include <shellapi.h>
#include <stdlib.h>

namespace {

const wchar_t kBrowserKey[] = L"Software\\CeStandIn\\Browser";
const wchar_t kRequestsValue[] = L"Requests";

void RecordRequest(const wchar_t* argument) {
  ScopedRegKey key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kBrowserKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                      key.Out(), nullptr) != ERROR_SUCCESS) {
    return;
  }
  DWORD type = 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(key, kRequestsValue, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
      type != REG_MULTI_SZ) {
    bytes = 0;
  }
  size_t oldChars = bytes / sizeof(wchar_t);
  size_t argumentChars = wcslen(argument) + 1;
  // Old list without its final terminator, the new line, two terminators.
  wchar_t* list = static_cast<wchar_t*>(calloc(oldChars + argumentChars + 2, sizeof(wchar_t)));
  if (list) {
    DWORD got = bytes;
    if (oldChars && RegQueryValueExW(key, kRequestsValue, nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(list), &got) == ERROR_SUCCESS) {
      oldChars = got / sizeof(wchar_t);
      while (oldChars && list[oldChars - 1] == L'\0') {  // drop the terminators
        --oldChars;
      }
      if (oldChars) {
        ++oldChars;  // keep the last line's own terminator
      }
    } else {
      oldChars = 0;
    }
    memcpy(list + oldChars, argument, argumentChars * sizeof(wchar_t));
    size_t total = oldChars + argumentChars + 1;  // the list's closing terminator
    list[total - 1] = L'\0';
    RegSetValueExW(key, kRequestsValue, 0, REG_MULTI_SZ, reinterpret_cast<BYTE*>(list),
                   static_cast<DWORD>(total * sizeof(wchar_t)));
    free(list);
  }
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
  if (CurrentDeviceKind() == DeviceKind::Live) {
    OpenOnDesktop(argument);
  } else {
    RecordRequest(argument);
  }
  return 0;
}
