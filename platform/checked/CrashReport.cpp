// In the checked build a crash or a trap is reported in one line on stderr (the
// program, and module and offset for addr2line) and ends the program at once
// with the exception's code. A program may install its own filter over this one.
#include <windows.h>

#include <stdio.h>

static LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  wchar_t program[MAX_PATH] = L"?", module[MAX_PATH] = L"?";
  HMODULE where = nullptr;
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      (LPCWSTR)record->ExceptionAddress, &where);
  if (where)
    GetModuleFileNameW(where, module, MAX_PATH);
  fprintf(stderr, "crash: %ls: exception 0x%08lx at %ls+0x%llx\n", program, record->ExceptionCode,
          module, (unsigned long long)((char*)record->ExceptionAddress - (char*)where));
  fflush(stderr);
  TerminateProcess(GetCurrentProcess(), record->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

// Installed as the program (or the DLL) starts.
extern "C" const LPTOP_LEVEL_EXCEPTION_FILTER quorvaneCrashReport =
    SetUnhandledExceptionFilter(ReportCrash);
