// Picture capture and the PNG file, written and read through WIC.
#include "Picture.h"

#include <initguid.h>
#include <wincodec.h>

#include "ScopedWin.h"
#include "UserPath.h"

namespace {

template <typename T>
using Com = ScopedComPtr<T>;

struct ComScope {
  HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ~ComScope() {
    if (SUCCEEDED(hr))
      CoUninitialize();
  }
};

std::wstring HrText(const wchar_t* what, HRESULT hr) {
  wchar_t buffer[160] = L"";  // the last one stays 0
  _snwprintf(buffer, 159, L"%ls failed (0x%08lX)", what, (unsigned long)hr);
  return buffer;
}

bool CreateFactory(Com<IWICImagingFactory>* factory, std::wstring* error) {
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, factory->OutVoid());
  if (FAILED(hr))
    *error = HrText(L"creating the imaging factory", hr);
  return SUCCEEDED(hr);
}

// Copies w x h pixels at (x, y) of `source` into `picture`, colour bits only.
bool CopyScreenPixels(HDC source, int x, int y, int w, int h, Picture* picture) {
  BITMAPINFO bi = TopDown32BitInfo(w, h);
  void* bits = nullptr;
  ScopedGdiObj<HBITMAP> dib(CreateDIBSection(source, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  AutoDeleteDC memDc(CreateCompatibleDC(source));
  if (!dib.IsValid() || !memDc.IsValid())
    return false;
  ScopedSelectObject selected(memDc, dib);
  if (!BitBlt(memDc, 0, 0, w, h, source, x, y, SRCCOPY))
    return false;
  GdiFlush();
  picture->width = w;
  picture->height = h;
  picture->pixels.assign((const DWORD*)bits, (const DWORD*)bits + (size_t)w * h);
  for (DWORD& px : picture->pixels)
    px &= 0xFFFFFF;
  return true;
}

}  // namespace

BITMAPINFO TopDown32BitInfo(int width, int height) {
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  return bi;
}

bool CapturePicture(HWND window, Picture* picture) {
  RECT rc;
  if (!GetClientRect(window, &rc) || rc.right <= 0 || rc.bottom <= 0)
    return false;
  AutoReleaseDC windowDc(window);
  return windowDc && CopyScreenPixels(windowDc, 0, 0, rc.right, rc.bottom, picture);
}

bool CaptureScreenRect(const RECT& rect, Picture* picture) {
  int w = rect.right - rect.left, h = rect.bottom - rect.top;
  AutoReleaseDC screen(nullptr);
  return w > 0 && h > 0 && screen && CopyScreenPixels(screen, rect.left, rect.top, w, h, picture);
}

Picture MagnifyPicture(const Picture& picture, int scale) {
  Picture big{picture.width * scale, picture.height * scale, {}};
  for (int i = 0; i < big.width * big.height; ++i)
    big.pixels.push_back(picture.At(i % big.width / scale, i / big.width / scale));
  return big;
}

bool WritePng(const wchar_t* path, const Picture& picture, std::wstring* error) {
  ComScope com;
  Com<IWICImagingFactory> factory;
  Com<IStream> memory;
  Com<IWICBitmapEncoder> encoder;
  Com<IWICBitmapFrameEncode> frame;
  if (!CreateFactory(&factory, error))
    return false;
  // Made in memory, then written whole (WriteWholeFile).
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
  UINT stride = picture.width * 4;
  STATSTG made = {};
  HGLOBAL block = nullptr;
  HRESULT hr;
  if (FAILED(hr = CreateStreamOnHGlobal(nullptr, TRUE, memory.Out())) ||
      FAILED(hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Out())) ||
      FAILED(hr = encoder->Initialize(memory.Get(), WICBitmapEncoderNoCache)) ||
      FAILED(hr = encoder->CreateNewFrame(frame.Out(), nullptr)) ||
      FAILED(hr = frame->Initialize(nullptr)) ||
      FAILED(hr = frame->SetSize(picture.width, picture.height)) ||
      FAILED(hr = frame->SetPixelFormat(&format)) ||
      FAILED(hr = IsEqualGUID(format, GUID_WICPixelFormat32bppBGR)
                      ? S_OK
                      : WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT) ||  // it would convert them
      FAILED(hr = frame->WritePixels(picture.height, stride, stride * picture.height,
                                     (BYTE*)picture.pixels.data())) ||
      FAILED(hr = frame->Commit()) || FAILED(hr = encoder->Commit()) ||
      FAILED(hr = memory->Stat(&made, STATFLAG_NONAME)) ||
      FAILED(hr = GetHGlobalFromStream(memory.Get(), &block))) {
    *error = HrText(L"making the PNG", hr);
    return false;
  }
  const BYTE* bytes = (const BYTE*)GlobalLock(block);
  std::vector<BYTE> png(bytes, bytes + made.cbSize.QuadPart);
  GlobalUnlock(block);
  return WriteWholeFile(path, png, error);
}

bool ReadPictureFrame(const wchar_t* path, UINT index, Picture* picture, UINT* frameCount,
                      std::wstring* error) {
  ComScope com;
  Com<IWICImagingFactory> factory;
  Com<IWICBitmapDecoder> decoder;
  Com<IWICBitmapFrameDecode> frame;
  Com<IWICFormatConverter> converter;
  if (!CreateFactory(&factory, error))
    return false;
  UINT w = 0, h = 0, frames = 0;
  HRESULT hr = factory->CreateDecoderFromFilename(path, nullptr, GENERIC_READ,
                                                  WICDecodeMetadataCacheOnDemand, decoder.Out());
  if (SUCCEEDED(hr) && SUCCEEDED(hr = decoder->GetFrameCount(&frames)) && frameCount)
    *frameCount = frames;
  if (FAILED(hr) || FAILED(hr = decoder->GetFrame(index, frame.Out())) ||
      FAILED(hr = frame->GetSize(&w, &h)) ||
      FAILED(hr = factory->CreateFormatConverter(converter.Out())) ||
      FAILED(hr = converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGR,
                                        WICBitmapDitherTypeNone, nullptr, 0.0,
                                        WICBitmapPaletteTypeCustom))) {
    *error = HrText(L"reading the picture", hr);
    return false;
  }
  picture->width = w;
  picture->height = h;
  picture->pixels.assign((size_t)w * h, 0);
  hr = converter->CopyPixels(nullptr, w * 4, w * h * 4, (BYTE*)picture->pixels.data());
  for (DWORD& px : picture->pixels)
    px &= 0xFFFFFF;
  if (FAILED(hr))
    *error = HrText(L"reading the picture", hr);
  return SUCCEEDED(hr);
}
