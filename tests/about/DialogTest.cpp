// The About dialog in this process, driven by its messages: template,
// commands and their results, the credit, link colour, card list, browser.
#include <gtest/gtest.h>

#include <stdio.h>

#include <functional>
#include <string>
#include <vector>

#include "AboutProgram.h"
#include "SimulatedDevice.h"
#include "TestSupport.h"
#include "resource.h"

namespace {

HINSTANCE Module() {
  return GetModuleHandleW(nullptr);
}

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
  if (!shown && GetTickCount64() < actionDeadline)
    return;
  KillTimer(nullptr, id);
  if (shown)
    return pendingAction(d);
  ADD_FAILURE() << "the About dialog was not visible within 20 s";
  if (d)
    EndDialog(d, 98);
}
void Schedule(std::function<void(HWND)> action) {
  pendingAction = action;
  actionDeadline = GetTickCount64() + 20000;
  SetTimer(nullptr, 0, 10, ActWhenShown);
}

void CALLBACK EndAboutDialog(HWND, UINT, UINT_PTR, DWORD) {
  EndDialog(FindWindowW(L"Dialog", L"About Quorvane"), 99);
}

// Runs the dialog modally with one action. A dialog the action did not end is
// ended with 99 at the next idle moment (a timer message comes only when the
// queue is empty, and the modal loop stops right after the action's EndDialog).
INT_PTR RunModal(std::function<void(HWND)> action) {
  static UINT_PTR endTimer;
  endTimer = 0;
  Schedule([action](HWND d) {
    action(d);
    endTimer = SetTimer(nullptr, 0, 10, EndAboutDialog);
  });
  creditArmed = false;
  INT_PTR result = DialogBoxIndirectParamW(Module(), Template(), nullptr, AboutDialogProc, 0);
  if (endTimer)
    KillTimer(nullptr, endTimer);
  return result;
}

void Tap(HWND dialog, int id) {
  SendDlgItemMessageW(dialog, id, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  SendDlgItemMessageW(dialog, id, WM_LBUTTONUP, 0, 0);
}
bool Shown(HWND dialog, int id) {
  return IsWindowVisible(GetDlgItem(dialog, id));
}
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
    for (const wchar_t* p = data; *p; p += wcslen(p) + 1)
      lines.push_back(p);
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
    for (HWND w : windows)
      DestroyWindow(w);
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

// The shell stand-in places the dialog on the device's screen below its
// navigation bar and gives it a caption button for OK. (What it shows is
// compared with pictures in tests/host.)
TEST_F(AboutDialog, PlacedBelowTheNavigationBar) {
  HWND d = Open();
  RECT rect;
  GetWindowRect(d, &rect);
  EXPECT_EQ((std::vector<LONG>{0, 26, 240, 320}),
            (std::vector<LONG>{rect.left, rect.top, rect.right, rect.bottom}));
  EXPECT_EQ(WS_SYSMENU, GetWindowLongPtrW(d, GWL_STYLE) & WS_SYSMENU);
}

TEST_F(AboutDialog, OkInEitherFormEndsWithOneAndCancelKeepsItOpen) {
  // Any notification code (a click: the soak below, the host's pictures).
  EXPECT_EQ(1, RunModal([](HWND d) { SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDOK, 0x1234), 0); }));
  // The desktop's caption close box stands in for the caption's OK button.
  EXPECT_EQ(1, RunModal([](HWND d) { SendMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }));
  EXPECT_EQ(99, RunModal([](HWND d) { SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0); }));
  EXPECT_EQ(99, RunModal([](HWND d) { SendMessageW(d, WM_KEYDOWN, VK_ESCAPE, 0); }));
}

TEST_F(AboutDialog, CodedCommandsAreNotHandledOthersAre) {
  HWND d = Open();
  for (int id :
       {IDC_NOTICE, IDC_WEB_ADDRESS, IDC_LOGO, IDC_LOGO_ALT, IDC_PRODUCT_INFO, IDCANCEL, 77})
    EXPECT_EQ(FALSE, AboutDialogProc(d, WM_COMMAND, MAKEWPARAM(id, 1), 0)) << id;
  EXPECT_FALSE(creditArmed);  // a notice command with a code does not arm
  for (int id : {IDCANCEL, 77, IDC_LOGO})
    EXPECT_EQ(TRUE, AboutDialogProc(d, WM_COMMAND, MAKEWPARAM(id, 0), 0)) << id;
  EXPECT_TRUE(IsWindow(d));
}

// Which logo shows: the plain one, or the credit.
std::pair<bool, bool> Logos(HWND d) {
  return {Shown(d, IDC_LOGO), Shown(d, IDC_LOGO_ALT)};
}
const std::pair<bool, bool> kPlain = {true, false}, kCredit = {false, true};

