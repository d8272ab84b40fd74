// Picture capture and the PNG / GIF files, written through WIC.
#include "Picture.h"

#include <initguid.h>
#include <wincodec.h>

#include <algorithm>

namespace {

// Owns one COM interface pointer.
template <typename T>
class Com {
public:
  Com() = default;
  ~Com() {
    if (p) p->Release();
  }
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  T* operator->() const { return p; }
  T** operator&() { return &p; }
  T* get() const { return p; }

private:
  T* p = nullptr;
};

// COM for the calling thread, for as long as the object lives.
class ComScope {
public:
  ComScope() : ok(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComScope() {
    if (ok) CoUninitialize();
  }

private:
  bool ok;
};

std::wstring HrText(const wchar_t* what, HRESULT hr) {
  wchar_t buffer[160];
  _snwprintf(buffer, 159, L"%ls failed (0x%08lX)", what, (unsigned long)hr);
  buffer[159] = 0;
  return buffer;
}

bool CreateFactory(IWICImagingFactory** factory, std::wstring* error) {
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, (void**)factory);
  if (FAILED(hr)) *error = HrText(L"creating the imaging factory", hr);
  return SUCCEEDED(hr);
}

// Reduces a picture to at most 256 colours: exact when it has no more, else
// the most frequent colours, every other pixel taking its nearest neighbour.
void IndexPicture(const Picture& picture, std::vector<WICColor>* palette,
                  std::vector<BYTE>* indices) {
  std::vector<DWORD> sorted(picture.pixels);
  std::sort(sorted.begin(), sorted.end());
  std::vector<std::pair<size_t, DWORD>> counts;  // (count, colour)
  for (size_t i = 0; i < sorted.size();) {
    size_t j = i;
    while (j < sorted.size() && sorted[j] == sorted[i]) ++j;
    counts.push_back({j - i, sorted[i]});
    i = j;
  }
  std::stable_sort(counts.begin(), counts.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  if (counts.size() > 256) counts.resize(256);
  std::vector<DWORD> colours;
  for (const auto& c : counts) colours.push_back(c.second & 0xFFFFFF);
  std::sort(colours.begin(), colours.end());

  palette->clear();
  for (DWORD c : colours) palette->push_back(0xFF000000 | c);
  indices->resize(picture.pixels.size());
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    DWORD p = picture.pixels[i] & 0xFFFFFF;
    auto it = std::lower_bound(colours.begin(), colours.end(), p);
    if (it != colours.end() && *it == p) {
      (*indices)[i] = (BYTE)(it - colours.begin());
      continue;
    }
    long best = 0x7FFFFFFF;
    for (size_t k = 0; k < colours.size(); ++k) {
      long dr = (long)((p >> 16) & 0xFF) - (long)((colours[k] >> 16) & 0xFF);
      long dg = (long)((p >> 8) & 0xFF) - (long)((colours[k] >> 8) & 0xFF);
      long db = (long)(p & 0xFF) - (long)(colours[k] & 0xFF);
      long d = dr * dr + dg * dg + db * db;
      if (d < best) {
        best = d;
        (*indices)[i] = (BYTE)k;
      }
    }
  }
}

// Skips a run of GIF data sub-blocks; returns the offset after the terminator.
size_t SkipSubBlocks(const std::vector<BYTE>& gif, size_t at) {
  while (at < gif.size() && gif[at] != 0) at += gif[at] + 1;
  return at + 1;
}

// Rewrites the encoder's GIF so that it loops and shows each frame for the
// delay: a NETSCAPE2.0 block after the header, and one graphic control block
// (replacing any the encoder wrote) before every image.
bool AddAnimationBlocks(const std::vector<BYTE>& in, int delayMs, std::vector<BYTE>* out) {
  if (in.size() < 13 || memcmp(in.data(), "GIF8", 4) != 0) return false;
  size_t at = 13;
  if (in[10] & 0x80) at += 3u << ((in[10] & 7) + 1);
  if (at > in.size()) return false;
  out->assign(in.begin(), in.begin() + at);
  const BYTE loop[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0',
                       0x03, 0x01, 0x00, 0x00, 0x00};
  out->insert(out->end(), loop, loop + sizeof loop);
  int centis = (delayMs + 5) / 10;
  while (at < in.size()) {
    BYTE kind = in[at];
    if (kind == 0x3B) {
      out->push_back(0x3B);
      return true;
    }
    if (kind == 0x21) {  // extension: the encoder's own are dropped
      if (at + 2 > in.size()) return false;
      at = SkipSubBlocks(in, at + 2);
      continue;
    }
    if (kind != 0x2C || at + 10 > in.size()) return false;
    const BYTE control[] = {0x21, 0xF9, 0x04, 0x00, (BYTE)(centis & 0xFF), (BYTE)(centis >> 8),
                            0x00, 0x00};
    out->insert(out->end(), control, control + sizeof control);
    size_t start = at;
    at += 10;
    if (in[start + 9] & 0x80) at += 3u << ((in[start + 9] & 7) + 1);
    at = SkipSubBlocks(in, at + 1);  // LZW minimum code size, then the data
    if (at > in.size()) return false;
    out->insert(out->end(), in.begin() + start, in.begin() + at);
  }
  return false;
}

bool WriteFileBytes(const wchar_t* path, const std::vector<BYTE>& bytes, std::wstring* error) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  bool ok = file != INVALID_HANDLE_VALUE &&
            WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr) &&
            written == bytes.size();
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (!ok) *error = std::wstring(L"cannot write ") + path;
  return ok;
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
  if (!GetClientRect(window, &rc) || rc.right <= 0 || rc.bottom <= 0) return false;
  HDC windowDc = GetDC(window);
  if (!windowDc) return false;
  bool ok = false;
  BITMAPINFO bi = TopDown32BitInfo(rc.right, rc.bottom);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(windowDc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memDc = CreateCompatibleDC(windowDc);
  if (dib && memDc) {
    HGDIOBJ old = SelectObject(memDc, dib);
    ok = BitBlt(memDc, 0, 0, rc.right, rc.bottom, windowDc, 0, 0, SRCCOPY) != FALSE;
    GdiFlush();
    SelectObject(memDc, old);
    if (ok) {
      picture->width = rc.right;
      picture->height = rc.bottom;
      const DWORD* p = (const DWORD*)bits;
      picture->pixels.assign(p, p + (size_t)rc.right * rc.bottom);
      for (DWORD& px : picture->pixels) px &= 0xFFFFFF;
    }
  }
  if (memDc) DeleteDC(memDc);
  if (dib) DeleteObject(dib);
  ReleaseDC(window, windowDc);
  return ok;
}

