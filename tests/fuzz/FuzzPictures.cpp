// The PNG and GIF writers on small frames of any size and colours: what is
// written reads back the same (PNG), or with as many frames (GIF).
#include <objbase.h>

#include "FuzzDriver.h"
#include "Picture.h"

static std::string WritePictures(const std::string& input) {
  FuzzBytes in{input};
  int width = 1 + (int)(in.Take(1) % 48), height = 1 + (int)(in.Take(1) % 48);
  std::vector<Picture> frames(1 + in.Take(1) % 4, Picture{width, height, {}});
  int scale = 1 + (int)(in.Take(1) % 3);
  std::vector<const Picture*> shown;
  for (Picture& p : frames) {
    shown.push_back(&p);
    for (int i = 0; i < width * height; i++)
      p.pixels.push_back((DWORD)in.Take(3));
  }
  std::wstring png = L"fuzz.png", gif = L"fuzz.gif", error;  // in the current folder
  Picture back;
  UINT count = 0;
  if (!WritePng(png.c_str(), frames[0], &error))
    return "png refused: " + FuzzOutcome(error);
  if (!ReadPng(png.c_str(), &back, &error) || back.width != width ||
      back.pixels != frames[0].pixels)
    __builtin_trap();  // written but not read back the same
  if (!WriteAnimatedGif(gif.c_str(), shown, scale, 100, &error))
    return "gif refused: " + FuzzOutcome(error);
  if (!ReadPictureFrame(gif.c_str(), 0, &back, &count, &error) || count != frames.size() ||
      back.width != width * scale)
    __builtin_trap();  // written but not readable as written
  return "gif frames " + std::to_string(count);
}

int main(int argc, char** argv) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  return FuzzMain(argc, argv, "pictures", WritePictures);
}