TEST_F(AboutDialog, NoticeThenLogoRevealsTheCreditLogoThenNoticeDoesNot) {
  HWND d = Open();
  std::wstring notice = Text(d, IDC_NOTICE);
  Tap(d, IDC_LOGO);
  Tap(d, IDC_NOTICE);
  EXPECT_EQ(kPlain, Logos(d));
  EXPECT_EQ(notice, Text(d, IDC_NOTICE));

  HWND e = Open();
  Tap(e, IDC_NOTICE);
  Tap(e, IDC_NOTICE);  // twice: still armed
  Tap(e, IDC_LOGO);
  EXPECT_EQ(kCredit, Logos(e));
  EXPECT_EQ(L"Created by Orlimar", Text(e, IDC_NOTICE));
  Tap(e, IDC_LOGO_ALT);  // again: nothing changes
  EXPECT_EQ(kCredit, Logos(e));
}

TEST_F(AboutDialog, OnlyTheWebAddressIsBlue) {
  HWND d = Open();
  Tap(d, IDC_NOTICE);
  Tap(d, IDC_LOGO);  // revealed: the credit keeps the default colour too
  AutoDeleteDC dc(CreateCompatibleDC(nullptr));
  for (UINT message : {WM_CTLCOLORSTATIC, WM_CTLCOLOREDIT}) {
    for (HWND control = GetWindow(d, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
      SetTextColor(dc, RGB(1, 2, 3));
      SetBkMode(dc, OPAQUE);
      SetBkColor(dc, RGB(4, 5, 6));
      EXPECT_EQ(AboutDialogProc(d, message, reinterpret_cast<WPARAM>(dc.Get()),
                                reinterpret_cast<LPARAM>(control)),
                reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH)));
      bool link = GetDlgCtrlID(control) == IDC_WEB_ADDRESS;
      EXPECT_EQ(link ? RGB(0, 0, 255) : RGB(1, 2, 3), GetTextColor(dc)) << GetDlgCtrlID(control);
      EXPECT_EQ(OPAQUE, GetBkMode(dc));
      EXPECT_EQ(RGB(4, 5, 6), GetBkColor(dc));
    }
  }
}

// (The headings, and the list without cards, are in the host's pictures.)
TEST_F(AboutDialog, CardRowsShowNameAndWholeMegabytesFree) {
  std::wstring longName(150, L'n');
  longName[98] = L'x';
  SimAddCard(L"Storage Card", 64u << 20, 1048575);
  SimAddCard(L"Storage Card2", 128u << 20, 1048576);
  SimAddCard(L"CF Card", 8ull << 30, 5ull << 30);
  SimAddCard(longName.c_str(), 1ull << 30, 300u << 20);
  HWND list = GetDlgItem(Open(), IDC_CARD_LIST);
  ASSERT_EQ(4, SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  EXPECT_EQ(L"Storage Card|0 MB", Cell(list, 0, 0) + L"|" + Cell(list, 0, 1));
  EXPECT_EQ(L"Storage Card2|1 MB", Cell(list, 1, 0) + L"|" + Cell(list, 1, 1));
  EXPECT_EQ(L"5120 MB", Cell(list, 2, 1));              // the full 64-bit count
  EXPECT_EQ(longName.substr(0, 99), Cell(list, 3, 0));  // cut to the row buffer
  EXPECT_EQ(L"300 MB", Cell(list, 3, 1));
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
  EXPECT_TRUE(IsWindowVisible(d));  // the page and AboutLocation on the device: install_tests
}

INT_PTR CALLBACK IgnoreEverything(HWND, UINT, WPARAM, LPARAM) {
  return FALSE;
}

HWND firstDialog;
void CALLBACK EndAllButFirstDialog(HWND, UINT, UINT_PTR, DWORD) {
  for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32770", L"About Quorvane"));)
    if (w != firstDialog)
      EndDialog(w, 0);
}

TEST_F(AboutDialog, OnlyOneDialogAndNoClassWhileOneIsOpen) {
  UnregisterClassW(L"ABOUTDASHBOARD", Module());
  HWND open = Open(IgnoreEverything);
  HWND other =
      windows.emplace_back(CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_VISIBLE, 300, 0, 10, 10,
                                           nullptr, nullptr, Module(), nullptr));
  SetForegroundWindow(other);
  // Were a second dialog to run, it is ended: the test fails instead of hanging.
  firstDialog = open;
  UINT_PTR guard = SetTimer(nullptr, 0, 100, EndAllButFirstDialog);
  EXPECT_FALSE(RunAboutDialog(Module()));
  KillTimer(nullptr, guard);
  WNDCLASSW wc;
  EXPECT_FALSE(GetClassInfoW(Module(), L"ABOUTDASHBOARD", &wc));
  EXPECT_EQ(open, GetForegroundWindow());
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
  EXPECT_TRUE(wc.lpfnWndProc == AboutWindowProc && wc.style == 3 && !wc.cbClsExtra &&
              !wc.cbWndExtra);
  EXPECT_TRUE(wc.hIcon && !wc.hCursor && !wc.lpszMenuName);
  EXPECT_EQ(GetStockObject(WHITE_BRUSH), wc.hbrBackground);
}

