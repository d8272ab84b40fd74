// Wake-up registrations (CeRunAppAtEvent). The registrations are kept in the
// device key, value WakeupPrograms (REG_MULTI_SZ, in registration order), for
// both devices, so every process shares them.
#define CE_PLATFORM_IMPLEMENTATION
#include "WakeupPrograms.h"

#include "CeApi.h"
#include "checked/FaultInjection.h"
#include "Device.h"
#include "DeviceRegistry.h"

static const wchar_t programsValue[] = L"WakeupPrograms";
const wchar_t wakeupRefusalsValue[] = L"WakeupRefusals";

wchar_t* ReadWakeupPrograms() {
  HKEY key = DeviceKey();
  DWORD type = 0, size = 0;
  wchar_t* list = nullptr;
  for (int attempt = 0; attempt < 3; attempt++) {
    if (RegQueryValueExW(key, programsValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ) {
      size = 0;
    }
    // Room for two terminators whatever the stored value lacks.
    DWORD chars = size / sizeof(wchar_t) + 2;
    list = (wchar_t*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, chars * sizeof(wchar_t));
    if (!list || size == 0)
      return list;
    DWORD got = size;
    if (RegQueryValueExW(key, programsValue, nullptr, &type, (BYTE*)list, &got) == ERROR_SUCCESS) {
      return list;
    }
    // The value grew in between: try again with its new size.
    AutoHeapFree<wchar_t> discarded(list);
    list = nullptr;
  }
  return list;
}

static bool SameProgram(const wchar_t* a, const wchar_t* b) {
  return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a, -1, b, -1) == CSTR_EQUAL;
}

// Writes `list` without `remove` (if given) and with `add` appended (if given
// and not yet there).
static bool WritePrograms(const wchar_t* list, const wchar_t* remove, const wchar_t* add) {
  DWORD chars = 2;
  for (const wchar_t* p = list; *p; p += lstrlenW(p) + 1)
    chars += lstrlenW(p) + 1;
  if (add)
    chars += lstrlenW(add) + 1;
  AutoHeapFree<wchar_t> out(
      (wchar_t*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, chars * sizeof(wchar_t)));
  if (!out)
    return false;
  wchar_t* end = out;
  for (const wchar_t* p = list; *p; p += lstrlenW(p) + 1) {
    if (remove && SameProgram(p, remove))
      continue;
    if (add && SameProgram(p, add)) {
      add = nullptr;  // already registered: keep its place
    }
    lstrcpyW(end, p);
    end += lstrlenW(p) + 1;
  }
  if (add) {
    lstrcpyW(end, add);
    end += lstrlenW(add) + 1;
  }
  *end++ = 0;
  HKEY key = DeviceKey();
  LONG result = end - out == 1
                    ? RegDeleteValueW(key, programsValue)
                    : RegSetValueExW(key, programsValue, 0, REG_MULTI_SZ, (const BYTE*)out.Get(),
                                     (DWORD)((end - out) * sizeof(wchar_t)));
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

// Fault of the simulated device: takes one pending refusal if there is one.
static bool TakeRefusal() {
  if (LiveDeviceChosen())
    return false;
  HKEY key = DeviceKey();
  ULONGLONG refusals = ReadDeviceNumberOr(key, wakeupRefusalsValue, 0);
  if (refusals == 0)
    return false;
  WriteDeviceDword(key, wakeupRefusalsValue, (DWORD)(refusals - 1));
  return true;
}

static BOOL RegisterProgram(WCHAR* appName, LONG event);

BOOL WINAPI CeRunAppAtEvent(WCHAR* appName, LONG event) {
  if (CE_FAILS(CeRunAppAtEvent))
    return FALSE;
  if (!appName || !appName[0] || lstrlenW(appName) >= MAX_PATH) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (event != NOTIFICATION_EVENT_NONE && event != NOTIFICATION_EVENT_WAKEUP) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  // The list and the refusals are read and written back whole: one process at a time.
  AutoCloseHandle turn(CreateMutexW(nullptr, FALSE, L"Local\\CeStandIn.WakeupPrograms"));
  if (turn.IsValid())
    WaitForSingleObject(turn, INFINITE);  // abandoned: ours now
  BOOL ok = RegisterProgram(appName, event);
  if (turn.IsValid())
    ReleaseMutex(turn);
  return ok;
}

static BOOL RegisterProgram(WCHAR* appName, LONG event) {
  if (event == NOTIFICATION_EVENT_WAKEUP && TakeRefusal()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  AutoHeapFree<wchar_t> list(ReadWakeupPrograms());
  if (!list) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  bool ok = event == NOTIFICATION_EVENT_NONE ? WritePrograms(list, appName, nullptr)
                                             : WritePrograms(list, nullptr, appName);
  if (!ok)
    SetLastError(ERROR_GEN_FAILURE);
  return ok;
}
