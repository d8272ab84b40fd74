#include <stdio.h>
#include <stdlib.h>

#include "PaintItem.h"
#include "PaintTestSupport.h"

void Canvas::Save(const char* path) const {
  GdiFlush();
  BITMAPFILEHEADER file = {0x4D42, DWORD(54 + w * h * 4), 0, 0, 54};
  BITMAPINFOHEADER info = {sizeof info, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  if (FILE* f = fopen(path, "wb")) {
    fwrite(&file, sizeof file, 1, f);
    fwrite(&info, sizeof info, 1, f);
    fwrite(bits, 4, w * h, f);
    fclose(f);
  }
}

namespace {

const COLORREF kHostText = RGB(10, 20, 30);
UINT messages[8];  // the Today messages in the order they arrived: item ones + 0x10000
int messageCount;
TODAYDRAWWATERMARKINFO watermarkRequest;
DWORD watermarkDcType;

// The host's background: stripes of two colours, one column each.
COLORREF Watermark(int x) { return x % 2 ? RGB(0, 96, 160) : RGB(0, 64, 128); }

LRESULT CALLBACK HostProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if ((msg == TODAYM_GETCOLOR || msg == TODAYM_DRAWWATERMARK) && messageCount < 8)
    messages[messageCount++] = msg;
  if (msg == TODAYM_GETCOLOR) return wp == TODAYCOLOR_TEXT ? kHostText : 0;
  if (msg == TODAYM_DRAWWATERMARK) {
    watermarkRequest = *reinterpret_cast<TODAYDRAWWATERMARKINFO*>(lp);
    watermarkDcType = GetObjectType(watermarkRequest.hdc);
    const RECT& rc = watermarkRequest.rc;
    for (int x = rc.left; x < rc.right; ++x) {
      HBRUSH brush = CreateSolidBrush(Watermark(x));
      RECT column = {x, rc.top, x + 1, rc.bottom};
      FillRect(watermarkRequest.hdc, &column, brush);
      DeleteObject(brush);
    }
    return 0;
  }
  return DefWindowProcW(w, msg, wp, lp);
}

LRESULT CALLBACK ItemProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PaintItem(w);
    return 0;
  }
  if (msg == TODAYM_GETCOLOR && messageCount < 8) messages[messageCount++] = msg + 0x10000;
  return DefWindowProcW(w, msg, wp, lp);
}

class PaintItemTest : public testing::Test {
protected:
  void SetUp() override {
    ResetItemState();
    WNDCLASSW host = {0, HostProc, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, L"TestHost"};
    WNDCLASSW item = {0, ItemProc, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, L"TestItem"};
    RegisterClassW(&host);
    RegisterClassW(&item);
    parent = CreateWindowExW(WS_EX_TOPMOST, L"TestHost", L"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 42,
                             nullptr, nullptr, nullptr, nullptr);
    window = CreateWindowExW(0, L"TestItem", L"", WS_CHILD | WS_VISIBLE, 0, 0, 240, 42, parent,
                             nullptr, nullptr, nullptr);
    UpdateWindow(window);
  }
  void TearDown() override { DestroyWindow(parent); }

  // Repaints the whole window and reads it back.
  void Paint(Canvas& into, const RECT* invalid = nullptr) {
    messageCount = 0;
    InvalidateRect(window, invalid, FALSE);
    UpdateWindow(window);
    HDC dc = GetDC(window);
    BitBlt(into.dc, 0, 0, 240, 42, dc, 0, 0, SRCCOPY);
    ReleaseDC(window, dc);
  }

  HWND parent = nullptr, window = nullptr;
};

