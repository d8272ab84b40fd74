// Runs TodayHost.exe as a separate process and collects what it says.
#pragma once

#include <windows.h>

#include <string>

#include "Picture.h"
#include "ScopedWin.h"

struct HostResult {
  DWORD exitCode = 0xFFFFFFFF;
  std::string output;  // stdout and stderr together
};

// `arguments` follow the program name. Waits up to two minutes.
HostResult RunProgram(const std::wstring& program, const std::wstring& arguments);
inline HostResult RunHost(const std::wstring& arguments) {
  return RunProgram(L"TodayHost.exe", arguments);
}

// Folder of the test's scenarios and reference pictures in the source tree.
std::wstring TestSourcePath(const std::wstring& relative);
// A fresh, empty folder under the working directory.
std::wstring FreshFolder(const std::wstring& name);
// Writes UTF-8 text to a file; what a file holds.
void WriteTextFile(const std::wstring& path, const std::string& text);
std::string ReadBytes(const std::wstring& path);
// Removes the Today items the tests add (Items\HostTest.A...) and, unless
// `files` is false, their libraries on the device. Every host test program
// does so before its first test: a test killed halfway leaves them behind.
void RemoveTestItems(bool files = true);

