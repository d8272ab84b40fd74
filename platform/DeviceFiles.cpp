// The device's file system: device paths have no drive letter, and the device's
// "\" is the folder the session maps to DEVICE_ROOT_DRIVE. Both devices use the
// same folder: the live device only answers the readings from this machine.
#include "DeviceFiles.h"

#include <stdio.h>

bool IsDevicePath(const wchar_t* path) {
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