// The wake-up search in pre-order, over P > [A > [U, D1], D2] (D: "DashBoard"),
// where a window whose class name cannot be read ends its branch: neither its
// children nor its later siblings are searched.
HWND unreadable;
decltype(&GetClassNameW) readClassName;
int WINAPI ClassNameUnlessUnreadable(HWND w, LPWSTR name, int size) {
  return w == unreadable ? 0 : readClassName(w, name, size);
}

TEST(WakeupSearch, AWindowWithoutAClassNameEndsItsBranch) {
  WNDCLASSW item = {};
  item.lpfnWndProc = DefWindowProcW, item.hInstance = Module(), item.lpszClassName = L"DashBoard";
  RegisterClassW(&item);
  HWND top =
      CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, Module(), 0);
  auto child = [&](const wchar_t* cls, HWND parent) {  // children keep their creation order
    return CreateWindowExW(0, cls, L"", WS_CHILD, 0, 0, 1, 1, parent, nullptr, Module(), 0);
  };
  HWND p = child(L"Static", top), a = child(L"Static", p), u = child(L"Static", a);
  HWND d1 = child(L"DashBoard", a), d2 = child(L"DashBoard", p);
  // FindItemWindow's own import of GetClassNameW, pointed at the stand-in.
  auto base = reinterpret_cast<BYTE*>(Module());
  auto nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY iat = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IAT];
  readClassName = &GetClassNameW;  // the address the import holds
  void **slot = reinterpret_cast<void**>(base + iat.VirtualAddress),
       **end = slot + iat.Size / sizeof *slot;
  while (slot < end && *slot != reinterpret_cast<void*>(readClassName))
    ++slot;
  ASSERT_LT(slot, end) << "no import of GetClassNameW";
  DWORD access;
  VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &access);
  *slot = reinterpret_cast<void*>(ClassNameUnlessUnreadable);
  for (auto [none, found] : {std::pair{HWND(), d1}, {a, HWND()}, {u, d2}}) {
    unreadable = none;
    EXPECT_EQ(found, FindItemWindow(p));
  }
  *slot = reinterpret_cast<void*>(readClassName);
  DestroyWindow(top);
  UnregisterClassW(L"DashBoard", Module());
}

// Soak: dialogs run one after another through the program's own modal path
// leave their pictures and the GDI headroom as they were. The headroom is
// counted to the object, so 30 runs show one object leaked per dialog;
// scripts/soak.sh runs 1,000.
std::vector<DWORD>* copyInto;
bool RunAndClose(std::vector<DWORD>* pixels) {
  copyInto = pixels;
  Schedule([](HWND d) {
    RedrawWindow(d, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    if (copyInto)
      *copyInto = CopyClientArea(d);
    SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  });
  return RunAboutDialog(Module());
}

TEST_F(AboutDialog, SoakOpenedAndClosedLeavesPicturesAndGdiHeadroomAsTheyWere) {
  long openings = CountFromEnvironment("QUORVANE_SOAK_DIALOGS", 30);
  SimAddCard(L"Storage Card", 64ull << 20, 16ull << 20);
  SimAddCard(L"Second Card", 1ull << 30, 700ull << 20);
  std::vector<DWORD> first, last;
  ASSERT_TRUE(RunAndClose(nullptr));  // lazily made objects exist from here on
  ASSERT_TRUE(RunAndClose(&first));
  ASSERT_FALSE(first.empty());
  int headroom = GdiHeadroom();
  ULONGLONG start = GetTickCount64();
  long ran = 0;
  for (long i = 0; i < openings; i++)
    ran += RunAndClose(i == openings - 1 ? &last : nullptr);
  printf("soak: %ld About dialogs opened and closed in %.1f s\n", openings,
         double(GetTickCount64() - start) / 1000.0);
  PumpMessages();
  EXPECT_EQ(openings, ran);
  EXPECT_TRUE(first == last) << "the last dialog looks different from the first";
  EXPECT_EQ(headroom, GdiHeadroom()) << "GDI objects left behind (or freed twice)";
}

}  // namespace
