// Animated GIFs, written directly: one palette for all frames, each frame
// indexed at its own size, magnified as indices and packed with LZW.
#include <algorithm>
#include <unordered_map>

#include "Picture.h"
#include "UserPath.h"

namespace {

long Distance(DWORD p, DWORD q) {
  long d = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    long c = (long)((p >> shift) & 0xFF) - (long)((q >> shift) & 0xFF);
    d += c * c;
  }
  return d;
}

// The frames' colours, at most the 256 most frequent, sorted; `index` maps
// every colour that occurs to its nearest entry.
std::vector<DWORD> ChoosePalette(const std::vector<const Picture*>& frames,
                                 std::unordered_map<DWORD, BYTE>* index) {
  std::unordered_map<DWORD, size_t> counts;
  for (const Picture* p : frames) {
    for (DWORD px : p->pixels)
      ++counts[px & 0xFFFFFF];
  }
  std::vector<std::pair<size_t, DWORD>> byCount;  // the most frequent first
  for (const auto& c : counts)
    byCount.push_back({SIZE_MAX - c.second, c.first});
  std::sort(byCount.begin(), byCount.end());
  std::vector<DWORD> palette;
  for (size_t i = 0; i < byCount.size() && i < 256; ++i)
    palette.push_back(byCount[i].second);
  std::sort(palette.begin(), palette.end());
  for (const auto& c : counts) {
    auto nearer = [&](DWORD a, DWORD b) { return Distance(c.first, a) < Distance(c.first, b); };
    (*index)[c.first] =
        (BYTE)(std::min_element(palette.begin(), palette.end(), nearer) - palette.begin());
  }
  return palette;
}

// LZW with a child table: next[code * colours + index] is the code of that
// string followed by that index, 0 while there is none. The codes are packed
// from the lowest bit up, in data sub-blocks of up to 255 bytes.
void CompressIndices(const std::vector<BYTE>& indices, int minCodeSize, std::vector<BYTE>* out) {
  const unsigned clear = 1u << minCodeSize, end = clear + 1, colours = clear;
  std::vector<unsigned short> next(4096 * colours);
  std::vector<BYTE> packed;
  unsigned long long buffer = 0;
  int used = 0, bits = minCodeSize + 1;
  auto put = [&](unsigned code) {
    buffer |= (unsigned long long)code << used;
    for (used += bits; used >= 8; used -= 8, buffer >>= 8)
      packed.push_back((BYTE)buffer);
  };
  unsigned nextCode = end + 1, current = indices[0];
  put(clear);
  for (size_t i = 1; i < indices.size(); ++i) {
    unsigned k = indices[i];
    unsigned short& child = next[current * colours + k];
    if (child) {
      current = child;
      continue;
    }
    put(current);
    child = (unsigned short)nextCode;
    if (nextCode >= (1u << bits))
      ++bits;
    if (nextCode++ == 4095) {  // the table is full: start anew
      put(clear);
      std::fill(next.begin(), next.end(), 0);
      nextCode = end + 1;
      bits = minCodeSize + 1;
    }
    current = k;
  }
  put(current);
  put(end);
  if (used > 0)
    packed.push_back((BYTE)buffer);
  out->push_back((BYTE)minCodeSize);
  for (size_t at = 0; at < packed.size(); at += 255) {
    size_t n = std::min<size_t>(255, packed.size() - at);
    out->push_back((BYTE)n);
    out->insert(out->end(), packed.begin() + at, packed.begin() + at + n);
  }
  out->push_back(0);
}

void Put(std::vector<BYTE>* out, std::initializer_list<unsigned> bytes) {
  for (unsigned b : bytes)
    out->push_back((BYTE)b);
}

}  // namespace

bool WriteAnimatedGif(const wchar_t* path, const std::vector<const Picture*>& frames, int scale,
                      int delayMs, std::wstring* error) {
  const int w = frames.empty() ? 0 : frames[0]->width, h = frames.empty() ? 0 : frames[0]->height;
  const unsigned bigW = w * scale, bigH = h * scale;
  if (w <= 0 || h <= 0 || bigW > 65535 || bigH > 65535 ||
      std::any_of(frames.begin(), frames.end(),
                  [&](const Picture* p) { return p->width != w || p->height != h; })) {
    *error = L"an animation needs frames of one size, 1 to 65535 pixels wide and high";
    return false;
  }
  std::unordered_map<DWORD, BYTE> index;
  std::vector<DWORD> palette = ChoosePalette(frames, &index);
  int bits = 1;
  while ((1u << bits) < palette.size())
    ++bits;
  std::vector<BYTE> gif = {'G', 'I', 'F', '8', '9', 'a'};
  // The screen, with a global colour table of 2^bits entries.
  Put(&gif,
      {bigW & 0xFF, bigW >> 8, bigH & 0xFF, bigH >> 8, 0x80u | (bits - 1) << 4 | (bits - 1), 0, 0});
  palette.resize(1u << bits);
  for (DWORD c : palette)
    Put(&gif, {(BYTE)(c >> 16), (BYTE)(c >> 8), (BYTE)c});
  Put(&gif, {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 0x03, 0x01,
             0x00, 0x00, 0x00});  // loop for ever
  unsigned centis = (delayMs + 5) / 10;
  std::vector<BYTE> small((size_t)w * h), big((size_t)bigW * bigH);
  for (const Picture* p : frames) {
    for (size_t i = 0; i < small.size(); ++i)
      small[i] = index[p->pixels[i] & 0xFFFFFF];
    for (size_t i = 0; i < big.size(); ++i)
      big[i] = small[(i / bigW / scale) * w + i % bigW / scale];
    // Its delay, then its place: the whole screen.
    Put(&gif, {0x21, 0xF9, 0x04, 0x00, centis & 0xFF, centis >> 8, 0x00, 0x00});
    Put(&gif, {0x2C, 0, 0, 0, 0, bigW & 0xFF, bigW >> 8, bigH & 0xFF, bigH >> 8, 0});
    CompressIndices(big, bits < 2 ? 2 : bits, &gif);
  }
  gif.push_back(0x3B);
  return WriteWholeFile(path, gif, error);
}
