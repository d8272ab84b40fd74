// Translation between CE command lines and paths and the desktop's.
#pragma once

#include <stddef.h>
#include <wchar.h>

// The argument part of a desktop command line: the program token (quoted or
// not) and exactly one separating blank removed; everything else is kept.
const wchar_t* CeCommandArgument(const wchar_t* commandLine);

// Device paths ("\windows\x.exe") resolve through the device's file system.
#include "DeviceFiles.h"
