// The checked build's fault injection (see FaultInjection.h). Each module
// that links the platform (the item library, the About program, the host)
// counts its own uses, so a fault meant for one never hits another.
#include <windows.h>

#include <stdio.h>
#include <wchar.h>

#include "FaultInjection.h"
#include "ScopedWin.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;  // this module's

namespace {

#define CE_FAILABLE_NAME(name) L## #name
const wchar_t* const kCallNames[] = {CE_FAILABLE_CALLS(CE_FAILABLE_NAME)};
#undef CE_FAILABLE_NAME

struct Plan {
  bool read;
  int call;  // -1: nothing fails
  long from;
  bool onward;
  AutoCloseHandle log;  // closed when the module goes
  wchar_t module[64];
  long uses[kFailableCalls];
};
Plan plan;  // zero at load: every reload of a library starts counting afresh

void ReadPlan() {
  plan.read = true;
  plan.call = -1;
  wchar_t path[MAX_PATH] = L"", text[160] = L"", module[64], call[64], plus = 0;
  GetModuleFileNameW((HMODULE)&__ImageBase, path, MAX_PATH);
  const wchar_t* name = wcsrchr(path, L'\\');
  wcsncpy(plan.module, name ? name + 1 : path, 63);

  GetEnvironmentVariableW(L"QUORVANE_FAULT", text, 160);
  if (swscanf(text, L"%63l[^:]:%63l[^:]:%ld%lc", module, call, &plan.from, &plus) >= 3 &&
      _wcsicmp(module, plan.module) == 0) {
    for (int i = 0; i < kFailableCalls; i++)
      plan.call = wcscmp(call, kCallNames[i]) == 0 ? i : plan.call;
  }
  plan.onward = plus == L'+';
  GetEnvironmentVariableW(L"QUORVANE_FAULT_LOGGED", text, 160);
  if (wcsstr(text, plan.module) && GetEnvironmentVariableW(L"QUORVANE_FAULT_LOG", path, MAX_PATH))
    plan.log.Reset(CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
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
    int length = snprintf(line, sizeof line, "%ls %ls %ld %llx%s\n", plan.module, kCallNames[call],
                          use, (unsigned long long)((const char*)site - (const char*)&__ImageBase),
                          fails ? " failed" : "");
    DWORD written = 0;
    WriteFile(plan.log, line, DWORD(length), &written, nullptr);
  }
  SetLastError(fails ? ERROR_NOT_ENOUGH_MEMORY : error);
  return fails;
}
