// MapToBmp: turns a pixel map (one letter per pixel, rows top to bottom, '#'
// lines are comments) into a 4-bit bitmap file over the standard 16-colour
// palette. The item's .bmp files are made with it and committed; the item
// tests check every pixel of the compiled resources against the same maps.
//
//   c++ -std=c++17 -o maptobmp MapToBmp.cpp
//   for m in Dial BatteryIcon MemoryIcon StorageIcon FrameLogo; do
//     ./maptobmp $m.map ../$m.bmp; done
//
// Standard C++ only, so it builds with any host compiler.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The standard 16-colour palette as (r, g, b).
const uint8_t kPalette[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                 {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                 {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                 {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

// Letters used by the maps and their palette entries.
int PaletteIndex(char letter) {
  switch (letter) {
    case 'k':
      return 0;  // black
    case 'd':
      return 1;  // maroon
    case 'o':
      return 3;  // olive
    case 'e':
      return 8;  // grey
    case 'r':
      return 9;  // red
    case 'g':
      return 10;  // green
    case 'y':
      return 11;  // yellow
    case 'w':
      return 15;  // white
    default:
      return -1;
  }
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: maptobmp MAP BMP\n");
    return 2;
  }
  FILE* in = std::fopen(argv[1], "r");
  if (!in) {
    std::fprintf(stderr, "maptobmp: cannot read %s\n", argv[1]);
    return 1;
  }
  std::vector<std::string> rows;
  char line[512];
  while (std::fgets(line, sizeof line, in)) {
    std::string row(line);
    while (!row.empty() && (row.back() == '\n' || row.back() == '\r'))
      row.pop_back();
    if (row.empty() || row[0] == '#')
      continue;
    rows.push_back(row);
  }
  std::fclose(in);
  if (rows.empty()) {
    std::fprintf(stderr, "maptobmp: %s holds no rows\n", argv[1]);
    return 1;
  }
  const uint32_t width = rows[0].size(), height = rows.size();
  for (const std::string& row : rows) {
    if (row.size() != width) {
      std::fprintf(stderr, "maptobmp: rows of %s differ in length\n", argv[1]);
      return 1;
    }
    for (char c : row) {
      if (PaletteIndex(c) < 0) {
        std::fprintf(stderr, "maptobmp: unknown letter '%c' in %s\n", c, argv[1]);
        return 1;
      }
    }
  }

  const uint32_t stride = ((width * 4 + 31) / 32) * 4;  // rows padded to 4 bytes
  const uint32_t bitsOffset = 14 + 40 + 16 * 4;
  const uint32_t imageSize = stride * height;
  std::vector<uint8_t> out;
  // BITMAPFILEHEADER
  out.push_back('B');
  out.push_back('M');
  Put32(out, bitsOffset + imageSize);
  Put32(out, 0);
  Put32(out, bitsOffset);
  // BITMAPINFOHEADER
  Put32(out, 40);
  Put32(out, width);
  Put32(out, height);
  Put16(out, 1);  // planes
  Put16(out, 4);  // bits per pixel
  Put32(out, 0);  // BI_RGB
  Put32(out, imageSize);
  Put32(out, 2835);  // 72 dpi
  Put32(out, 2835);
  Put32(out, 16);                   // colours used
  Put32(out, 16);                   // colours important
  for (const auto& c : kPalette) {  // RGBQUAD: blue, green, red, reserved
    out.push_back(c[2]);
    out.push_back(c[1]);
    out.push_back(c[0]);
    out.push_back(0);
  }
  for (uint32_t y = height; y-- > 0;) {  // bottom-up
    std::vector<uint8_t> packed(stride, 0);
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t index = static_cast<uint8_t>(PaletteIndex(rows[y][x]));
      packed[x / 2] |= (x % 2 == 0) ? static_cast<uint8_t>(index << 4) : index;
    }
    out.insert(out.end(), packed.begin(), packed.end());
  }

  FILE* file = std::fopen(argv[2], "wb");
  if (!file || std::fwrite(out.data(), 1, out.size(), file) != out.size()) {
    std::fprintf(stderr, "maptobmp: cannot write %s\n", argv[2]);
    if (file)
      std::fclose(file);
    return 1;
  }
  std::fclose(file);
  return 0;
}
