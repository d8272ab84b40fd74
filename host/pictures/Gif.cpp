// Animated GIFs of the strip, written directly: one palette for all frames,
// each frame indexed once at its own size, magnified as indices and packed
// with LZW.
#include <algorithm>
#include <unordered_map>

#include "Picture.h"
#include "ScopedWin.h"
#include "UserPath.h"

namespace {

// The frames' colours: all of them when there are at most 256, else the
// most frequent 256; `index` maps every colour that occurs to its entry.
void ChoosePalette(const std::vector<const Picture*>& frames, std::vector<DWORD>* palette,
                   std::unordered_map<DWORD, BYTE>* index) {
  std::unordered_map<DWORD, size_t> counts;
  for (const Picture* p : frames) {
    for (DWORD px : p->pixels)
      ++counts[px & 0xFFFFFF];
  }
  std::vector<std::pair<size_t, DWORD>> byCount;  // (count, colour)
  for (const auto& c : counts)
    byCount.push_back({c.second, c.first});
  std::sort(byCount.begin(), byCount.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first > b.first : a.second < b.second;
  });
  if (byCount.size() > 256)
    byCount.resize(256);
  palette->clear();
  for (const auto& c : byCount)
    palette->push_back(c.second);
  std::sort(palette->begin(), palette->end());
  for (const auto& c : counts) {
    DWORD p = c.first;
    long best = 0x7FFFFFFF;
    for (size_t k = 0; k < palette->size(); ++k) {
      DWORD q = (*palette)[k];
      long dr = (long)((p >> 16) & 0xFF) - (long)((q >> 16) & 0xFF);
      long dg = (long)((p >> 8) & 0xFF) - (long)((q >> 8) & 0xFF);
      long db = (long)(p & 0xFF) - (long)(q & 0xFF);
      long d = dr * dr + dg * dg + db * db;
      if (d < best) {
        best = d;
        (*index)[p] = (BYTE)k;
      }
    }
  }
}

// Codes of varying widths, packed from the lowest bit up.
class CodeWriter {
public:
  void Put(unsigned code, int bits) {
    buffer |= (unsigned long long)code << used;
    for (used += bits; used >= 8; used -= 8) {
      packed.push_back((BYTE)buffer);
      buffer >>= 8;
    }
  }
  // The codes as GIF data sub-blocks of up to 255 bytes, and the block that ends them.
  void Finish(std::vector<BYTE>* out) {
    if (used > 0) {
      packed.push_back((BYTE)buffer);
    }
    for (size_t at = 0; at < packed.size(); at += 255) {
      size_t n = std::min<size_t>(255, packed.size() - at);
      out->push_back((BYTE)n);
      out->insert(out->end(), packed.begin() + at, packed.begin() + at + n);
    }
    out->push_back(0);
  }

private:
  std::vector<BYTE> packed;
  unsigned long long buffer = 0;
  int used = 0;
};

// LZW with a child table: next[code * colours + index] is the code of that
// string followed by that index, 0 while there is none.
void CompressIndices(const std::vector<BYTE>& indices, int minCodeSize, std::vector<BYTE>* out) {
  const unsigned clear = 1u << minCodeSize, end = clear + 1, colours = clear;
  std::vector<unsigned short> next(4096 * colours);
  out->push_back((BYTE)minCodeSize);
  CodeWriter writer;
  unsigned nextCode = end + 1;
  int bits = minCodeSize + 1;
  writer.Put(clear, bits);
  unsigned current = indices[0];
  for (size_t i = 1; i < indices.size(); ++i) {
    unsigned k = indices[i];
    unsigned short& child = next[current * colours + k];
    if (child) {
      current = child;
      continue;
    }
    writer.Put(current, bits);
    unsigned added = nextCode++;
    child = (unsigned short)added;
    if (added >= (1u << bits))
      ++bits;
    if (added == 4095) {  // the table is full: start anew
      writer.Put(clear, bits);
      std::fill(next.begin(), next.end(), 0);
      nextCode = end + 1;
      bits = minCodeSize + 1;
    }
    current = k;
  }
  writer.Put(current, bits);
  writer.Put(end, bits);
  writer.Finish(out);
}

void Put16(std::vector<BYTE>* out, unsigned v) {
  out->push_back((BYTE)v);
  out->push_back((BYTE)(v >> 8));
}

}  // namespace

bool WriteAnimatedGif(const wchar_t* path, const std::vector<const Picture*>& frames, int scale,
                      int delayMs, std::wstring* error) {
  if (frames.empty()) {
    *error = L"an animation needs at least one picture";
    return false;
  }
  const int w = frames[0]->width, h = frames[0]->height;
  const int bigW = w * scale, bigH = h * scale;
  if (w <= 0 || h <= 0 || bigW > 65535 || bigH > 65535) {
    *error = L"an animation's frames must be 1 to 65535 pixels wide and high";
    return false;
  }
  std::vector<DWORD> palette;
  std::unordered_map<DWORD, BYTE> index;
  ChoosePalette(frames, &palette, &index);
  int bits = 1;
  while ((1u << bits) < palette.size())
    ++bits;

  std::vector<BYTE> gif = {'G', 'I', 'F', '8', '9', 'a'};
  Put16(&gif, bigW);
  Put16(&gif, bigH);
  gif.push_back((BYTE)(0x80 | ((bits - 1) << 4) | (bits - 1)));  // a global colour table
  gif.push_back(0);
  gif.push_back(0);
  for (size_t i = 0; i < (1u << bits); ++i) {
    DWORD c = i < palette.size() ? palette[i] : 0;
    gif.push_back((BYTE)(c >> 16));
    gif.push_back((BYTE)(c >> 8));
    gif.push_back((BYTE)c);
  }
  const BYTE loop[] = {0x21, 0xFF, 0x0B, 'N', 'E',  'T',  'S',  'C',  'A', 'P',
                       'E',  '2',  '.',  '0', 0x03, 0x01, 0x00, 0x00, 0x00};
  gif.insert(gif.end(), loop, loop + sizeof loop);
  int centis = (delayMs + 5) / 10;
  std::vector<BYTE> small((size_t)w * h), big((size_t)bigW * bigH);
  for (const Picture* p : frames) {
    if (p->width != w || p->height != h) {
      *error = L"an animation's frames must all have one size";
      return false;
    }
    for (size_t i = 0; i < small.size(); ++i)
      small[i] = index[p->pixels[i] & 0xFFFFFF];
    for (int y = 0; y < bigH; ++y) {
      const BYTE* from = &small[(size_t)(y / scale) * w];
      BYTE* to = &big[(size_t)y * bigW];
      for (int x = 0; x < bigW; ++x)
        to[x] = from[x / scale];
    }
    const BYTE control[] = {0x21, 0xF9, 0x04, 0x00, (BYTE)(centis & 0xFF), (BYTE)(centis >> 8),
                            0x00, 0x00};
    gif.insert(gif.end(), control, control + sizeof control);
    gif.push_back(0x2C);
    Put16(&gif, 0);
    Put16(&gif, 0);
    Put16(&gif, bigW);
    Put16(&gif, bigH);
    gif.push_back(0);
    CompressIndices(big, bits < 2 ? 2 : bits, &gif);
  }
  gif.push_back(0x3B);

  return WriteWholeFile(path, gif, error);
}
