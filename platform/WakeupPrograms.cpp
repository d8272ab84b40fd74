// Wake-up registrations (CeRunAppAtEvent). Both devices keep them in the
// device key, REG_MULTI_SZ WakeupPrograms in registration order.
#define CE_PLATFORM_IMPLEMENTATION
#include "CeApi.h"
#include "checked/FaultInjection.h"
#include "Device.h"
#include "SimulatedState.h"

static const wchar_t programsValue[] = L"WakeupPrograms";

wchar_t* ReadWakeupPrograms() {
  ScopedRegKey key(OpenDeviceKey());
  for (int attempt = 0; attempt < 3; attempt++) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, programsValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ) {
      size = 0;
    }
    // Two terminators whatever the stored value lacks, after a last odd byte's character.
    wchar_t* list =
        (wchar_t*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size + 3 * sizeof(wchar_t));
    if (!list || size == 0 ||
        RegQueryValueExW(key, programsValue, nullptr, &type, (BYTE*)list, &size) == 0) {
      return list;
    }
    HeapFree(GetProcessHeap(), 0, list);  // the value grew in between: again, at its new size
  }
  return nullptr;
}

// Writes the registrations without `program` and, for the wake-up event,
// with it appended (a program already registered keeps its place).
static bool WritePrograms(const wchar_t* list, const wchar_t* program, LONG event) {
  DWORD chars = lstrlenW(program) + 2;
  for (const wchar_t* p = list; *p; p += lstrlenW(p) + 1)
    chars += lstrlenW(p) + 1;
  AutoHeapFree<wchar_t> out(
      (wchar_t*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, chars * sizeof(wchar_t)));
  if (!out)
    return false;
  wchar_t* end = out;
  bool registering = event == NOTIFICATION_EVENT_WAKEUP, found = false;
  for (const wchar_t* p = list; *p; p += lstrlenW(p) + 1) {
    bool same = CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, p, -1, program, -1) == CSTR_EQUAL;
    found = found || same;
    if (!same || registering)
      end += lstrlenW(lstrcpyW(end, p)) + 1;
  }
  if (registering && !found)
    end += lstrlenW(lstrcpyW(end, program)) + 1;
  ScopedRegKey key(OpenDeviceKey());
  LONG result = end == out ? RegDeleteValueW(key, programsValue)
                           : RegSetValueExW(key, programsValue, 0, REG_MULTI_SZ, (BYTE*)out.Get(),
                                            (DWORD)((end + 1 - out) * sizeof(wchar_t)));
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

// Fault of the simulated device: takes one pending refusal if there is one.
static bool TakeRefusal() {
  bool refused = false;
  if (!LiveDeviceChosen()) {
    WriteDevice([&](SimDevice& d) {
      if ((refused = d.numbers[WakeupRefusals] != 0))
        d.numbers[WakeupRefusals]--;
    });
  }
  return refused;
}

BOOL WINAPI CeRunAppAtEvent(WCHAR* appName, LONG event) {
  if (CE_FAILS(CeRunAppAtEvent))
    return FALSE;
  DWORD error = !appName || !appName[0] || lstrlenW(appName) >= MAX_PATH ? ERROR_INVALID_PARAMETER
                : event != NOTIFICATION_EVENT_NONE && event != NOTIFICATION_EVENT_WAKEUP
                    ? ERROR_NOT_SUPPORTED
                    : 0;
  if (!error) {
    // The list is read and written back whole: one process at a time.
    AutoCloseHandle turn(CreateMutexW(nullptr, FALSE, L"Local\\CeStandIn.WakeupPrograms"));
    if (turn.IsValid())
      WaitForSingleObject(turn, INFINITE);  // abandoned: ours now
    AutoHeapFree<wchar_t> list(ReadWakeupPrograms());
    error = event == NOTIFICATION_EVENT_WAKEUP && TakeRefusal() ? ERROR_ACCESS_DENIED
            : !list                                             ? ERROR_NOT_ENOUGH_MEMORY
            : !WritePrograms(list, appName, event)              ? ERROR_GEN_FAILURE
                                                                : 0;
    if (turn.IsValid())
      ReleaseMutex(turn);
  }
  if (error)
    SetLastError(error);
  return !error;
}
