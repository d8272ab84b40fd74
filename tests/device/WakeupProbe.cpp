// Writes the command line it sees (as UTF-16) to the file named by the
// environment variable WAKEUP_PROBE_OUT, which it inherits from the test.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
  wchar_t path[MAX_PATH];
  if (!GetEnvironmentVariableW(L"WAKEUP_PROBE_OUT", path, MAX_PATH)) {
    return 1;
  }
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return 1;
  }
  DWORD written;
  WriteFile(file, commandLine, lstrlenW(commandLine) * sizeof(wchar_t), &written, nullptr);
  CloseHandle(file);
  return 0;
}
