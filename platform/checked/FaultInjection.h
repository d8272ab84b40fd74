// The device calls of the system's code that can fail, each reached through
// its Ce-prefixed stand-in (CeApi.h), which asks CE_FAILS first: in the checked
// build the fault injection, elsewhere false. Set from the environment:
//   QUORVANE_FAULT=<module>:<call>:<N>[+]   fails the Nth use (with +, every
//       use from the Nth on) in that module, e.g. Quorvane.dll:SelectObject:7+
//   QUORVANE_FAULT_LOG=<file> with QUORVANE_FAULT_LOGGED=<module> <module>...
//       appends "<module> <call> <use> <site offset>[ failed]" for each use.
// A failed call returns what its documentation gives on failure, with
// ERROR_NOT_ENOUGH_MEMORY as the last error; the real call is not made.
#pragma once

#define CE_FAILABLE_CALLS(X)                                                                       \
  X(GetDC), X(CreateCompatibleDC), X(CreateCompatibleBitmap), X(SelectObject), X(BitBlt),          \
      X(TransparentImage), X(LoadBitmapW), X(GetObjectW), X(CreatePen), X(Polyline), X(DrawTextW), \
      X(GetClientRect), X(InvalidateRect), X(UpdateWindow), X(BeginPaint), X(PostMessageW),        \
      X(RegisterClassW), X(CreateWindowExW), X(GetDlgItem), X(DialogBoxIndirectParamW),            \
      X(SHInitDialog), X(GetSystemPowerStatusEx2), X(GlobalMemoryStatus), X(GetStoreInformation),  \
      X(GetDiskFreeSpaceExW), X(FindFirstFlashCard), X(FindNextFlashCard), X(CeRunAppAtEvent),     \
      X(RegCreateKeyExW), X(RegQueryValueExW), X(RegSetValueExW), X(CreateProcessW), X(malloc)

#define CE_FAILABLE_ID(name) kFailable_##name
enum FailableCall { CE_FAILABLE_CALLS(CE_FAILABLE_ID), kFailableCalls };
#undef CE_FAILABLE_ID

#ifdef QUORVANE_CHECKED
// Counts this use of `call`, made from `site`; true when it is to fail.
bool FaultDue(FailableCall call, const void* site);
#define CE_FAILS(name) FaultDue(kFailable_##name, __builtin_return_address(0))
#else
#define CE_FAILS(name) false
#endif
