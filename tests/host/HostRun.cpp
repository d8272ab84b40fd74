#include "HostRun.h"

#include <stdio.h>

#include <algorithm>
#include <mutex>

// The output goes to a file, not a pipe, whose write end a program the session
// starts may hold open. What the host leaves running ends with the job.
HostResult RunHost(const std::wstring& arguments, const std::wstring& program) {
  HostResult result;
  static LONG runs;  // hosts may be started from two threads at once
  std::wstring log = FreshFolder(L"host-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                 std::to_wstring(InterlockedIncrement(&runs))) +
                     L".log";
  AutoCloseHandle job(CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  PROCESS_INFORMATION process = {};
  std::wstring commandLine = L"\"" + program + L"\" " + arguments;
  // One start at a time: a start must not inherit, or lose mid-way, the
  // inheritable handle another thread is just opening or closing.
  static std::mutex starting;
  std::unique_lock<std::mutex> lock(starting);
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  AutoCloseHandle out(CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &sa, CREATE_ALWAYS, 0, nullptr));
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = startup.hStdError = out;
  if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED,
                      nullptr, nullptr, &startup, &process)) {
    result.output = "the program did not start: error " + std::to_string(GetLastError());
    return result;
  }
  AssignProcessToJobObject(job, process.hProcess);
  ResumeThread(process.hThread);
  out.Reset(nullptr);  // the host has its own handle to the file
  lock.unlock();
  AutoCloseHandle thread(process.hThread), host(process.hProcess);
  if (WaitForSingleObject(host, 120000) == WAIT_OBJECT_0)
    GetExitCodeProcess(host, &result.exitCode);
  result.output += ReadBytes(log);
  if (result.exitCode == 0xFFFFFFFF)
    result.output += "\nthe program did not end within 120 s";
  return result;  // the job ends the host if it still runs
}

std::string ReadBytes(const std::wstring& path) {
  std::string bytes;
  AutoCloseHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
  char buffer[4096];
  DWORD got;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
    bytes.append(buffer, got);
  return bytes;
}

std::wstring TestSourcePath(const std::wstring& relative) {
  return std::wstring(HOST_TEST_DIR) + L"\\" + relative;
}

// A folder and all in it, at any depth (the shell's delete stops at 260
// characters); `path` in the \\?\ form.
static void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  ScopedHandle<HANDLE, FindClose> search(FindFirstFileW((path + L"\\*").c_str(), &found));
  for (BOOL more = search.IsValid(); more; more = FindNextFileW(search, &found)) {
    std::wstring name = found.cFileName, inside = path + L"\\" + name;
    if (name == L"." || name == L"..")
      continue;
    DWORD kind = found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
    if (kind == FILE_ATTRIBUTE_DIRECTORY)
      RemoveTree(inside);  // links are not followed
    else if (!DeleteFileW(inside.c_str()))
      RemoveDirectoryW(inside.c_str());
  }
  RemoveDirectoryW(path.c_str());
}

std::wstring FreshFolder(const std::wstring& name) {
  wchar_t cwd[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, cwd);
  std::wstring parent = std::wstring(cwd) + L"\\host-test-output";
  CreateDirectoryW(parent.c_str(), nullptr);
  std::wstring folder = parent + L"\\" + name;
  RemoveTree(L"\\\\?\\" + folder);  // what an earlier run left
  return folder;
}

// Handles of our own, not the C runtime's: those are inherited by a host another thread starts.
void WriteTextFile(const std::wstring& path, const std::string& text) {
  AutoCloseHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written;
  WriteFile(file, text.data(), (DWORD)text.size(), &written, nullptr);
}

HostResult RunScript(const std::wstring& name, const std::string& text,
                     const std::wstring& options) {
  std::wstring folder = FreshFolder(name), script = TestSourcePath(L"scenarios\\" + name + L".txt");
  if (!text.empty())
    WriteTextFile(script = folder + L".txt", text);
  HostResult result =
      RunHost(L"--scenario \"" + script + L"\" --out \"" + folder + L"\" " + options);
  result.folder = folder;
  return result;
}

std::string Difference(const Picture& a, const Picture& b) {
  char text[100] = "";
  size_t at =
      std::mismatch(a.pixels.begin(), a.pixels.end(), b.pixels.begin(), b.pixels.end()).first -
      a.pixels.begin();
  if (a.width != b.width || a.height != b.height) {
    snprintf(text, sizeof text, "%dx%d instead of %dx%d", a.width, a.height, b.width, b.height);
  } else if (at < a.pixels.size()) {
    snprintf(text, sizeof text, "first difference at (%d,%d): %06lX instead of %06lX",
             (int)(at % a.width), (int)(at / a.width), a.pixels[at], b.pixels[at]);
  }
  return text;
}
