// The one header the system's code includes: all of Win32, plus the Windows CE
// and Pocket PC declarations that desktop tool chains lack (a CE tool chain's
// SDK headers supply these). The calls whose answers come from the device
// reach the device chosen at start-up.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <stdlib.h>

#include "CeTypes.h"

// Routed calls: their CE names stay in the system's code. Platform sources
// define CE_PLATFORM_IMPLEMENTATION to see the desktop originals.
#ifndef CE_PLATFORM_IMPLEMENTATION
#define CE_ROUTED_CALLS 1
#define GetTickCount CeGetTickCount
#define GetLocalTime CeGetLocalTime
#define GlobalMemoryStatus CeGlobalMemoryStatus
#define GetDiskFreeSpaceExW CeGetDiskFreeSpaceExW
#define FindClose CeFindClose
#define FindWindowW CeFindWindowW
#define SetForegroundWindow CeSetForegroundWindow
#define TransparentImage CeTransparentImage
#define LoadBitmapW CeLoadBitmapW
#define CreateCompatibleDC CeCreateCompatibleDC
#define DialogBoxIndirectParamW CeDialogBoxIndirectParamW
#define CreateProcessW CeCreateProcessW
#define WinMain CeWinMain
// The calls that can fail, each through the one place that can fail it on
// purpose (checked/FaultInjection.h).
#define GetDC CeGetDC
#define CreateCompatibleBitmap CeCreateCompatibleBitmap
#define SelectObject CeSelectObject
#define BitBlt CeBitBlt
#define GetObjectW CeGetObjectW
#define CreatePen CeCreatePen
#define Polyline CePolyline
#define DrawTextW CeDrawTextW
#define GetClientRect CeGetClientRect
#define InvalidateRect CeInvalidateRect
#define UpdateWindow CeUpdateWindow
#define BeginPaint CeBeginPaint
#define PostMessageW CePostMessageW
#define RegisterClassW CeRegisterClassW
#define CreateWindowExW CeCreateWindowExW
#define GetDlgItem CeGetDlgItem
#define RegCreateKeyExW CeRegCreateKeyExW
#define RegQueryValueExW CeRegQueryValueExW
#define RegSetValueExW CeRegSetValueExW
#define malloc CeMalloc
// The device's records where the desktop declares them differently (CeTypes.h).
#define MEMORYSTATUS CE_MEMORYSTATUS
#define WIN32_FIND_DATAW CE_FIND_DATA
#endif

// The list view's records: the device reads the fields below at these offsets.
// The desktop's records are longer (fields the device lacks, left zero).
#ifdef CE_DEVICE_WORD_SIZE
CE_AT(LVITEMW, mask, 0);
CE_AT(LVITEMW, iItem, 4);
CE_AT(LVITEMW, iSubItem, 8);
CE_AT(LVITEMW, pszText, 20);
CE_AT(LVITEMW, lParam, 32);
CE_AT(LVCOLUMNW, mask, 0);
CE_AT(LVCOLUMNW, fmt, 4);
CE_AT(LVCOLUMNW, cx, 8);
CE_AT(LVCOLUMNW, pszText, 12);
CE_AT(LVCOLUMNW, iSubItem, 20);
#endif

extern "C" {
DWORD WINAPI CeGetTickCount(void);
void WINAPI CeGetLocalTime(LPSYSTEMTIME time);
void WINAPI CeGlobalMemoryStatus(CE_MEMORYSTATUS* status);
BOOL WINAPI CeGetDiskFreeSpaceExW(LPCWSTR path, PULARGE_INTEGER freeToCaller,
                                  PULARGE_INTEGER totalBytes, PULARGE_INTEGER totalFreeBytes);
BOOL WINAPI CeFindClose(HANDLE search);

// Window search that knows the CE name of the dialog class ("Dialog").
HWND WINAPI CeFindWindowW(LPCWSTR className, LPCWSTR windowName);
// Accepts the CE form "handle OR 1" (bring owned windows along) as well.
BOOL WINAPI CeSetForegroundWindow(HWND window);

// The command line is the argument alone, "\x" is on the device, no start-up information.
BOOL WINAPI CeCreateProcessW(LPCWSTR application, LPWSTR commandLine,
                             LPSECURITY_ATTRIBUTES processAttributes,
                             LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                             DWORD flags, LPVOID environment, LPCWSTR currentDirectory,
                             LPSTARTUPINFOW startupInfo, LPPROCESS_INFORMATION processInfo);

// A program's entry point as on CE: the command line is the argument alone.
int WINAPI CeWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show);

// A modal dialog with the common controls ready, as on the device.
INT_PTR WINAPI CeDialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate,
                                         HWND owner, DLGPROC procedure, LPARAM initParam);

// LoadBitmapW as on CE: a bitmap of the resource's own format.
HBITMAP WINAPI CeLoadBitmapW(HINSTANCE instance, LPCWSTR name);

