#include <gtest/gtest.h>

#include "HostRun.h"

namespace {

// A PNG keeps every pixel; in a GIF magnified 4 times, the noise frame fills
// the LZW table many times over, and every pixel survives its fresh starts.
TEST(Pictures, PngAndAnimatedGifKeepEveryPixelAndTheGifLoopsWithTheDelay) {
  Picture red{240, 42, std::vector<DWORD>(240 * 42, 0xFF0000)}, noise{240, 42, {}};
  for (int y = 0; y < 42; ++y)
    for (int x = 0; x < 240; ++x)  // channels unlike
      noise.pixels.push_back((DWORD)((x * 7 + y * 13 + x * y) % 11) * 0x170B05);
  std::wstring png = FreshFolder(L"png") + L".png", path = FreshFolder(L"anim") + L".gif", error;
  Picture back;
  ASSERT_TRUE(WritePng(png.c_str(), noise, &error));
  ASSERT_TRUE(ReadPng(png.c_str(), &back, &error));
  EXPECT_EQ("", Difference(noise, back));
  ASSERT_TRUE(WriteAnimatedGif(path.c_str(), {&red, &noise, &red}, 4, 750, &error));
  std::string bytes = ReadBytes(path);
  EXPECT_NE(std::string::npos, bytes.find("NETSCAPE2.0\x03\x01\x00\x00", 0, 15));
  // One graphic control block per frame, each with 75 hundredths of a second.
  std::string control("\x21\xF9\x04\x00\x4B\x00", 6);
  size_t count = 0;
  for (size_t at = bytes.find(control); at != std::string::npos; at = bytes.find(control, at + 1))
    ++count;
  EXPECT_EQ(3u, count);
  ASSERT_TRUE(ReadPictureFrame(path.c_str(), 1, &back, nullptr, &error));
  EXPECT_EQ("", Difference(MagnifyPicture(noise, 4), back));
}

}  // namespace
