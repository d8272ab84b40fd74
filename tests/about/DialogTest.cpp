// The About dialog in this process, driven by its messages: template,
// commands and their results, the credit, link colour, card list, browser.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "AboutProgram.h"
#include "SimulatedDevice.h"
#include "TestSupport.h"
#include "resource.h"

namespace {

HINSTANCE Module() { return GetModuleHandleW(nullptr); }

LPCDLGTEMPLATEW Template() {
  HRSRC found = FindResourceW(Module(), MAKEINTRESOURCEW(IDD_ABOUT), RT_DIALOG);
  return found ? static_cast<LPCDLGTEMPLATEW>(LoadResource(Module(), found)) : nullptr;
}

// Runs `action` on the About dialog from within the running modal loop, as
// soon as the dialog is visible (looked for every 10 ms, for up to 20 s).
std::function<void(HWND)> pendingAction;
ULONGLONG actionDeadline;
void CALLBACK ActWhenShown(HWND, UINT, UINT_PTR id, DWORD) {
  HWND d = FindWindowW(L"Dialog", L"About Quorvane");
  bool shown = d && IsWindowVisible(d);
  if (!shown && GetTickCount64() < actionDeadline) return;
  KillTimer(nullptr, id);
  if (shown) return pendingAction(d);
  ADD_FAILURE() << "the About dialog was not visible within 20 s";
  if (d) EndDialog(d, 98);
}
void Schedule(std::function<void(HWND)> action) {
  pendingAction = action;
  actionDeadline = GetTickCount64() + 20000;
  SetTimer(nullptr, 0, 10, ActWhenShown);
}

// Runs the dialog modally with one action. A dialog the action did not end is
// ended with 99 at the next idle moment (a timer message comes only when the
// queue is empty, and the modal loop stops right after the action's EndDialog).
INT_PTR RunModal(std::function<void(HWND)> action) {
  static UINT_PTR endTimer;
  endTimer = 0;
  Schedule([action](HWND d) {
    action(d);
    endTimer = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) {
      EndDialog(FindWindowW(L"Dialog", L"About Quorvane"), 99);
    });
  });
  creditArmed = false;
  INT_PTR result = DialogBoxIndirectParamW(Module(), Template(), nullptr, AboutDialogProc, 0);
  if (endTimer) KillTimer(nullptr, endTimer);
  return result;
}

void Tap(HWND dialog, int id) {
  SendDlgItemMessageW(dialog, id, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  SendDlgItemMessageW(dialog, id, WM_LBUTTONUP, 0, 0);
}
bool Shown(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)); }
std::wstring Text(HWND dialog, int id) {
  wchar_t text[100] = L"";
  GetDlgItemTextW(dialog, id, text, 100);
  return text;
}

std::wstring Cell(HWND list, int row, int column) {
  wchar_t text[300] = L"";
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 300;
  SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return text;
}

std::vector<std::wstring> BrowserRequests() {
  wchar_t data[2000] = {};
  DWORD bytes = sizeof(data) - 4;
  std::vector<std::wstring> lines;
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\CeStandIn\\Browser", L"Requests",
                   RRF_RT_REG_MULTI_SZ, nullptr, data, &bytes) == ERROR_SUCCESS)
    for (const wchar_t* p = data; *p; p += wcslen(p) + 1) lines.push_back(p);
  return lines;
}

class AboutDialog : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    appInstance = Module();
  }
  void SetUp() override { SimRemoveAllCards(); }
  void TearDown() override {
    SimRemoveAllCards();
    for (HWND w : windows) DestroyWindow(w);
  }
  // A modeless, shown instance for reading back its controls.
  HWND Open(DLGPROC procedure = AboutDialogProc) {
    creditArmed = false;
    HWND dialog = CreateDialogIndirectParamW(Module(), Template(), nullptr, procedure, 0);
    ShowWindow(dialog, SW_SHOWNOACTIVATE);
    return windows.emplace_back(dialog);
  }
  std::vector<HWND> windows;
};

// Reads words, strings and ordinals ("#n") of a dialog template.
struct TemplateReader {
  const WORD* p;
  WORD Word() { return *p++; }
  DWORD Dword() { DWORD v = p[0] | p[1] << 16; p += 2; return v; }
  std::wstring Name() {
    if (*p == 0xFFFF) return p += 2, L"#" + std::to_wstring(p[-1]);
    std::wstring s(reinterpret_cast<const wchar_t*>(p));
    return p += s.size() + 1, s;
  }
};