// A memory DC whose default font is the device's label font.
HDC WINAPI CeCreateCompatibleDC(HDC dc);

BOOL WINAPI CeTransparentImage(HDC dst, LONG dx, LONG dy, LONG dcx, LONG dcy, HANDLE src, LONG sx,
                               LONG sy, LONG scx, LONG scy, COLORREF transparent);

// The failable calls the desktop has as they are: result type, name,
// parameters, arguments, what a failure returns (checked/FailableCalls.cpp).
#define CE_FAILABLE_STANDINS(X)                                                                \
  X(HDC, GetDC, (HWND w), (w), nullptr)                                                        \
  X(HBITMAP, CreateCompatibleBitmap, (HDC dc, int cx, int cy), (dc, cx, cy), nullptr)          \
  X(HGDIOBJ, SelectObject, (HDC dc, HGDIOBJ object), (dc, object), nullptr)                    \
  X(BOOL, BitBlt, (HDC dst, int x, int y, int cx, int cy, HDC src, int sx, int sy, DWORD rop), \
    (dst, x, y, cx, cy, src, sx, sy, rop), FALSE)                                              \
  X(int, GetObjectW, (HANDLE object, int size, LPVOID buffer), (object, size, buffer), 0)      \
  X(HPEN, CreatePen, (int style, int width, COLORREF colour), (style, width, colour), nullptr) \
  X(BOOL, Polyline, (HDC dc, const POINT* points, int n), (dc, points, n), FALSE)              \
  X(int, DrawTextW, (HDC dc, LPCWSTR text, int n, LPRECT rc, UINT format),                     \
    (dc, text, n, rc, format), 0)                                                              \
  X(BOOL, GetClientRect, (HWND w, LPRECT rc), (w, rc), FALSE)                                  \
  X(BOOL, InvalidateRect, (HWND w, const RECT* rc, BOOL erase), (w, rc, erase), FALSE)         \
  X(BOOL, UpdateWindow, (HWND w), (w), FALSE)                                                  \
  X(HDC, BeginPaint, (HWND w, LPPAINTSTRUCT paint), (w, paint), nullptr)                       \
  X(BOOL, PostMessageW, (HWND w, UINT m, WPARAM wp, LPARAM lp), (w, m, wp, lp), FALSE)         \
  X(ATOM, RegisterClassW, (const WNDCLASSW* c), (c), 0)                                        \
  X(HWND, CreateWindowExW,                                                                     \
    (DWORD ex, LPCWSTR c, LPCWSTR t, DWORD s, int x, int y, int cx, int cy, HWND parent,       \
     HMENU menu, HINSTANCE instance, LPVOID param),                                            \
    (ex, c, t, s, x, y, cx, cy, parent, menu, instance, param), nullptr)                       \
  X(HWND, GetDlgItem, (HWND dialog, int id), (dialog, id), nullptr)                            \
  X(LONG, RegCreateKeyExW,                                                                     \
    (HKEY root, LPCWSTR sub, DWORD r, LPWSTR c, DWORD o, REGSAM a, LPSECURITY_ATTRIBUTES sa,   \
     PHKEY key, LPDWORD disposition),                                                          \
    (root, sub, r, c, o, a, sa, key, disposition), ERROR_NOT_ENOUGH_MEMORY)                    \
  X(LONG, RegQueryValueExW, (HKEY k, LPCWSTR n, LPDWORD r, LPDWORD t, LPBYTE d, LPDWORD size), \
    (k, n, r, t, d, size), ERROR_NOT_ENOUGH_MEMORY)                                            \
  X(LONG, RegSetValueExW, (HKEY k, LPCWSTR n, DWORD r, DWORD t, const BYTE* d, DWORD size),    \
    (k, n, r, t, d, size), ERROR_NOT_ENOUGH_MEMORY)
#define CE_DECLARE_STANDIN(type, name, params, args, failed) type WINAPI Ce##name params;
CE_FAILABLE_STANDINS(CE_DECLARE_STANDIN)
#undef CE_DECLARE_STANDIN
void* CeMalloc(size_t size);

// CE-only services (winbase.h, projects.h, notify.h, aygshell.h).
DWORD WINAPI GetSystemPowerStatusEx2(SYSTEM_POWER_STATUS_EX2* status, DWORD length, BOOL update);
BOOL WINAPI GetStoreInformation(STORE_INFORMATION* info);
HANDLE WINAPI FindFirstFlashCard(CE_FIND_DATA* findData);
BOOL WINAPI FindNextFlashCard(HANDLE search, CE_FIND_DATA* findData);
BOOL WINAPI CeRunAppAtEvent(WCHAR* appName, LONG event);
BOOL WINAPI SHInitDialog(SHINITDLGINFO* info);
}

// The scoped handle types, and StartProgram for a program nobody waits for.
#include "ScopedWin.h"
