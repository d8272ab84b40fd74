// The checked build's fault injection (see FaultInjection.h). Each module
// that links the platform (the item library, the About program, the host)
// counts its own uses, so a fault meant for one never hits another.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include "FaultInjection.h"
#include "ScopedWin.h"

namespace {

const wchar_t* const kCallNames[] = {
#define CE_FAILABLE_NAME(name) L## #name,
    CE_FAILABLE_CALLS(CE_FAILABLE_NAME)
#undef CE_FAILABLE_NAME
};

struct Plan {
  bool read;
  int call;  // -1: nothing fails
  long from;
  bool onward;
  AutoCloseHandle log;  // closed when the module goes
  char* base;
  wchar_t module[64];
  long uses[kFailableCalls];
};
Plan plan;  // zero at load: every reload of a library starts counting afresh

void ReadPlan() {
  plan.read = true;
  plan.call = -1;
  HMODULE self = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&plan), &self);
  plan.base = reinterpret_cast<char*>(self);
  wchar_t path[MAX_PATH] = L"";
  GetModuleFileNameW(self, path, MAX_PATH);
  const wchar_t* name = wcsrchr(path, L'\\');
  wcsncpy(plan.module, name ? name + 1 : path, 63);

  wchar_t text[160];
  DWORD length = GetEnvironmentVariableW(L"QUORVANE_FAULT", text, 160);
  wchar_t* module = text;
  wchar_t* call = length && length < 160 ? wcschr(text, L':') : nullptr;
  wchar_t* use = call ? wcschr(call + 1, L':') : nullptr;
  if (use) {
    *call++ = 0;
    *use++ = 0;
    for (int i = 0; i < kFailableCalls; i++)
      if (_wcsicmp(module, plan.module) == 0 && wcscmp(call, kCallNames[i]) == 0)
        plan.call = i;
    plan.from = wcstol(use, &use, 10);
    plan.onward = *use == L'+';
  }
  wchar_t logged[160] = L"";
  GetEnvironmentVariableW(L"QUORVANE_FAULT_LOGGED", logged, 160);
  if (wcsstr(logged, plan.module) &&
      GetEnvironmentVariableW(L"QUORVANE_FAULT_LOG", path, MAX_PATH)) {
    plan.log.Reset(CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  }
}

}  // namespace

bool FaultDue(FailableCall call, const void* site) {
  DWORD error = GetLastError();
  if (!plan.read)
    ReadPlan();
  long use = ++plan.uses[call];
  bool fails = call == plan.call && (use == plan.from || (plan.onward && use > plan.from));
  if (plan.log.IsValid()) {
    char line[200];
    int length =
        snprintf(line, sizeof line, "%ls %ls %ld %llx%s\n", plan.module, kCallNames[call], use,
                 (unsigned long long)((const char*)site - plan.base), fails ? " failed" : "");
    DWORD written = 0;
    WriteFile(plan.log, line, DWORD(length), &written, nullptr);
  }
  SetLastError(fails ? ERROR_NOT_ENOUGH_MEMORY : error);
  return fails;
}
