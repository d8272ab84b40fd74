// The About dialog in this process: layout, commands, card list and soak.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "AboutProgram.h"
#include "SimulatedDevice.h"
#include "TestSupport.h"
#include "resource.h"

namespace {

const HINSTANCE kModule = GetModuleHandleW(nullptr);
LPCDLGTEMPLATEW Template() {
  HRSRC found = FindResourceW(kModule, MAKEINTRESOURCEW(IDD_ABOUT), RT_DIALOG);
  return static_cast<LPCDLGTEMPLATEW>(LoadResource(kModule, found));
}

// Calls the action from within the dialog's modal loop once it is visible
// (for up to 20 s), then ends it with 99 if the action did not.
std::function<void(HWND)> pendingAction;
ULONGLONG actionDeadline;
void CALLBACK ActWhenShown(HWND, UINT, UINT_PTR id, DWORD) {
  HWND d = FindWindowW(L"Dialog", L"About Quorvane");
  bool shown = d && IsWindowVisible(d);
  if (!shown && GetTickCount64() < actionDeadline)
    return;
  KillTimer(nullptr, id);
  if (shown)
    pendingAction(d);
  else
    ADD_FAILURE() << "the About dialog was not visible within 20 s";
  if (d && (!shown || IsWindowVisible(d)))  // EndDialog hides it
    EndDialog(d, 99);
}

// From the template (answers the dialog's result) or the program's way
// (answers whether it ran; armed before, as that way must disarm the credit).
INT_PTR RunDialog(std::function<void(HWND)> action, bool program = false) {
  pendingAction = action;
  actionDeadline = GetTickCount64() + 20000;
  UINT_PTR timer = SetTimer(nullptr, 0, 10, ActWhenShown);
  creditArmed = program;
  INT_PTR result = program
                       ? RunAboutDialog(kModule)
                       : DialogBoxIndirectParamW(kModule, Template(), nullptr, AboutDialogProc, 0);
  KillTimer(nullptr, timer);
  return result;
}

std::wstring Text(HWND window) {
  wchar_t text[300] = L"";
  GetWindowTextW(window, text, 300);
  return text;
}
bool Shown(HWND dialog, int id) {  // by its style: an ended dialog is hidden
  return (GetWindowLongPtrW(GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

// The dialog, then its controls in template order (a logo's text is its
// bitmap's ordinal); sizes, places and colours: the host's reference pictures.
const wchar_t kNotice[] = L"(c) 2003 Tessel-Quarry Software";
const DWORD kDialog = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU |
                      DS_SETFONT | DS_3DLOOK,
            kShown = WS_CHILD | WS_VISIBLE, kLine = kShown | WS_GROUP | SS_CENTER,
            kTappable = kLine | SS_NOTIFY;
const struct Control {
  int id;
  const wchar_t *className, *text;
  DWORD style;
} kLayout[] = {
    {0, L"#32770", L"About Quorvane", kDialog},
    {IDC_LOGO_ALT, L"Static", L"\xFFFF\x006C", WS_CHILD | SS_NOTIFY | SS_BITMAP},
    {IDC_LOGO, L"Static", L"\xFFFF\x0069", kShown | SS_NOTIFY | SS_BITMAP},
    {IDOK, L"Button", L"OK", kShown | WS_TABSTOP | BS_PUSHBUTTON},
    {IDC_NOTICE, L"Static", kNotice, kTappable},
    {IDC_WEB_ADDRESS, L"Static", L"www.tessel-quarry.example", kTappable},
    {IDC_STATIC, L"Static", L"Quorvane V 1.0", kLine},
    {IDC_CARD_LIST, WC_LISTVIEWW, L"List2", kShown | WS_TABSTOP | LVS_REPORT},
    {IDC_PRODUCT_INFO, L"Button", L"Product info", kShown | WS_TABSTOP},
};

TEST(AboutDialog, LaidOutAsTheTemplateSays) {
  RunDialog([](HWND d) {
    EXPECT_EQ(WS_EX_CAPTIONOKBTN, GetWindowLongPtrW(d, GWL_EXSTYLE) & WS_EX_CAPTIONOKBTN);
    RECT r;
    GetWindowRect(d, &r);
    EXPECT_TRUE(r.left == 0 && r.top == 26) << "not below the navigation bar";
    const Control* row = kLayout;
    for (HWND w = d; w; w = w == d ? GetWindow(d, GW_CHILD) : GetWindow(w, GW_HWNDNEXT), ++row) {
      ASSERT_LT(row, std::end(kLayout)) << "more controls than the template holds";
      SCOPED_TRACE(testing::Message() << "control " << row->id);
      wchar_t className[100] = L"";
      GetClassNameW(w, className, 100);
      EXPECT_EQ(LOWORD(row->id), LOWORD(GetDlgCtrlID(w)));
      EXPECT_STREQ(row->className, className);
      EXPECT_EQ(row->text, Text(w));
      EXPECT_EQ(row->style, DWORD(GetWindowLongPtrW(w, GWL_STYLE)));
    }
    EXPECT_EQ(std::end(kLayout), row) << "controls missing";
  });
}

std::wstring FirstBrowserRequest() {
  wchar_t data[2000] = {};
  DWORD bytes = sizeof(data) - 4;
  RegGetValueW(HKEY_CURRENT_USER, L"Software\\CeStandIn\\Browser", L"Requests", RRF_RT_REG_MULTI_SZ,
               nullptr, data, &bytes);
  return data;
}

// WM_COMMANDs (id, code) in order: the answer to the last, the credit armed,
// revealed (no way back), the page asked of the browser, the result (99: open).
const wchar_t kSite[] = L"http://www.tessel-quarry.example/",
              kPage[] = L"\\Program Files\\Tessel-Quarry\\Quorvane\\MiniSite\\home.htm";
TEST(AboutDialog, CommandsInOrder) {
  const struct {
    std::vector<std::pair<int, int>> commands;
    INT_PTR answer;
    bool armed, revealed;
    const wchar_t* opens;
    INT_PTR result;
  } rows[] = {
      {{{IDOK, 0x1234}}, TRUE, false, false, nullptr, 1},  // any code: the caption's OK too
      {{{IDC_LOGO, 0}, {IDC_NOTICE, 0}, {IDC_NOTICE, 0}}, TRUE, true, false, nullptr, 99},
      {{{IDC_NOTICE, 0}, {IDC_LOGO, 0}, {IDC_LOGO_ALT, 0}}, TRUE, true, true, nullptr, 99},
      {{{IDC_NOTICE, 1}}, FALSE, false, false, nullptr, 99},  // any other code: not handled
      {{{IDC_WEB_ADDRESS, 0}}, TRUE, false, false, kSite, 99},
      {{{IDC_PRODUCT_INFO, BN_CLICKED}}, TRUE, false, false, kPage, 99},
      {{{IDCANCEL, 0}}, TRUE, false, false, nullptr, 99},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << &row - rows);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\CeStandIn\\Browser", L"Requests");
    INT_PTR answer = -1;
    EXPECT_EQ(row.result, RunDialog([&](HWND d) {
                for (auto [id, code] : row.commands)
                  answer = AboutDialogProc(d, WM_COMMAND, MAKEWPARAM(id, code), 0);
                EXPECT_EQ(row.revealed, Shown(d, IDC_LOGO_ALT));
                EXPECT_EQ(!row.revealed, Shown(d, IDC_LOGO));
                EXPECT_EQ(row.revealed ? L"Created by Orlimar" : kNotice,
                          Text(GetDlgItem(d, IDC_NOTICE)));
              }));
    EXPECT_EQ(row.answer, answer);
    EXPECT_EQ(row.armed, creditArmed);
    EXPECT_TRUE(!row.opens || WaitFor([&] { return FirstBrowserRequest() == row.opens; }));
  }
  // The desktop's caption close box stands in for the caption's OK button.
  EXPECT_EQ(1, RunDialog([](HWND d) { SendMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }));
}

// A row per card in the device's order: its name cut to 99 characters, its
// free space in whole MB of the 64-bit count (headings: the host's pictures).
TEST(AboutDialog, CardRowsShowNameAndWholeMegabytesFree) {
  const struct {
    std::wstring name;
    ULONGLONG total, free;
    const wchar_t* shown;
  } cards[] = {
      {L"Storage Card", 64u << 20, 1048575, L"0 MB"},
      {std::wstring(98, L'n') + std::wstring(52, L'x'), 8ull << 30, 5ull << 30, L"5120 MB"},
  };
  SimRemoveAllCards();
  for (const auto& card : cards)
    SimAddCard(card.name.c_str(), card.total, card.free);
  RunDialog([&](HWND d) {
    HWND list = GetDlgItem(d, IDC_CARD_LIST);
    ASSERT_EQ(2, ListView_GetItemCount(list));
    wchar_t name[300], free[300];
    for (int row = 0; row < 2; row++) {
      ListView_GetItemText(list, row, 0, name, 300);
      ListView_GetItemText(list, row, 1, free, 300);
      EXPECT_EQ(cards[row].name.substr(0, 99), name);
      EXPECT_EQ(cards[row].shown, std::wstring(free));
    }
  });
  SimRemoveAllCards();
}

// The program's way: none while a dialog is open; then unarmed dialogs leave
// their pictures and the GDI headroom as they were (scripts/soak.sh: 1,000).
bool RunAndClose(std::vector<DWORD>* pixels) {
  return RunDialog(
      [pixels](HWND d) {
        SendMessageW(d, WM_COMMAND, IDC_LOGO, 0);
        EXPECT_TRUE(Shown(d, IDC_LOGO)) << "armed from the start";
        RedrawWindow(d, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        if (pixels)
          *pixels = CopyClientArea(d);
        SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      },
      true);
}

TEST(AboutDialog, SoakOneAtATimeLeavingPicturesAndGdiHeadroomAsTheyWere) {
  UnregisterClassW(L"ABOUTDASHBOARD", kModule);
  HWND open = CreateDialogIndirectParamW(kModule, Template(), nullptr, AboutDialogProc, 0);
  ShowWindow(open, SW_SHOWNOACTIVATE);
  EXPECT_FALSE(RunDialog([](HWND) {}, true));  // a second one would be ended
  WNDCLASSW wc;
  EXPECT_FALSE(GetClassInfoW(kModule, L"ABOUTDASHBOARD", &wc));
  DestroyWindow(open);

  long openings = CountFromEnvironment("QUORVANE_SOAK_DIALOGS", 30);
  SimRemoveAllCards();
  SimAddCard(L"Storage Card", 64ull << 20, 16ull << 20);
  SimAddCard(L"Second Card", 1ull << 30, 700ull << 20);
  std::vector<DWORD> first, last;
  ASSERT_TRUE(RunAndClose(&first));  // lazily made objects exist from here on
  ASSERT_FALSE(first.empty());
  ASSERT_TRUE(GetClassInfoW(kModule, L"ABOUTDASHBOARD", &wc));
  EXPECT_TRUE(wc.lpfnWndProc == AboutWindowProc && wc.style == 3 && wc.hIcon &&
              wc.hbrBackground == GetStockObject(WHITE_BRUSH));
  int headroom = GdiHeadroom();
  long ran = 0;
  for (long i = 0; i < openings; i++)
    ran += RunAndClose(i == openings - 1 ? &last : nullptr);
  PumpMessages();
  EXPECT_EQ(openings, ran);
  EXPECT_TRUE(first == last) << "the last dialog looks different from the first";
  EXPECT_EQ(headroom, GdiHeadroom()) << "GDI objects left behind (or freed twice)";
  SimRemoveAllCards();
}

}  // namespace
