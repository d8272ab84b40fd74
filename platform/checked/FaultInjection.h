// The device calls of the system's code that can fail, each reached through
// its Ce-prefixed stand-in (CeApi.h routes the name). Every stand-in asks
// CE_FAILS first: in the checked build that is the fault injection, which
// can fail one chosen call at its Nth use, or at every use from the Nth on,
// in one chosen module; elsewhere it is false and costs nothing.
//
// The choice comes from the environment, read at the module's first call:
//   QUORVANE_FAULT=<module>:<call>:<N>[+]   e.g. Quorvane.dll:SelectObject:7+
//   QUORVANE_FAULT_LOG=<file>   one line per use appended, by the modules
//   QUORVANE_FAULT_LOGGED=<module> <module>...   named here:
//                               <module> <call> <use> <site offset>[ failed]
// A failed call returns what its documentation gives on failure and leaves
// ERROR_NOT_ENOUGH_MEMORY as the last error; the real call is not made.
#pragma once

#define CE_FAILABLE_CALLS(X)                                                                    \
  X(GetDC)                                                                                      \
  X(CreateCompatibleDC) X(CreateCompatibleBitmap) X(SelectObject) X(BitBlt) X(TransparentImage) \
      X(LoadBitmapW) X(GetObjectW) X(CreatePen) X(Polyline) X(DrawTextW) X(GetClientRect)       \
          X(InvalidateRect) X(UpdateWindow) X(BeginPaint) X(PostMessageW) X(RegisterClassW)     \
              X(CreateWindowExW) X(GetDlgItem) X(DialogBoxIndirectParamW) X(SHInitDialog)       \
                  X(GetSystemPowerStatusEx2) X(GlobalMemoryStatus) X(GetStoreInformation)       \
                      X(GetDiskFreeSpaceExW) X(FindFirstFlashCard) X(FindNextFlashCard)         \
                          X(CeRunAppAtEvent) X(RegCreateKeyExW) X(RegQueryValueExW)             \
                              X(RegSetValueExW) X(CreateProcessW) X(malloc)

enum FailableCall {
#define CE_FAILABLE_ID(name) kFailable_##name,
  CE_FAILABLE_CALLS(CE_FAILABLE_ID)
#undef CE_FAILABLE_ID
      kFailableCalls
};

#ifdef QUORVANE_CHECKED
// Counts this use of `call`, made from `site`; true when it is to fail.
bool FaultDue(FailableCall call, const void* site);
#define CE_FAILS(name) FaultDue(kFailable_##name, __builtin_return_address(0))
#else
#define CE_FAILS(name) false
#endif
