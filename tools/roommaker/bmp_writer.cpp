// 24-bit BMP output: file header, information header, bottom-up padded rows.
#include "tools/roommaker/bmp_writer.h"

#include <cstdint>
#include <cstdio>

Picture MakePicture(int width, int height) {
  Picture p;
  p.width = width;
  p.height = height;
  p.rgb.assign(static_cast<size_t>(width) * height * 3, 0);
  return p;
}

static void Put16(std::vector<unsigned char>& out, uint32_t v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}

static void Put32(std::vector<unsigned char>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

bool WriteBmp24(const char* path, const Picture& picture) {
  const uint32_t stride = (static_cast<uint32_t>(picture.width) * 3 + 3) & ~3u;
  const uint32_t imageSize = stride * static_cast<uint32_t>(picture.height);
  std::vector<unsigned char> out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, 14 + 40 + imageSize);
  Put32(out, 0);
  Put32(out, 14 + 40);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(picture.width));
  Put32(out, static_cast<uint32_t>(picture.height));
  Put16(out, 1);
  Put16(out, 24);
  Put32(out, 0);          // no compression
  Put32(out, imageSize);
  Put32(out, 2835);       // 72 dots per inch
  Put32(out, 2835);
  Put32(out, 0);
  Put32(out, 0);
  for (int y = picture.height - 1; y >= 0; --y) {
    const unsigned char* row = &picture.rgb[static_cast<size_t>(y) * picture.width * 3];
    for (int x = 0; x < picture.width; ++x) {
      out.push_back(row[3 * x + 2]);
      out.push_back(row[3 * x + 1]);
      out.push_back(row[3 * x]);
    }
    for (uint32_t pad = static_cast<uint32_t>(picture.width) * 3; pad < stride; ++pad) out.push_back(0);
  }
  FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
  return std::fclose(file) == 0 && ok;
}