TEST_F(PaintItemTest, LayersOverTheHostBackgroundInTheHostTextColour) {
  Canvas strip(240, 42, kWhite);
  Paint(strip);
  const UINT expected[3] = {TODAYM_GETCOLOR + 0x10000, TODAYM_DRAWWATERMARK, TODAYM_GETCOLOR};
  ASSERT_EQ(messageCount, 3);
  EXPECT_EQ(memcmp(messages, expected, sizeof expected), 0);
  EXPECT_EQ(watermarkRequest.hwnd, window);
  EXPECT_EQ(watermarkDcType, DWORD(OBJ_MEMDC));
  const RECT client = {0, 0, 240, 42};
  EXPECT_TRUE(EqualRect(&watermarkRequest.rc, &client));
  EXPECT_EQ(ItemState.textColor, kHostText);
  EXPECT_EQ(strip.At(0, 0), Watermark(0));
  EXPECT_EQ(strip.At(1, 0), Watermark(1));
  EXPECT_EQ(strip.At(2, 2), Watermark(2));          // the logo's keyed-out corner
  EXPECT_EQ(strip.At(8, 2), kBlack);               // the logo's rim
  EXPECT_EQ(strip.At(35 + 17, 3 + 1), kBlack);     // battery dial
  EXPECT_EQ(strip.At(175 + 17, 3 + 1), kBlack);    // memory dial
  if (const char* path = getenv("QUORVANE_STRIP_BMP")) strip.Save(path);
  // Labels in the host's colour over the background: the default device reads
  // 80 % and, with the clock, 24 MB of memory free.
  Canvas background(240, 42, kWhite);
  for (int x = 0; x < 240; ++x)
    for (int y = 28; y < 38; ++y) SetPixel(background.dc, x, y, Watermark(x));
  ExpectLabel(strip, 35, 3, L"B 80%", kHostText, background);
  ExpectLabel(strip, 175, 3, L"M 24 MB", kHostText, background);
}

TEST_F(PaintItemTest, InitModeKeptAt4000msEndedAt4001AcrossTheWrap) {
  Canvas strip(240, 42, kWhite);
  ItemState.initMode = true;
  ItemState.wakeTick = 0xFFFFFFFF - 999;  // the counter wraps 1000 ms later
  ItemState.shownBatteryPercent = -1;
  SimSetTickCount(3000);
  Paint(strip);
  EXPECT_TRUE(ItemState.initMode);
  EXPECT_EQ(ItemState.shownBatteryPercent, -1);
  SimSetTickCount(3001);
  Paint(strip);
  EXPECT_FALSE(ItemState.initMode);
  EXPECT_EQ(ItemState.shownBatteryPercent, 80);
}

TEST_F(PaintItemTest, StorageSlotShowsExactlyOneOfGaugeAndClock) {
  Canvas gauge(240, 42, kWhite), clock(240, 42, kWhite);
  SimAddCard(L"Storage Card", 64 << 20, 16 << 20);
  ItemState.status.FindFirstCard();
  ItemState.storageShowsClock = true;
  ItemState.shownCardPresent = 7;
  Paint(clock);
  EXPECT_EQ(ItemState.shownCardPresent, 7);  // the storage gauge was not called
  EXPECT_EQ(clock.At(104, 20), kHostText);  // 9 o'clock mark
  EXPECT_EQ(clock.At(112, 17), Watermark(112));
  ItemState.storageShowsClock = false;
  ItemState.shownClockTime = {};
  Paint(gauge);
  EXPECT_EQ(ItemState.shownCardPresent, TRUE);
  EXPECT_EQ(ItemState.shownClockTime.wYear, 0);  // the clock was not drawn
  EXPECT_EQ(gauge.At(104, 20), Watermark(104));
  EXPECT_EQ(gauge.At(112, 17), kWhite);          // inside the dial
}

TEST_F(PaintItemTest, PartlyInvalidWindowGetsTheWholeStrip) {
  Canvas first(240, 42, kWhite), second(240, 42, kWhite);
  Paint(first);
  HDC dc = GetDC(window);
  RECT all = {0, 0, 240, 42}, corner = {0, 0, 4, 4};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  ReleaseDC(window, dc);
  Paint(second, &corner);
  EXPECT_TRUE(first == second);
}

// How many more pens the process can create; all freed again.
int PenHeadroom() {
  static HPEN pens[70000];
  int n = 0;
  while (n < 70000 && (pens[n] = CreatePen(PS_SOLID, 1, RGB(n & 255, 0, 0)))) ++n;
  for (int i = 0; i < n; ++i) DeleteObject(pens[i]);
  return n;
}

TEST_F(PaintItemTest, RepeatedPaintsLeaveNoGdiObjectBehind) {
  Canvas strip(240, 42, kWhite);
  Paint(strip);
  const int afterFirst = PenHeadroom();
  EXPECT_LT(afterFirst, 70000);  // creation did run into the limit
  for (int i = 0; i < 1000; ++i) Paint(strip);
  EXPECT_EQ(PenHeadroom(), afterFirst);
}

}  // namespace
