// Translation between CE command lines and paths and the desktop's.
#pragma once

#include <stddef.h>
#include <wchar.h>

// The argument part of a desktop command line: the program token (quoted or
// not) and exactly one separating blank removed; everything else is kept.
const wchar_t* CeCommandArgument(const wchar_t* commandLine);

// A device path ("\windows\x.exe") as a desktop path on the prefix's drive C:
// ("C:\windows\x.exe"); other paths are copied unchanged. False (and an empty
// result) when it does not fit in `chars` characters.
bool CeDevicePath(const wchar_t* path, wchar_t* desktopPath, size_t chars);
