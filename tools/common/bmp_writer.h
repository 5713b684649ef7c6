// Writes a 24-bit uncompressed BMP file from top-down red, green, blue pixels (for the asset makers).
#pragma once
#include <cstdint>
#include <cstdio>
#include <vector>

inline void PutLe(std::vector<unsigned char>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// rgbTopDown holds width * height * 3 bytes, the top row first. Returns false on a write error.
inline bool WriteBmp24(const char* path, int width, int height,
                       const std::vector<unsigned char>& rgbTopDown) {
  const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
  const uint32_t imageSize = stride * static_cast<uint32_t>(height);
  std::vector<unsigned char> out;
  out.push_back('B');
  out.push_back('M');
  PutLe(out, 14 + 40 + imageSize, 4);  // file size
  PutLe(out, 0, 4);                    // reserved
  PutLe(out, 14 + 40, 4);              // offset of the pixel bits
  PutLe(out, 40, 4);                   // information header
  PutLe(out, static_cast<uint32_t>(width), 4);
  PutLe(out, static_cast<uint32_t>(height), 4);  // positive: rows bottom-up
  PutLe(out, 1, 2);                              // planes
  PutLe(out, 24, 2);                             // bits per pixel
  PutLe(out, 0, 4);                              // no compression
  PutLe(out, imageSize, 4);
  PutLe(out, 2835, 4);  // 72 dots per inch
  PutLe(out, 2835, 4);
  PutLe(out, 0, 4);  // colours used
  PutLe(out, 0, 4);  // important colours
  for (int y = height - 1; y >= 0; --y) {
    const unsigned char* row = rgbTopDown.data() + static_cast<std::size_t>(y) * width * 3;
    for (int x = 0; x < width; ++x) {
      out.push_back(row[3 * x + 2]);
      out.push_back(row[3 * x + 1]);
      out.push_back(row[3 * x + 0]);
    }
    for (uint32_t pad = static_cast<uint32_t>(width) * 3; pad < stride; ++pad) out.push_back(0);
  }
  FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
  return std::fclose(file) == 0 && ok;
}
