#include "StripHost.h"

#include "TodayStandIn.h"

namespace hardening {

namespace {

const size_t kStripPixels = kStripWidth * kStripHeight;

// The stub shell's watermark: one plain colour.
void FillBackground(const TODAYDRAWWATERMARKINFO& info) {
  FillRect(info.hdc, &info.rc, ScopedGdiObj<HBRUSH>(CreateSolidBrush(kTodayBackground)));
}

// The item's own window procedure, and the paints it was asked for.
WNDPROC itemProc;
long paintCount;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) paintCount++;
  return CallWindowProcW(itemProc, hwnd, msg, wp, lp);
}

}  // namespace

bool Strip::SlotEquals(const Strip& other, Slot slot) const {
  if (pixels.size() != kStripPixels || other.pixels.size() != kStripPixels) return false;
  for (int y = 0; y < kStripHeight; y++)
    for (int x = slot.left; x < slot.right; x++)
      if (pixels[y * kStripWidth + x] != other.pixels[y * kStripWidth + x]) return false;
  return true;
}

int Strip::LabelInk(Slot slot) const {
  const DWORD background = DWORD(GetRValue(kTodayBackground)) << 16 |
                           DWORD(GetGValue(kTodayBackground)) << 8 | GetBValue(kTodayBackground);
  int ink = 0;
  for (int y = kLabelTop; y < kLabelBottom && pixels.size() == kStripPixels; y++)
    for (int x = slot.left; x < slot.right; x++) ink += pixels[y * kStripWidth + x] != background;
  return ink;
}

int Strip::Differences(const Strip& other) const {
  int n = 0;
  for (size_t i = 0; i < pixels.size() && i < other.pixels.size(); i++)
    n += pixels[i] != other.pixels[i];
  return n;
}

bool StripHost::Load() {
  Unload();
  error = "the library stayed loaded after FreeLibrary";
  if (GetModuleHandleW(L"Quorvane.dll")) return false;
  dll = LoadLibraryW(BesideTest(L"Quorvane.dll").c_str());
  auto init = dll ? reinterpret_cast<PFNCUSTOMINITIALIZEITEM>(reinterpret_cast<void*>(
                        GetProcAddress(dll, MAKEINTRESOURCEA(ORDINAL_INITIALIZEITEM))))
                  : nullptr;
  error = "no ordinal 240 in Quorvane.dll";
  if (!init) return false;

  today = CreateTodayStandIn({kTodayText, RGB(255, 0, 255), FillBackground, nullptr},
                             TODAY_WINDOW_CLASS, WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, 0, 0,
                             kStripWidth, 60);
  listItem = {};
  listItem.fEnabled = TRUE;
  listItem.hinstDLL = dll;
  listItem.tlit = tlitCustom;
  item = init(&listItem, today);
  DWORD cyp = 0;
  error = "no item window, or the first refresh query did not answer TRUE";
  if (!item || Query(&cyp) != TRUE) return false;
  error = "";
  SetWindowPos(item, nullptr, 0, 0, kStripWidth, int(cyp), SWP_NOZORDER | SWP_NOACTIVATE);
  itemProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(item, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
  paintCount = 0;
  PumpMessages();
  return true;
}

void StripHost::Unload() {
  if (item && IsWindow(item)) DestroyWindow(item);
  if (today) DestroyWindow(today);
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
  if (cyp) *cyp = listItem.cyp;
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

long StripHost::Paints() const { return paintCount; }

}  // namespace hardening
