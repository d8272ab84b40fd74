// Windows CE / Pocket PC types, records, messages and constants, with their
// platform names and values. Resource scripts include it for the styles.
#pragma once

#include <stddef.h>
#include <windows.h>

// An OK button in the caption that sends WM_COMMAND IDOK (CE only).
#define WS_EX_CAPTIONOKBTN 0x80000000L

#ifndef RC_INVOKED

// Every record exchanged with the shell or the system is checked against the
// device's 32-bit ARM layout: checks under CE_DEVICE_WORD_SIZE hold at 32
// bits, the others at every word size. With natural alignment, the size
// checks the offsets too.
#define CE_SIZE(type, bytes) static_assert(sizeof(type) == (bytes), "device size of " #type)
#define CE_AT(type, field, offset) \
  static_assert(offsetof(type, field) == (offset), "device offset of " #type "." #field)
#ifndef _WIN64
#define CE_DEVICE_WORD_SIZE 1
#endif

// --- Today item protocol (todaycmn.h) ---------------------------------------
enum TODAYLISTITEMTYPE { tlitCustom = 4 };  // the built-in items' kinds go unused here

struct TODAYLISTITEM {
  WCHAR szName[32];
  TODAYLISTITEMTYPE tlit;
  DWORD dwOrder;
  DWORD cyp;
  BOOL fEnabled;
  BOOL fOptions;
  DWORD grfFlags;
  WCHAR szDLLPath[MAX_PATH];
  HINSTANCE hinstDLL;
  HWND hwndCustom;
  BOOL fSizeOnDraw;
  BYTE* prgbCachedData;
  DWORD cbCachedData;
};
CE_AT(TODAYLISTITEM, tlit, 64);
CE_AT(TODAYLISTITEM, szDLLPath, 88);
#ifdef CE_DEVICE_WORD_SIZE
CE_SIZE(TODAYLISTITEM, 628);
#endif

struct TODAYDRAWWATERMARKINFO {
  HDC hdc;
  RECT rc;
  HWND hwnd;
};
#ifdef CE_DEVICE_WORD_SIZE
CE_SIZE(TODAYDRAWWATERMARKINFO, 24);
#endif

#define TODAYM_GETCOLOR (WM_USER + 100)
#define TODAYM_DRAWWATERMARK (WM_USER + 101)
#define WM_TODAYCUSTOM_CLEARCACHE (WM_USER + 242)
#define WM_TODAYCUSTOM_QUERYREFRESHCACHE (WM_USER + 243)

#define TODAYCOLOR_TEXT 0x10000004
#define TODAYCOLOR_HIGHLIGHT 0x10000022
#define TODAYCOLOR_HIGHLIGHTEDTEXT 0x10000023

typedef HWND(WINAPI* PFNCUSTOMINITIALIZEITEM)(TODAYLISTITEM*, HWND);
typedef INT_PTR(CALLBACK* PFNCUSTOMOPTIONSDLGPROC)(HWND, UINT, WPARAM, LPARAM);

// The Today screen's window class, which items are created under.
#define TODAY_WINDOW_CLASS L"DesktopExplorerWindow"

#define ORDINAL_INITIALIZEITEM 240
#define ORDINAL_OPTIONSDIALOGPROC 241

// --- Power (winbase.h) -------------------------------------------------------------
struct SYSTEM_POWER_STATUS_EX2 {
  BYTE ACLineStatus;
  BYTE BatteryFlag;
  BYTE BatteryLifePercent;
  BYTE Reserved1;
  DWORD BatteryLifeTime;
  DWORD BatteryFullLifeTime;
  BYTE Reserved2;
  BYTE BackupBatteryFlag;
  BYTE BackupBatteryLifePercent;
  BYTE Reserved3;
  DWORD BackupBatteryLifeTime;
  DWORD BackupBatteryFullLifeTime;
  DWORD BatteryVoltage;
  DWORD BatteryCurrent;
  DWORD BatteryAverageCurrent;
  DWORD BatteryAverageInterval;
  DWORD BatterymAHourConsumed;
  DWORD BatteryTemperature;
  DWORD BackupBatteryVoltage;
  BYTE BatteryChemistry;
};
CE_AT(SYSTEM_POWER_STATUS_EX2, BatteryLifeTime, 4);
CE_AT(SYSTEM_POWER_STATUS_EX2, BackupBatteryLifeTime, 16);
CE_AT(SYSTEM_POWER_STATUS_EX2, BatteryChemistry, 52);
CE_SIZE(SYSTEM_POWER_STATUS_EX2, 56);

// AC_LINE_*, BATTERY_FLAG_* and the unknown percentage and life: winbase.h.

// --- Object store ---------------------------------------------------------------
struct STORE_INFORMATION {
  DWORD dwStoreSize;
  DWORD dwFreeSize;
};
CE_SIZE(STORE_INFORMATION, 8);

// The device's MEMORYSTATUS: DWORD figures at every word size (the desktop's
// are SIZE_T). System code names it MEMORYSTATUS (CeApi.h).
struct CE_MEMORYSTATUS {
  DWORD dwLength;
  DWORD dwMemoryLoad;
  DWORD dwTotalPhys;
  DWORD dwAvailPhys;
  DWORD dwTotalPageFile;
  DWORD dwAvailPageFile;
  DWORD dwTotalVirtual;
  DWORD dwAvailVirtual;
};
CE_SIZE(CE_MEMORYSTATUS, 32);

// --- Files --------------------------------------------------------------------
// The device's WIN32_FIND_DATAW, which the storage-card search fills: an object
// id where the desktop has reserved words, and no short name (560 bytes; the
// desktop's has 592). System code names it WIN32_FIND_DATAW (CeApi.h).
struct CE_FIND_DATA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwOID;
  WCHAR cFileName[MAX_PATH];
};
CE_SIZE(CE_FIND_DATA, 560);

// --- Notifications (notify.h) ---------------------------------------------------
#define NOTIFICATION_EVENT_NONE 0
#define NOTIFICATION_EVENT_WAKEUP 11
// The command line of a program started for NOTIFICATION_EVENT_WAKEUP.
#define APP_RUN_AFTER_WAKEUP L"AppRunAfterWakeup"

// --- Shell dialogs (aygshell.h) -----------------------------------------------
struct SHINITDLGINFO {
  DWORD dwMask;
  HWND hDlg;
  DWORD dwFlags;
};
#ifdef CE_DEVICE_WORD_SIZE
CE_SIZE(SHINITDLGINFO, 12);
#endif

#define SHIDIM_FLAGS 0x0001
#define SHIDIF_DONEBUTTON 0x0001
#define SHIDIF_SIZEDLG 0x0002
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004
#define SHIDIF_SIPDOWN 0x0008

// --- Win32 records the system hands to the device as the desktop declares them --
// The device reads the record whole, not only the fields the system fills.
CE_SIZE(POINT, 8);           // Polyline
CE_SIZE(RECT, 16);           // GetClientRect, InvalidateRect, DrawTextW
CE_SIZE(SYSTEMTIME, 16);     // GetLocalTime
CE_SIZE(ULARGE_INTEGER, 8);  // GetDiskFreeSpaceExW
CE_SIZE(FILETIME, 8);        // inside CE_FIND_DATA
#ifdef CE_DEVICE_WORD_SIZE
CE_SIZE(WNDCLASSW, 40);            // RegisterClassW
CE_SIZE(PAINTSTRUCT, 64);          // BeginPaint, EndPaint
CE_SIZE(BITMAP, 24);               // GetObjectW
CE_SIZE(PROCESS_INFORMATION, 16);  // CreateProcessW
#endif

#endif  // RC_INVOKED
