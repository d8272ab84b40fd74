// Runs TodayHost.exe (or another program) as a separate process and collects what it says.
#pragma once

#include <windows.h>

#include <gmock/gmock.h>

#include <string>

#include "Picture.h"
#include "ScopedWin.h"

struct HostResult {
  DWORD exitCode = 0xFFFFFFFF;
  std::string output;   // stdout and stderr together
  std::wstring folder;  // a scenario's pictures
};

// `arguments` follow the program name. Waits up to two minutes.
HostResult RunHost(const std::wstring& arguments, const std::wstring& program = L"TodayHost.exe");

// Runs `text` (written as <FreshFolder(name)>.txt), or tests/host/scenarios/<name>.txt,
// with `options`; its pictures go into FreshFolder(name).
HostResult RunScript(const std::wstring& name, const std::string& text = "",
                     const std::wstring& options = L"");

// "" when the pictures are the same, else where they first differ and how.
std::string Difference(const Picture& a, const Picture& b);

#define EXPECT_SAYS(result, text) EXPECT_THAT((result).output, testing::HasSubstr(text))

std::wstring TestSourcePath(const std::wstring& relative);
// A fresh, empty folder under the working directory.
std::wstring FreshFolder(const std::wstring& name);
void WriteTextFile(const std::wstring& path, const std::string& text);
std::string ReadBytes(const std::wstring& path);