TEST_F(AboutDialog, TemplateAndPicturesAsDesignedShellSizesIt) {
  TemplateReader r{reinterpret_cast<const WORD*>(Template())};
  EXPECT_EQ(r.Dword(), DWORD(WS_POPUP | WS_CAPTION | DS_SETFONT));
  EXPECT_EQ(r.Dword(), 0x80000000u);  // WS_EX_CAPTIONOKBTN
  WORD count = r.Word();
  EXPECT_EQ(count, 8);
  EXPECT_EQ(r.Dword(), 0u);  // x, y
  EXPECT_EQ(r.Dword(), 140u | 164u << 16);
  for (const wchar_t* name : {L"", L"", L"About Quorvane"}) EXPECT_EQ(r.Name(), name);  // no menu, no class
  EXPECT_EQ(r.Word(), 8);
  EXPECT_EQ(r.Name(), L"System");
  struct Control { DWORD style; short x, y, cx, cy; WORD id; const wchar_t* cls; const wchar_t* text; };
  const DWORD child = WS_CHILD | WS_VISIBLE;
  const Control expected[] = {
      {WS_CHILD | SS_BITMAP | SS_NOTIFY, 30, 17, 97, 39, 1008, L"#130", L"#108"},
      {child | SS_BITMAP | SS_NOTIFY, 30, 17, 97, 39, 1009, L"#130", L"#105"},
      {child | WS_TABSTOP | BS_PUSHBUTTON, 13, 134, 50, 14, 1, L"#128", L"OK"},
      {child | WS_GROUP | SS_NOTIFY | SS_CENTER, 4, 72, 129, 8, 1002, L"#130", L"(c) 2003 Tessel-Quarry Software"},
      {child | WS_GROUP | SS_NOTIFY | SS_CENTER, 4, 81, 129, 8, 1003, L"#130", L"www.tessel-quarry.example"},
      {child | WS_GROUP | SS_CENTER, 4, 63, 129, 8, 0xFFFF, L"#130", L"Quorvane V 1.0"},
      {child | WS_BORDER | WS_TABSTOP | LVS_REPORT, 4, 91, 129, 41, 1007, L"SysListView32", L"List2"},
      {child | WS_TABSTOP | BS_PUSHBUTTON, 75, 134, 50, 14, 1010, L"#128", L"Product info"},
  };
  for (int i = 0; i < count && i < 8; ++i) {
    SCOPED_TRACE(i);
    const Control& c = expected[i];
    r.p = reinterpret_cast<const WORD*>((reinterpret_cast<ULONG_PTR>(r.p) + 3) & ~3);
    EXPECT_EQ(r.Dword(), c.style);
    EXPECT_EQ(r.Dword(), 0u);
    for (short expected : {c.x, c.y, c.cx, c.cy}) EXPECT_EQ(short(r.Word()), expected);
    EXPECT_EQ(r.Word(), c.id);
    std::wstring cls = r.Name();
    EXPECT_EQ(CompareStringOrdinal(cls.c_str(), -1, c.cls, -1, TRUE), CSTR_EQUAL) << cls;
    EXPECT_EQ(r.Name(), c.text);
    WORD creationBytes = r.Word();
    r.p += (creationBytes + 1) / 2;
  }
  wchar_t className[100];
  EXPECT_EQ(LoadStringW(Module(), IDS_ABOUT_CLASS, className, 100), 14);
  EXPECT_STREQ(className, L"ABOUTDASHBOARD");
  for (int id : {IDB_ABOUT_LOGO, IDB_ABOUT_LOGO_ALT}) {
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageW(Module(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    DIBSECTION dib = {};
    ASSERT_EQ(GetObjectW(bitmap, sizeof(dib), &dib), int(sizeof(dib)));
    EXPECT_EQ(dib.dsBm.bmWidth, 146); EXPECT_EQ(dib.dsBm.bmHeight, 63);
    EXPECT_EQ(dib.dsBm.bmBitsPixel, 4);
    DeleteObject(bitmap);
  }
  // The shell stand-in: the device's screen below its navigation bar, and a
  // caption button for OK.
  HWND d = Open();
  RECT rect;
  GetWindowRect(d, &rect);
  EXPECT_EQ((std::vector<LONG>{rect.left, rect.top, rect.right, rect.bottom}),
            (std::vector<LONG>{0, 26, 240, 320}));
  EXPECT_TRUE(GetWindowLongPtrW(d, GWL_STYLE) & WS_SYSMENU);
}

TEST_F(AboutDialog, OkInEitherFormEndsWithOneAndCancelKeepsItOpen) {
  EXPECT_EQ(RunModal([](HWND d) {
              SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                           reinterpret_cast<LPARAM>(GetDlgItem(d, IDOK)));
            }), 1);
  EXPECT_EQ(RunModal([](HWND d) { SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDOK, 0x1234), 0); }), 1);
  // The desktop's caption close box stands in for the caption's OK button.
  EXPECT_EQ(RunModal([](HWND d) { SendMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }), 1);
  EXPECT_EQ(RunModal([](HWND d) { SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0); }), 99);
  EXPECT_EQ(RunModal([](HWND d) { SendMessageW(d, WM_KEYDOWN, VK_ESCAPE, 0); }), 99);
}

