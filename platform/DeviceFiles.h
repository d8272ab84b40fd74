// The device's file system on the desktop. The device's root "\" is a folder
// of the Wine session (build/wine/device), which the session maps to drive
// D: of the prefix; every program resolves a device path through here.
#pragma once

#include <stddef.h>
#include <wchar.h>

// The drive that stands for the device's "\" (cmake/wine/wine-session.in maps it).
#define DEVICE_ROOT_DRIVE L"D:"

// A device path (one that starts with a single "\") as a desktop path
// ("\Windows\x.dll" -> "D:\Windows\x.dll"); other paths are copied unchanged.
// False (and an empty result) when it does not fit in `chars` characters.
bool DeviceFilePath(const wchar_t* path, wchar_t* desktopPath, size_t chars);

// A name Windows keeps as written inside a folder (`length` characters, which
// may hold a NUL): not empty, no separators, wildcards or trailing dot or
// blank, and no device name (CON, COM1, ...: DeviceFiles.cpp) in any case.
bool IsPlainFileName(const wchar_t* name, size_t length);
// A device path that stays on the device: each part between its "\"s a plain
// file name (so no ".." and no drive), a trailing "\" allowed, and short
// enough to reach as a desktop path.
bool IsPlainDevicePath(const wchar_t* path);
