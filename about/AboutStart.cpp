// The About path: one About dialog at a time, run modally from template 103.
#include "AboutProgram.h"
#include "resource.h"

HINSTANCE appInstance;
bool creditArmed;

namespace {

// Held by the start that shows the dialog for as long as the dialog lives, so
// that of starts arriving together exactly one shows it: looking for an open
// dialog and creating one are two steps, and a start that came in between
// would open a second dialog.
const wchar_t kDialogMutex[] = L"Quorvane.AboutDialog";
// A start that finds the mutex taken looks for the other start's dialog this
// often, and gives up when neither the dialog nor the mutex came in 30 s.
const DWORD kLookEveryMs = 20;
const DWORD kGiveUpAfterMs = 30000;

// An earlier start still shows its dialog: bring it (with the windows it
// owns, hence the low bit) to the front.
bool BringOpenDialogToFront() {
  HWND existing = FindWindowW(L"Dialog", L"About Quorvane");
  if (!existing)
    return false;
  SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<ULONG_PTR>(existing) | 1));
  return true;
}

// True once this start holds the mutex (also when its last holder ended
// without releasing it); false when another start's dialog was brought to the
// front instead, or after giving up.
bool TakeDialogMutex(HANDLE mutex) {
  for (DWORD waited = 0;; waited += kLookEveryMs) {
    DWORD result = WaitForSingleObject(mutex, waited ? kLookEveryMs : 0);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED)
      return true;
    if (result != WAIT_TIMEOUT || BringOpenDialogToFront() || waited >= kGiveUpAfterMs) {
      return false;
    }
  }
}

}  // namespace

bool RunAboutDialog(HINSTANCE instance) {
  appInstance = instance;
  wchar_t className[100];
  LoadStringW(appInstance, IDS_ABOUT_CLASS, className, 100);

  if (BringOpenDialogToFront())
    return false;
  // Without a mutex (none could be made) the dialog still shows.
  AutoCloseHandle mutex(CreateMutexW(nullptr, FALSE, kDialogMutex));
  if (mutex.IsValid() && !TakeDialogMutex(mutex))
    return false;

  RegisterAboutClass(instance, className);
  creditArmed = false;

  HRSRC found = FindResourceW(appInstance, MAKEINTRESOURCEW(IDD_ABOUT), RT_DIALOG);
  HGLOBAL loaded = found ? LoadResource(appInstance, found) : nullptr;
  if (loaded) {
    // A loaded resource is the template itself; no separate lock is needed.
    DialogBoxIndirectParamW(appInstance, static_cast<LPCDLGTEMPLATEW>(loaded), nullptr,
                            AboutDialogProc, 0);
  }
  if (mutex.IsValid())
    ReleaseMutex(mutex);
  return true;
}

void RegisterAboutClass(HINSTANCE instance, const wchar_t* className) {
  WNDCLASSW wc = {};
  wc.style = CS_VREDRAW | CS_HREDRAW;
  wc.lpfnWndProc = AboutWindowProc;
  wc.cbClsExtra = 0;
  wc.cbWndExtra = 0;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_ABOUT_ICON));
  wc.hCursor = nullptr;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszMenuName = nullptr;
  wc.lpszClassName = className;
  RegisterClassW(&wc);
}

LRESULT CALLBACK AboutWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}