TEST_F(AboutDialog, CodedCommandsAreNotHandledOthersAre) {
  HWND d = Open();
  for (int id : {IDC_NOTICE, IDC_WEB_ADDRESS, IDC_LOGO, IDC_LOGO_ALT, IDC_PRODUCT_INFO, IDCANCEL, 77})
    EXPECT_EQ(AboutDialogProc(d, WM_COMMAND, MAKEWPARAM(id, 1), 0), FALSE) << id;
  EXPECT_FALSE(creditArmed);  // a notice command with a code does not arm
  for (int id : {IDCANCEL, 77, IDC_LOGO})
    EXPECT_EQ(AboutDialogProc(d, WM_COMMAND, MAKEWPARAM(id, 0), 0), TRUE) << id;
  EXPECT_TRUE(IsWindow(d));
}

TEST_F(AboutDialog, NoticeThenLogoRevealsTheCreditLogoThenNoticeDoesNot) {
  HWND d = Open();
  std::wstring notice = Text(d, IDC_NOTICE);
  Tap(d, IDC_LOGO);
  Tap(d, IDC_NOTICE);
  EXPECT_TRUE(Shown(d, IDC_LOGO) && !Shown(d, IDC_LOGO_ALT));
  EXPECT_EQ(Text(d, IDC_NOTICE), notice);

  HWND e = Open();
  Tap(e, IDC_NOTICE);
  Tap(e, IDC_LOGO);
  EXPECT_TRUE(!Shown(e, IDC_LOGO) && Shown(e, IDC_LOGO_ALT));
  EXPECT_EQ(Text(e, IDC_NOTICE), L"Created by Orlimar");
  Tap(e, IDC_LOGO_ALT);  // again: nothing changes
  EXPECT_TRUE(!Shown(e, IDC_LOGO) && Shown(e, IDC_LOGO_ALT));
}

TEST_F(AboutDialog, OnlyTheWebAddressIsBlue) {
  HWND d = Open();
  Tap(d, IDC_NOTICE);
  Tap(d, IDC_LOGO);  // revealed: the credit keeps the default colour too
  HDC dc = CreateCompatibleDC(nullptr);
  for (UINT message : {WM_CTLCOLORSTATIC, WM_CTLCOLOREDIT}) {
    for (HWND control = GetWindow(d, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
      SetTextColor(dc, RGB(1, 2, 3));
      SetBkMode(dc, OPAQUE);
      SetBkColor(dc, RGB(4, 5, 6));
      EXPECT_EQ(AboutDialogProc(d, message, reinterpret_cast<WPARAM>(dc),
                                reinterpret_cast<LPARAM>(control)),
                reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH)));
      bool link = GetDlgCtrlID(control) == IDC_WEB_ADDRESS;
      EXPECT_EQ(GetTextColor(dc), link ? RGB(0, 0, 255) : RGB(1, 2, 3)) << GetDlgCtrlID(control);
      EXPECT_TRUE(GetBkMode(dc) == OPAQUE && GetBkColor(dc) == RGB(4, 5, 6));
    }
  }
  DeleteDC(dc);
}

