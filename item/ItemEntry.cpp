// Placeholder exports until the item's window procedure lands.
#include "CeApi.h"

extern "C" __declspec(dllexport) HWND WINAPI InitializeCustomItem(TODAYLISTITEM*, HWND) {
  return nullptr;
}

extern "C" __declspec(dllexport) INT_PTR CALLBACK CustomItemOptionsDlgProc(HWND, UINT, WPARAM,
                                                                           LPARAM) {
  return FALSE;
}
