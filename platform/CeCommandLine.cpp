// CE command lines on the desktop. A CE program's command line is its argument
// alone, and "\x" is on the device (DeviceFiles.h); the desktop puts the
// program's own name first and resolves "\x" against the current drive.
#define CE_PLATFORM_IMPLEMENTATION
#include "CeApi.h"
#include "checked/FaultInjection.h"
#include "CeCommandLine.h"

#include <stdlib.h>

const wchar_t* CeCommandArgument(const wchar_t* commandLine) {
  const wchar_t* p = commandLine;
  wchar_t self[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (n && n < MAX_PATH && _wcsnicmp(p, self, n) == 0 && (!p[n] || p[n] == L' ' || p[n] == L'\t')) {
    p += n;  // the program's own path unquoted, blanks and all
  } else if (*p == L'"') {
    ++p;
    while (*p && *p != L'"')
      ++p;
    if (*p)
      ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t')
      ++p;
  }
  // Exactly one separating blank: anything after it belongs to the argument.
  if (*p == L' ' || *p == L'\t')
    ++p;
  return p;
}

extern "C" BOOL WINAPI CeCreateProcessW(LPCWSTR application, LPWSTR commandLine,
                                        LPSECURITY_ATTRIBUTES processAttributes,
                                        LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                                        DWORD flags, LPVOID environment, LPCWSTR currentDirectory,
                                        LPSTARTUPINFOW startupInfo,
                                        LPPROCESS_INFORMATION processInfo) {
  if (CE_FAILS(CreateProcessW))
    return FALSE;
  STARTUPINFOW defaultStartup = {};
  defaultStartup.cb = sizeof(defaultStartup);
  if (!startupInfo)  // CE takes none; the desktop requires one
    startupInfo = &defaultStartup;
  if (!application) {
    return CreateProcessW(nullptr, commandLine, processAttributes, threadAttributes, inheritHandles,
                          flags, environment, currentDirectory, startupInfo, processInfo);
  }
  wchar_t program[MAX_PATH];
  if (!DeviceFilePath(application, program, MAX_PATH)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return FALSE;
  }
  // "<program>" <argument>, so that the started program sees the argument
  // alone again through CeCommandArgument.
  size_t chars = wcslen(program) + (commandLine ? wcslen(commandLine) : 0) + 4;  // fits exactly
  AutoFree<wchar_t> desktopLine(static_cast<wchar_t*>(malloc(chars * sizeof(wchar_t))));
  if (!desktopLine) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  _snwprintf(desktopLine, chars, commandLine ? L"\"%s\" %s" : L"\"%s\"", program, commandLine);
  return CreateProcessW(program, desktopLine, processAttributes, threadAttributes, inheritHandles,
                        flags, environment, currentDirectory, startupInfo, processInfo);
}
