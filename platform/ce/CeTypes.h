// Windows CE / Pocket PC types, records, messages and constants, with their
// platform names and values. Resource scripts include it for the styles.
#pragma once

#include <windows.h>

// An OK button in the caption that sends WM_COMMAND IDOK (CE only).
#define WS_EX_CAPTIONOKBTN 0x80000000L

#ifndef RC_INVOKED

// --- Today item protocol (todaycmn.h) ---------------------------------------
enum TODAYLISTITEMTYPE {
  tlitOwnerInfo = 0,
  tlitAppointments,
  tlitMail,
  tlitTasks,
  tlitCustom,
  tlitNil
};

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
typedef TODAYLISTITEM* PTODAYLISTITEM;

struct TODAYDRAWWATERMARKINFO {
  HDC hdc;
  RECT rc;
  HWND hwnd;
};

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

static_assert(WM_TODAYCUSTOM_CLEARCACHE == 1266, "Today protocol value");
static_assert(WM_TODAYCUSTOM_QUERYREFRESHCACHE == 1267, "Today protocol value");
static_assert(TODAYM_GETCOLOR == 1124 && TODAYM_DRAWWATERMARK == 1125, "Today protocol value");

// --- Power (pm.h) -------------------------------------------------------------
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
typedef SYSTEM_POWER_STATUS_EX2* PSYSTEM_POWER_STATUS_EX2;
static_assert(sizeof(SYSTEM_POWER_STATUS_EX2) == 56, "CE layout of the power record");

#ifndef AC_LINE_OFFLINE
#define AC_LINE_OFFLINE 0x00
#define AC_LINE_ONLINE 0x01
#define AC_LINE_BACKUP_POWER 0x02
#define AC_LINE_UNKNOWN 0xFF
#endif
#ifndef BATTERY_FLAG_HIGH
#define BATTERY_FLAG_HIGH 0x01
#define BATTERY_FLAG_LOW 0x02
#define BATTERY_FLAG_CRITICAL 0x04
#define BATTERY_FLAG_CHARGING 0x08
#define BATTERY_FLAG_NO_BATTERY 0x80
#define BATTERY_FLAG_UNKNOWN 0xFF
#endif
#ifndef BATTERY_PERCENTAGE_UNKNOWN
#define BATTERY_PERCENTAGE_UNKNOWN 0xFF
#endif
#ifndef BATTERY_LIFE_UNKNOWN
#define BATTERY_LIFE_UNKNOWN 0xFFFFFFFF
#endif

// --- Object store ---------------------------------------------------------------
struct STORE_INFORMATION {
  DWORD dwStoreSize;
  DWORD dwFreeSize;
};
typedef STORE_INFORMATION* LPSTORE_INFORMATION;

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
typedef SHINITDLGINFO* PSHINITDLGINFO;

#define SHIDIM_FLAGS 0x0001
#define SHIDIF_DONEBUTTON 0x0001
#define SHIDIF_SIZEDLG 0x0002
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004
#define SHIDIF_SIPDOWN 0x0008
#define SHIDIF_FULLSCREENNOMENUBAR 0x0010
#define SHIDIF_EMPTYMENU 0x0020

#endif  // RC_INVOKED
