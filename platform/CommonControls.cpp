// The device's shell has the common controls registered before any program
// runs. Here they are set up before the first dialog, and comctl32 is loaded
// only then: loading it registers all its window classes, which would slow
// down a program that opens no window (the About program on its wake-up path).
#define CE_PLATFORM_IMPLEMENTATION
#include "CeApi.h"
#include "Device.h"
#include "checked/FaultInjection.h"

static INIT_ONCE setUp = INIT_ONCE_STATIC_INIT;

static BOOL CALLBACK SetUp(PINIT_ONCE, void*, void**) {
  HMODULE comctl = LoadLibraryW(L"comctl32.dll");
  typedef BOOL(WINAPI * InitProc)(const INITCOMMONCONTROLSEX*);
  InitProc init = comctl ? reinterpret_cast<InitProc>(reinterpret_cast<void*>(
                               GetProcAddress(comctl, "InitCommonControlsEx")))
                         : nullptr;
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  return init && init(&controls);  // failed: the next dialog tries again
}

bool EnsureCommonControls() {
  return InitOnceExecuteOnce(&setUp, SetUp, nullptr, nullptr);
}

extern "C" INT_PTR WINAPI CeDialogBoxIndirectParamW(HINSTANCE instance,
                                                    LPCDLGTEMPLATEW dialogTemplate, HWND owner,
                                                    DLGPROC procedure, LPARAM initParam) {
  if (CE_FAILS(DialogBoxIndirectParamW))
    return -1;
  EnsureCommonControls();
  return DialogBoxIndirectParamW(instance, dialogTemplate, owner, procedure, initParam);
}
