// Resource identifiers of Quorvane.dll.
#pragma once

// Options dialog shown by the Today settings.
#define IDD_TODAY_OPTIONS 500
#define IDC_OPTIONS_TITLE 444
#define IDC_OPTIONS_TEXT 445

// Gauge dial and caption bitmaps, and the logo.
#define IDB_DIAL 109
#define IDB_BATTERY_ICON 110
#define IDB_MEMORY_ICON 111
#define IDB_STORAGE_ICON 112
#define IDB_FRAME_LOGO 113
