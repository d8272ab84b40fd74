// Resource identifiers of AboutDashboard.exe.
#pragma once

#define IDS_ABOUT_CLASS 3

#define IDI_ABOUT_ICON 101
#define IDD_ABOUT 103
#define IDB_ABOUT_LOGO 105
#define IDB_ABOUT_LOGO_ALT 108

#define IDC_NOTICE 1002
#define IDC_WEB_ADDRESS 1003
#define IDC_CARD_LIST 1007
#define IDC_LOGO_ALT 1008
#define IDC_LOGO 1009
#define IDC_PRODUCT_INFO 1010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
