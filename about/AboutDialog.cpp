// The About dialog: logo, version, notice, web link, storage cards with their
// free space, the product page button and the hidden credit.
#include "AboutProgram.h"
#include "DeviceStatus.h"
#include "resource.h"

#include <stdio.h>
#include <wchar.h>

namespace {

const wchar_t kBrowser[] = L"\\windows\\iexplore.exe";
const wchar_t kVendorAddress[] = L"http://www.tessel-quarry.example/";
const wchar_t kProductPage[] = L"\\Program Files\\Tessel-Quarry\\Quorvane\\MiniSite\\home.htm";
const wchar_t kCredit[] = L"Created by Orlimar";

// Characters in a list row's text, terminating zero included.
const int kRowChars = 100;

// Starts the browser with one argument; whatever becomes of it is the
// browser's business, so the result is not examined.
void OpenInBrowser(const wchar_t* argument) {
  wchar_t commandLine[MAX_PATH];                 // CreateProcessW may write to it
  wcsncpy(commandLine, argument, MAX_PATH - 1);  // the device's coredll has no lstrcpynW
  commandLine[MAX_PATH - 1] = L'\0';
  StartProgram(kBrowser, commandLine);
}

void InsertColumn(HWND list, int index, const wchar_t* heading) {
  LVCOLUMNW column = {};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  column.fmt = LVCFMT_LEFT;
  column.cx = 105;
  column.pszText = const_cast<wchar_t*>(heading);
  column.iSubItem = index;
  SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

void SetRowText(HWND list, UINT message, int row, int subItem, wchar_t* text) {
  LVITEMW item = {};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.iSubItem = subItem;
  item.pszText = text;
  SendMessageW(list, message, 0, reinterpret_cast<LPARAM>(&item));
}

// Formats into a row buffer; a text that does not fit is cut at the buffer's
// end (the list view shows the rest as an ellipsis anyway).
template <typename... Args>
void FormatRow(wchar_t (&row)[kRowChars], const wchar_t* format, Args... args) {
  _snwprintf(row, kRowChars, format, args...);
  row[kRowChars - 1] = L'\0';
}

BOOL OnCommand(HWND dialog, WORD id, WORD code) {
  if (id == IDOK) {  // the OK button or the caption's OK, whatever the code
    EndDialog(dialog, 1);
    return TRUE;
  }
  if (code != 0) {
    return FALSE;
  }
  switch (id) {
    case IDC_NOTICE:
      creditArmed = true;
      break;
    case IDC_WEB_ADDRESS:
      OpenVendorSite();
      break;
    case IDC_LOGO_ALT:
    case IDC_LOGO:
      if (creditArmed) {
        RevealCredit(dialog);
      }
      break;
    case IDC_PRODUCT_INFO:
      OpenProductInfo();
      break;
    default:
      break;
  }
  return TRUE;
}

// The two logo controls load their pictures from the template themselves,
// and a static control never frees the picture it shows: released here, or
// every dialog would leave two bitmaps behind in the process.
void ReleaseLogoPictures(HWND dialog) {
  const int logos[] = {IDC_LOGO, IDC_LOGO_ALT};
  for (int id : logos) {
    HWND logo = GetDlgItem(dialog, id);
    ScopedGdiObj<HGDIOBJ> picture(
        logo ? reinterpret_cast<HGDIOBJ>(SendMessageW(logo, STM_SETIMAGE, IMAGE_BITMAP, 0))
             : nullptr);
  }
}

}  // namespace

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      FillCardList(dialog);
      SHINITDLGINFO info = {};
      info.dwMask = SHIDIM_FLAGS;
      info.hDlg = dialog;
      info.dwFlags = SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN;
      SHInitDialog(&info);
      return TRUE;
    }
    case WM_COMMAND:
      return OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
      ColorLinkText(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), dialog);
      return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
    case WM_DESTROY:
      ReleaseLogoPictures(dialog);
      return FALSE;
    default:
      return FALSE;
  }
}

void FillCardList(HWND dialog) {
  DeviceStatus status;
  HWND list = GetDlgItem(dialog, IDC_CARD_LIST);
  if (!list) {
    return;
  }
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  InsertColumn(list, 0, L"Storage Card");
  InsertColumn(list, 1, L"Free Space");
  if (!status.FindFirstCard()) {
    return;
  }
  wchar_t row[kRowChars];
  int index = 0;
  do {
    FormatRow(row, L"%s", status.CardName());
    SetRowText(list, LVM_INSERTITEMW, index, 0, row);
    // Whole mebibytes of the full 64-bit count: a 5 GiB card shows 5120 MB;
    // a card that cannot be read shows no figure rather than 0 MB.
    ULONGLONG total = 0, free = 0;
    if (status.CardSpace(&total, &free))
      FormatRow(row, L"%I64u MB", free >> 20);
    else
      FormatRow(row, L"N/A");
    SetRowText(list, LVM_SETITEMW, index, 1, row);
    ++index;
  } while (status.FindNextCard());  // false: the walk has closed itself
}

void ColorLinkText(HDC dc, HWND control, HWND dialog) {
  if (control && control == GetDlgItem(dialog, IDC_WEB_ADDRESS)) {
    SetTextColor(dc, 0x00FF0000);  // pure blue in 0x00BBGGRR
  }
}

void OpenVendorSite() {
  OpenInBrowser(kVendorAddress);
}

void OpenProductInfo() {
  OpenInBrowser(kProductPage);
}

void RevealCredit(HWND dialog) {
  HWND notice = GetDlgItem(dialog, IDC_NOTICE);
  HWND logo = GetDlgItem(dialog, IDC_LOGO);
  HWND logoAlt = GetDlgItem(dialog, IDC_LOGO_ALT);
  if (logo && logoAlt) {
    ShowWindow(logo, SW_HIDE);
    ShowWindow(logoAlt, SW_SHOW);
  }
  if (notice) {
    SetWindowTextW(notice, kCredit);
  }
}
