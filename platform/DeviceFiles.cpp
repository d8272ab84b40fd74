// The device's file system (DeviceFiles.h), the same folder for both devices.
#include "DeviceFiles.h"

#include <stdio.h>
#include <windows.h>

static bool IsDevicePath(const wchar_t* path) {
  return path && path[0] == L'\\' && path[1] != L'\\';
}

bool DeviceFilePath(const wchar_t* path, wchar_t* desktopPath, size_t chars) {
  int written =
      _snwprintf(desktopPath, chars, IsDevicePath(path) ? DEVICE_ROOT_DRIVE L"%ls" : L"%ls", path);
  if (written < 0 || static_cast<size_t>(written) >= chars) {
    if (chars)
      desktopPath[0] = L'\0';
    return false;
  }
  return true;
}

bool IsPlainFileName(const wchar_t* name, size_t length) {
  if (length == 0 || length >= MAX_PATH)
    return false;
  for (size_t i = 0; i < length; ++i)
    if (name[i] < 32 || wcschr(L"\\/:*?\"<>|", name[i]))
      return false;
  if (name[length - 1] == L'.' || name[length - 1] == L' ')
    return false;  // Windows trims them
  // The Win32 device names name devices whatever follows the first dot, and
  // so do trailing blanks before it: CON, PRN, AUX, NUL, CONIN$, CONOUT$, and
  // COM or LPT with a digit, superscript 1-3 among them.
  size_t stem = 0;
  while (stem < length && name[stem] != L'.')
    ++stem;
  while (stem > 0 && name[stem - 1] == L' ')
    --stem;
  const wchar_t* const devices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
  for (const wchar_t* device : devices)
    if (stem == wcslen(device) && _wcsnicmp(name, device, stem) == 0)
      return false;
  return !(stem == 4 && (_wcsnicmp(name, L"COM", 3) == 0 || _wcsnicmp(name, L"LPT", 3) == 0) &&
           wcschr(L"0123456789\u00B9\u00B2\u00B3", name[3]));
}

bool IsPlainDevicePath(const wchar_t* path) {
  if (!IsDevicePath(path))
    return false;
  for (const wchar_t* part = path + 1; *part;) {
    const wchar_t* end = wcschr(part, L'\\');
    if (!end)
      end = part + wcslen(part);
    if (!IsPlainFileName(part, end - part))
      return false;
    part = *end ? end + 1 : end;
  }
  return wcslen(path) + wcslen(DEVICE_ROOT_DRIVE) < MAX_PATH;
}
