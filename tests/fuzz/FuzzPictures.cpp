// The PNG and GIF writers on small frames of any size and colours: what is
// written reads back the same (PNG), or with as many frames (GIF).
#include <objbase.h>

#include "FuzzDriver.h"
#include "Picture.h"

static std::wstring TempFile(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + name;
}

static std::string WritePictures(const std::string& input) {
  FuzzBytes in{input};
  int width = 1 + (int)(in.Take(1) % 48), height = 1 + (int)(in.Take(1) % 48);
  size_t frameCount = 1 + in.Take(1) % 4;
  int scale = 1 + (int)(in.Take(1) % 3);
  std::vector<Picture> frames(frameCount);
  for (Picture& p : frames) {
    p.width = width, p.height = height;
    for (int i = 0; i < width * height; i++) p.pixels.push_back((DWORD)in.Take(3));
  }
  std::string outcome;
  std::wstring png = TempFile(L"quorvane-fuzz.png"), gif = TempFile(L"quorvane-fuzz.gif"), error;
  Picture back;
  if (!WritePng(png.c_str(), frames[0], &error)) outcome += "png refused: " + FuzzOutcome(error);
  else if (!ReadPng(png.c_str(), &back, &error) || FirstDifference(back, frames[0], &width, &height))
    __builtin_trap();  // written but not read back the same
  else outcome += "png same";
  std::vector<const Picture*> shown;
  for (const Picture& p : frames) shown.push_back(&p);
  UINT count = 0;
  if (!WriteAnimatedGif(gif.c_str(), shown, scale, 100, &error))
    outcome += ", gif refused: " + FuzzOutcome(error);
  else if (!ReadPictureFrame(gif.c_str(), 0, &back, &count, &error) || count != frameCount ||
           back.width != frames[0].width * scale)
    __builtin_trap();  // written but not readable as written
  else outcome += ", gif frames " + std::to_string(count);
  return outcome;
}

int main(int argc, char** argv) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  return FuzzMain(argc, argv, "pictures", WritePictures);
}