bool CaptureScreenRect(const RECT& rect, Picture* picture) {
  int w = rect.right - rect.left, h = rect.bottom - rect.top;
  if (w <= 0 || h <= 0) return false;
  HDC screen = GetDC(nullptr);
  BITMAPINFO bi = TopDown32BitInfo(w, h);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memDc = CreateCompatibleDC(screen);
  bool ok = false;
  if (dib && memDc) {
    HGDIOBJ old = SelectObject(memDc, dib);
    ok = BitBlt(memDc, 0, 0, w, h, screen, rect.left, rect.top, SRCCOPY) != FALSE;
    GdiFlush();
    SelectObject(memDc, old);
    if (ok) {
      picture->width = w;
      picture->height = h;
      const DWORD* p = (const DWORD*)bits;
      picture->pixels.assign(p, p + (size_t)w * h);
      for (DWORD& px : picture->pixels) px &= 0xFFFFFF;
    }
  }
  if (memDc) DeleteDC(memDc);
  if (dib) DeleteObject(dib);
  ReleaseDC(nullptr, screen);
  return ok;
}

Picture MagnifyPicture(const Picture& picture, int scale) {
  Picture big;
  big.width = picture.width * scale;
  big.height = picture.height * scale;
  big.pixels.resize((size_t)big.width * big.height);
  for (int y = 0; y < big.height; ++y) {
    for (int x = 0; x < big.width; ++x) {
      big.pixels[(size_t)y * big.width + x] = picture.At(x / scale, y / scale);
    }
  }
  return big;
}

bool WritePng(const wchar_t* path, const Picture& picture, std::wstring* error) {
  ComScope com;
  Com<IWICImagingFactory> factory;
  Com<IWICStream> stream;
  Com<IWICBitmapEncoder> encoder;
  Com<IWICBitmapFrameEncode> frame;
  if (!CreateFactory(&factory, error)) return false;
  HRESULT hr = factory->CreateStream(&stream);
  if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(path, GENERIC_WRITE);
  if (FAILED(hr)) {
    *error = std::wstring(L"cannot create ") + path;
    return false;
  }
  hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder);
  if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache);
  if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(&frame, nullptr);
  if (SUCCEEDED(hr)) hr = frame->Initialize(nullptr);
  if (SUCCEEDED(hr)) hr = frame->SetSize(picture.width, picture.height);
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
  if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
  if (SUCCEEDED(hr) && !IsEqualGUID(format, GUID_WICPixelFormat32bppBGR)) {
    *error = L"the PNG encoder does not take 32bppBGR pixels";
    return false;
  }
  UINT stride = picture.width * 4;
  if (SUCCEEDED(hr)) {
    hr = frame->WritePixels(picture.height, stride, stride * picture.height,
                            (BYTE*)picture.pixels.data());
  }
  if (SUCCEEDED(hr)) hr = frame->Commit();
  if (SUCCEEDED(hr)) hr = encoder->Commit();
  if (FAILED(hr)) *error = HrText(L"writing the PNG", hr);
  return SUCCEEDED(hr);
}