TEST_F(AboutDialog, CardRowsShowNameAndWholeMegabytesFree) {
  HWND list = GetDlgItem(Open(), IDC_CARD_LIST);  // no cards: headings only
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 0);
  const wchar_t* headings[] = {L"Storage Card", L"Free Space", L""};
  for (int i = 0; i < 3; ++i) {
    wchar_t text[50] = L"";
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = text;
    column.cchTextMax = 50;
    EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column)), i < 2);
    EXPECT_STREQ(text, headings[i]);
    EXPECT_EQ(column.cx, i < 2 ? 105 : 0);
  }

  std::wstring longName(150, L'n');
  longName[98] = L'x';
  SimAddCard(L"Storage Card", 64u << 20, 1048575);
  SimAddCard(L"Storage Card2", 128u << 20, 1048576);
  SimAddCard(L"CF Card", 8ull << 30, 5ull << 30);
  SimAddCard(longName.c_str(), 1ull << 30, 300u << 20);
  list = GetDlgItem(Open(), IDC_CARD_LIST);
  ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 4);
  EXPECT_EQ(Cell(list, 0, 0) + L"|" + Cell(list, 0, 1), L"Storage Card|0 MB");
  EXPECT_EQ(Cell(list, 1, 0) + L"|" + Cell(list, 1, 1), L"Storage Card2|1 MB");
  EXPECT_EQ(Cell(list, 2, 1), L"5120 MB");  // the full 64-bit count
  EXPECT_EQ(Cell(list, 3, 0), longName.substr(0, 99));  // cut to the row buffer
  EXPECT_EQ(Cell(list, 3, 1), L"300 MB");
}

TEST_F(AboutDialog, LinkAndProductButtonStartTheBrowser) {
  RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\CeStandIn\\Browser", L"Requests");
  HWND d = Open();
  const std::wstring page = L"\\Program Files\\Tessel-Quarry\\Quorvane\\MiniSite\\home.htm";
  Tap(d, IDC_WEB_ADDRESS);
  WaitFor([] { return BrowserRequests().size() >= 1; });
  SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_PRODUCT_INFO, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(d, IDC_PRODUCT_INFO)));
  WaitFor([] { return BrowserRequests().size() >= 2; });
  EXPECT_EQ(BrowserRequests(),
            (std::vector<std::wstring>{L"http://www.tessel-quarry.example/", page}));
  EXPECT_TRUE(IsWindowVisible(d));
  // What the installer's part provides: the page and the program's path.
  EXPECT_NE(GetFileAttributesW((L"C:" + page).c_str()), INVALID_FILE_ATTRIBUTES);
  wchar_t path[MAX_PATH] = L"";
  DWORD bytes = sizeof(path);
  ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Tessel-Quarry\\Quorvane", L"AboutLocation",
                         RRF_RT_REG_SZ, nullptr, path, &bytes), ERROR_SUCCESS);
  EXPECT_NE(GetFileAttributesW(path), INVALID_FILE_ATTRIBUTES) << path;
}

TEST_F(AboutDialog, OnlyOneDialogAndNoClassWhileOneIsOpen) {
  UnregisterClassW(L"ABOUTDASHBOARD", Module());
  HWND open = Open([](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; });
  HWND other = windows.emplace_back(CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_VISIBLE, 300, 0,
                                                    10, 10, nullptr, nullptr, Module(), nullptr));
  SetForegroundWindow(other);
  EXPECT_FALSE(RunAboutDialog(Module()));
  WNDCLASSW wc;
  EXPECT_FALSE(GetClassInfoW(Module(), L"ABOUTDASHBOARD", &wc));
  EXPECT_EQ(GetForegroundWindow(), open);
  DestroyWindow(open);

  // With none open it registers the class and runs a fresh, unarmed dialog.
  Schedule([](HWND d) {
    Tap(d, IDC_LOGO);
    EXPECT_TRUE(Shown(d, IDC_LOGO));
    EndDialog(d, 1);
  });
  creditArmed = true;
  EXPECT_TRUE(RunAboutDialog(Module()));
  ASSERT_TRUE(GetClassInfoW(Module(), L"ABOUTDASHBOARD", &wc));
  EXPECT_EQ(wc.lpfnWndProc, AboutWindowProc);
  EXPECT_NE(wc.hIcon, nullptr);
}

}  // namespace
