// Pictures of the strip: captured, magnified, written as PNG and animated GIF.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// 32-bit pixels, top row first, each 0x00RRGGBB (BGRX in memory).
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<DWORD> pixels;

  DWORD At(int x, int y) const { return pixels[(size_t)y * width + x]; }
};

// The header of a DIB in the Picture layout.
BITMAPINFO TopDown32BitInfo(int width, int height);

// Copies what the window's client area shows now, from its device context.
bool CapturePicture(HWND window, Picture* picture);
// Copies a rectangle of the screen (for windows of other programs).
bool CaptureScreenRect(const RECT& rect, Picture* picture);
// Whole-number magnification, each pixel becoming a scale x scale block.
Picture MagnifyPicture(const Picture& picture, int scale);

// PNG in 32bppBGR; `error` says why not.
bool WritePng(const wchar_t* path, const Picture& picture, std::wstring* error);
// Frame `index` of any picture the codecs read; `frameCount`, when given,
// receives how many frames the file holds.
bool ReadPictureFrame(const wchar_t* path, UINT index, Picture* picture, UINT* frameCount,
                      std::wstring* error);
inline bool ReadPng(const wchar_t* path, Picture* picture, std::wstring* error) {
  return ReadPictureFrame(path, 0, picture, nullptr, error);
}

// An animated GIF that loops forever, one frame per picture (all of one size)
// magnified `scale` times, each shown for `delayMs`, with one palette of the
// frames' colours (the most frequent 256, the others taking their nearest).
bool WriteAnimatedGif(const wchar_t* path, const std::vector<const Picture*>& frames, int scale,
                      int delayMs, std::wstring* error);