bool ReadPictureFrame(const wchar_t* path, UINT index, Picture* picture, UINT* frameCount,
                      std::wstring* error) {
  ComScope com;
  Com<IWICImagingFactory> factory;
  Com<IWICBitmapDecoder> decoder;
  Com<IWICBitmapFrameDecode> frame;
  Com<IWICFormatConverter> converter;
  if (!CreateFactory(&factory, error)) return false;
  HRESULT hr = factory->CreateDecoderFromFilename(path, nullptr, GENERIC_READ,
                                                  WICDecodeMetadataCacheOnDemand, &decoder);
  if (FAILED(hr)) {
    *error = std::wstring(L"cannot read the picture ") + path;
    return false;
  }
  UINT w = 0, h = 0, frames = 0;
  hr = decoder->GetFrameCount(&frames);
  if (SUCCEEDED(hr) && frameCount) *frameCount = frames;
  if (SUCCEEDED(hr)) hr = decoder->GetFrame(index, &frame);
  if (SUCCEEDED(hr)) hr = frame->GetSize(&w, &h);
  if (SUCCEEDED(hr)) hr = factory->CreateFormatConverter(&converter);
  if (SUCCEEDED(hr)) {
    hr = converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone,
                               nullptr, 0.0, WICBitmapPaletteTypeCustom);
  }
  if (SUCCEEDED(hr)) {
    picture->width = w;
    picture->height = h;
    picture->pixels.assign((size_t)w * h, 0);
    hr = converter->CopyPixels(nullptr, w * 4, w * h * 4, (BYTE*)picture->pixels.data());
    for (DWORD& px : picture->pixels) px &= 0xFFFFFF;
  }
  if (FAILED(hr)) *error = HrText(L"decoding the picture", hr);
  return SUCCEEDED(hr);
}

bool ReadPng(const wchar_t* path, Picture* picture, std::wstring* error) {
  return ReadPictureFrame(path, 0, picture, nullptr, error);
}

bool WriteAnimatedGif(const wchar_t* path, const std::vector<Picture>& frames, int delayMs,
                      std::wstring* error) {
  if (frames.empty()) {
    *error = L"an animation needs at least one picture";
    return false;
  }
  ComScope com;
  Com<IWICImagingFactory> factory;
  Com<IStream> memory;
  Com<IWICBitmapEncoder> encoder;
  if (!CreateFactory(&factory, error)) return false;
  HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &memory);
  if (SUCCEEDED(hr)) hr = factory->CreateEncoder(GUID_ContainerFormatGif, nullptr, &encoder);
  if (SUCCEEDED(hr)) hr = encoder->Initialize(memory.get(), WICBitmapEncoderNoCache);
  for (size_t i = 0; SUCCEEDED(hr) && i < frames.size(); ++i) {
    const Picture& p = frames[i];
    std::vector<WICColor> colours;
    std::vector<BYTE> indices;
    IndexPicture(p, &colours, &indices);
    Com<IWICBitmapFrameEncode> frame;
    Com<IWICPalette> palette;
    hr = encoder->CreateNewFrame(&frame, nullptr);
    if (SUCCEEDED(hr)) hr = frame->Initialize(nullptr);
    if (SUCCEEDED(hr)) hr = frame->SetSize(p.width, p.height);
    WICPixelFormatGUID format = GUID_WICPixelFormat8bppIndexed;
    if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
    if (SUCCEEDED(hr)) hr = factory->CreatePalette(&palette);
    if (SUCCEEDED(hr)) hr = palette->InitializeCustom(colours.data(), (UINT)colours.size());
    if (SUCCEEDED(hr)) hr = frame->SetPalette(palette.get());
    if (SUCCEEDED(hr)) {
      hr = frame->WritePixels(p.height, p.width, (UINT)indices.size(), indices.data());
    }
    if (SUCCEEDED(hr)) hr = frame->Commit();
  }
  if (SUCCEEDED(hr)) hr = encoder->Commit();
  if (FAILED(hr)) {
    *error = HrText(L"encoding the GIF", hr);
    return false;
  }
  HGLOBAL global = nullptr;
  GetHGlobalFromStream(memory.get(), &global);
  STATSTG stat = {};
  memory->Stat(&stat, STATFLAG_NONAME);
  const BYTE* data = (const BYTE*)GlobalLock(global);
  std::vector<BYTE> encoded(data, data + (size_t)stat.cbSize.QuadPart);
  GlobalUnlock(global);
  std::vector<BYTE> animated;
  if (!AddAnimationBlocks(encoded, delayMs, &animated)) {
    *error = L"the GIF encoder wrote an unexpected stream";
    return false;
  }
  return WriteFileBytes(path, animated, error);
}

bool FirstDifference(const Picture& a, const Picture& b, int* x, int* y) {
  if (a.width != b.width || a.height != b.height) {
    *x = *y = -1;
    return true;
  }
  for (int j = 0; j < a.height; ++j) {
    for (int i = 0; i < a.width; ++i) {
      if (a.At(i, j) != b.At(i, j)) {
        *x = i;
        *y = j;
        return true;
      }
    }
  }
  return false;
}
