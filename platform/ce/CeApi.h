// The one header the system's code includes: all of Win32, plus the Windows CE
// and Pocket PC declarations that desktop tool chains lack. On a CE tool chain
// the SDK headers (todaycmn.h, aygshell.h, projects.h, notify.h and the CE
// winbase.h) supply
// these instead.
//
// On the desktop, the calls whose answers come from the device are routed to
// the device chosen at start-up (simulated by default, or the live machine).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "CeTypes.h"

// Routed calls. Their CE names stay in the system's code; here they reach the
// device stand-in. Platform sources define CE_PLATFORM_IMPLEMENTATION to see
// the desktop originals.
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
// The device's records where the desktop declares them differently (CeTypes.h).
#define MEMORYSTATUS CE_MEMORYSTATUS
#define LPMEMORYSTATUS LPCE_MEMORYSTATUS
#define WIN32_FIND_DATAW CE_FIND_DATA
#define LPWIN32_FIND_DATAW LPCE_FIND_DATA
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
void WINAPI CeGlobalMemoryStatus(LPCE_MEMORYSTATUS status);
BOOL WINAPI CeGetDiskFreeSpaceExW(LPCWSTR path, PULARGE_INTEGER freeToCaller,
                                  PULARGE_INTEGER totalBytes, PULARGE_INTEGER totalFreeBytes);
BOOL WINAPI CeFindClose(HANDLE search);

// Window search that knows the CE name of the dialog class ("Dialog").
HWND WINAPI CeFindWindowW(LPCWSTR className, LPCWSTR windowName);
// Accepts the CE form "handle OR 1" (bring owned windows along) as well.
BOOL WINAPI CeSetForegroundWindow(HWND window);

// CE semantics: the command line is the argument alone, paths such as "\x" are on the
// device, and no start-up information is needed.
BOOL WINAPI CeCreateProcessW(LPCWSTR application, LPWSTR commandLine,
                             LPSECURITY_ATTRIBUTES processAttributes,
                             LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                             DWORD flags, LPVOID environment, LPCWSTR currentDirectory,
                             LPSTARTUPINFOW startupInfo, LPPROCESS_INFORMATION processInfo);

// A program's entry point as on CE, called by the platform's start-up: the
// command line is the argument alone, without the program's name.
int WINAPI CeWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show);

// A modal dialog with the common controls ready, as the device's shell has
// them before any program runs.
INT_PTR WINAPI CeDialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate,
                                         HWND owner, DLGPROC procedure, LPARAM initParam);

// LoadBitmapW without Wine's per-call screen DC: the same screen-depth bitmap.
HBITMAP WINAPI CeLoadBitmapW(HINSTANCE instance, LPCWSTR name);

// A memory DC whose default font is the device's label font.
HDC WINAPI CeCreateCompatibleDC(HDC dc);

BOOL WINAPI CeTransparentImage(HDC dst, LONG dx, LONG dy, LONG dcx, LONG dcy, HANDLE src,
                               LONG sx, LONG sy, LONG scx, LONG scy, COLORREF transparent);

// CE-only services (winbase.h, projects.h, notify.h, aygshell.h).
DWORD WINAPI GetSystemPowerStatusEx2(PSYSTEM_POWER_STATUS_EX2 status, DWORD length, BOOL update);
BOOL WINAPI GetStoreInformation(LPSTORE_INFORMATION info);
HANDLE WINAPI FindFirstFlashCard(LPCE_FIND_DATA findData);
BOOL WINAPI FindNextFlashCard(HANDLE search, LPCE_FIND_DATA findData);
BOOL WINAPI CeRunAppAtEvent(WCHAR* appName, LONG event);
BOOL WINAPI SHInitDialog(PSHINITDLGINFO info);
}

// The scoped handle types, and StartProgram for a program nobody waits for.
#include "ScopedWin.h"
