#include "ItemWindow.h"
#include "PaintTestSupport.h"
#include "TodayStandIn.h"

namespace {

const COLORREF kHostText = RGB(10, 20, 30);
TODAYDRAWWATERMARKINFO watermark;

// The host's background: one-pixel stripes of two colours.
COLORREF Watermark(int x) { return x % 2 ? RGB(0, 96, 160) : RGB(0, 64, 128); }

void PaintWatermark(const TODAYDRAWWATERMARKINFO& info) {
  watermark = info;
  for (int x = watermark.rc.left; x < watermark.rc.right; ++x)
    for (int y = watermark.rc.top; y < watermark.rc.bottom; ++y)
      SetPixel(watermark.hdc, x, y, Watermark(x));
}

class PaintItemTest : public testing::Test {
protected:
  void SetUp() override {
    ResetItemState();
    WNDCLASSW item = {0,       ItemWndProc, 0,       0,       nullptr,
                      nullptr, nullptr,     nullptr, nullptr, L"TestItem"};
    RegisterClassW(&item);
    parent = CreateTodayStandIn({kHostText, 0, PaintWatermark, nullptr}, L"TestHost", WS_EX_TOPMOST,
                                0, 0, 240, 42);
    window = CreateWindowExW(0, L"TestItem", L"", WS_CHILD | WS_VISIBLE, 0, 0, 240, 42, parent,
                             nullptr, nullptr, nullptr);
    UpdateWindow(window);
    for (int i = 0; i < 240 * 42; ++i)
      SetPixel(background.dc, i % 240, i / 240, Watermark(i % 240));
  }
  void TearDown() override { DestroyWindow(parent); }

  // Paints (the whole window unless told otherwise) and reads the window back.
  void Paint(Canvas& into, const RECT* invalid = nullptr) {
    InvalidateRect(window, invalid, FALSE);
    UpdateWindow(window);
    BitBlt(into.dc, 0, 0, 240, 42, AutoReleaseDC(window), 0, 0, SRCCOPY);
  }

  HWND parent = nullptr, window = nullptr;
  Canvas strip{240, 42, kWhite}, background{240, 42, kWhite};
};

TEST_F(PaintItemTest, LayersOverTheHostBackgroundInTheHostTextColour) {
  Paint(strip);
  EXPECT_EQ(window, watermark.hwnd);
  EXPECT_EQ(240, watermark.rc.right);
  EXPECT_EQ(42, watermark.rc.bottom);
  EXPECT_EQ(Watermark(2), strip.At(2, 2));    // logo: pure red keyed out,
  EXPECT_EQ(kBlack, strip.At(8, 2));          // its rim drawn,
  EXPECT_EQ(RGB(128, 0, 0), strip.At(7, 12)); // and its near-red maroon pixel
  EXPECT_EQ(kBlack, strip.At(52, 4));       // battery and memory dials
  EXPECT_EQ(kBlack, strip.At(192, 4));
  // The simulated device's defaults: 80 % and, with no card, 24 MB of memory free,
  // in the host's text colour (not the item window's own answer, 0).
  ExpectLabel(strip, 35, 3, L"B 80%", kHostText, background);
  ExpectLabel(strip, 175, 3, L"M 24 MB", kHostText, background);
}

TEST_F(PaintItemTest, PartlyInvalidWindowGetsTheWholeStrip) {
  Canvas again(240, 42, kWhite);
  Paint(strip);
  RECT all = {0, 0, 240, 42}, corner = {0, 0, 4, 4};
  FillRect(AutoReleaseDC(window), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  Paint(again, &corner);
  EXPECT_TRUE(again == strip);
}

}  // namespace
