#include "StripHost.h"

#include "SimulatedDevice.h"
#include "TodayStandIn.h"

namespace hardening {

namespace {

const size_t kStripPixels = kStripWidth * kStripHeight;

// The stub shell's answers: black text on a plain pale background.
const COLORREF kBackground = RGB(224, 232, 240);

void FillBackground(const TODAYDRAWWATERMARKINFO& info) {
  FillRect(info.hdc, &info.rc, ScopedGdiObj<HBRUSH>(CreateSolidBrush(kBackground)));
}

// The item's own window procedure, and the paints it was asked for.
WNDPROC itemProc;
long paintCount;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT)
    paintCount++;
  return CallWindowProcW(itemProc, hwnd, msg, wp, lp);
}

}  // namespace

int Strip::Differences(const Strip& other, Slot slot) const {
  int n = 0;
  for (int y = 0; y < kStripHeight; y++)
    for (int x = slot.left; x < slot.right; x++)
      n += pixels[y * kStripWidth + x] != other.pixels[y * kStripWidth + x];
  return n;
}

int Strip::LabelInk(Slot slot) const {
  int ink = 0;
  for (int y = kLabelTop; y < kLabelBottom; y++)
    for (int x = slot.left; x < slot.right; x++)
      ink += pixels[y * kStripWidth + x] != 0xE0E8F0;  // kBackground as 0x00RRGGBB
  return ink;
}

void SeedDevice(bool card) {
  SimResetDevice();
  SimSetPower(AC_LINE_OFFLINE, 80, 7380, 3900);
  SimSetStore(16u << 20, 8u << 20);
  SimSetProgramMemory(32ull << 20, 12ull << 20);
  if (card)
    SimAddCard(L"Storage Card", 64ull << 20, 16ull << 20);
}

bool StripHost::Load() {
  Unload();
  error = "the library stayed loaded after FreeLibrary";
  if (GetModuleHandleW(L"Quorvane.dll"))
    return false;
  dll = LoadLibraryW(BesideTest(L"Quorvane.dll").c_str());
  auto init = dll ? reinterpret_cast<PFNCUSTOMINITIALIZEITEM>(reinterpret_cast<void*>(
                        GetProcAddress(dll, MAKEINTRESOURCEA(ORDINAL_INITIALIZEITEM))))
                  : nullptr;
  error = "no ordinal 240 in Quorvane.dll";
  if (!init)
    return false;

  today = CreateTodayStandIn({RGB(0, 0, 0), RGB(255, 0, 255), FillBackground, nullptr},
                             TODAY_WINDOW_CLASS, WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, 0, 0,
                             kStripWidth, 60);
  listItem = {};
  listItem.fEnabled = TRUE;
  listItem.hinstDLL = dll;
  listItem.tlit = tlitCustom;
  item = init(&listItem, today);
  DWORD cyp = 0;
  error = "no item window, or the first refresh query did not answer TRUE";
  if (!item || Query(&cyp) != TRUE)
    return false;
  error = "";
  SetWindowPos(item, nullptr, 0, 0, kStripWidth, int(cyp), SWP_NOZORDER | SWP_NOACTIVATE);
  itemProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(item, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
  paintCount = 0;
  PumpMessages();
  return true;
}

void StripHost::Unload() {
  if (item && IsWindow(item))
    DestroyWindow(item);
  if (today)
    DestroyWindow(today);
  item = today = nullptr;
  PumpMessages();
  if (dll) {
    UnregisterClassW(ITEM_CLASS_NAME, dll);
    FreeLibrary(dll);
    dll = nullptr;
  }
}

LRESULT StripHost::Query(DWORD* cyp) {
  listItem.cyp = 0;
  LRESULT answer =
      SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, reinterpret_cast<WPARAM>(&listItem), 0);
  if (cyp)
    *cyp = listItem.cyp;
  return answer;
}

void StripHost::Tap(int x, int y) {
  SendMessageW(item, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageW(item, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

Strip StripHost::Capture() const {
  Strip strip;
  strip.pixels = CopyClientArea(item);
  strip.pixels.resize(kStripPixels);
  return strip;
}

long StripHost::Paints() const {
  return paintCount;
}

}  // namespace hardening
