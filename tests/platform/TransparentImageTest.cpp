#include <gtest/gtest.h>

#include "CeApi.h"

namespace {

// A 2 x 1 source bitmap: pure red (the key) and near-red. Only the key lets the
// background through.
TEST(TransparentImage, OnlyTheExactKeyColourIsTransparent) {
  HDC screen = GetDC(nullptr);
  HDC dst = CreateCompatibleDC(screen);
  HBITMAP dstBmp = CreateCompatibleBitmap(screen, 2, 1);
  HGDIOBJ oldDst = SelectObject(dst, dstBmp);
  SetPixel(dst, 0, 0, RGB(0, 0, 255));
  SetPixel(dst, 1, 0, RGB(0, 0, 255));

  HDC src = CreateCompatibleDC(screen);
  HBITMAP srcBmp = CreateCompatibleBitmap(screen, 2, 1);
  HGDIOBJ oldSrc = SelectObject(src, srcBmp);
  SetPixel(src, 0, 0, RGB(255, 0, 0));
  SetPixel(src, 1, 0, RGB(254, 0, 0));

  EXPECT_TRUE(TransparentImage(dst, 0, 0, 2, 1, src, 0, 0, 2, 1, RGB(255, 0, 0)));
  EXPECT_EQ(GetPixel(dst, 0, 0), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dst, 1, 0), RGB(254, 0, 0));

  // The same through an unselected bitmap handle, as CE allows.
  SelectObject(src, oldSrc);
  SetPixel(dst, 1, 0, RGB(0, 0, 255));
  EXPECT_TRUE(TransparentImage(dst, 0, 0, 2, 1, srcBmp, 0, 0, 2, 1, RGB(255, 0, 0)));
  EXPECT_EQ(GetPixel(dst, 0, 0), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dst, 1, 0), RGB(254, 0, 0));

  DeleteObject(srcBmp);
  DeleteDC(src);
  SelectObject(dst, oldDst);
  DeleteObject(dstBmp);
  DeleteDC(dst);
  ReleaseDC(nullptr, screen);
}

}  // namespace
