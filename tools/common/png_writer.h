// Writes an 8-bit RGB PNG file: our own chunks around zlib's compression and checksum.
#pragma once
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace png_writer {

inline void PutBe(std::vector<unsigned char>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(value >> shift));
}

inline void PutChunk(std::vector<unsigned char>& out, const char type[4], const std::vector<unsigned char>& body) {
  PutBe(out, static_cast<uint32_t>(body.size()));
  std::vector<unsigned char> typed(type, type + 4);
  typed.insert(typed.end(), body.begin(), body.end());
  out.insert(out.end(), typed.begin(), typed.end());
  PutBe(out, static_cast<uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
}

// The zlib stream of raw, at the best compression.
inline bool Deflate(const std::vector<unsigned char>& raw, std::vector<unsigned char>* out) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  out->resize(size);
  if (compress2(out->data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK) return false;
  out->resize(size);
  return true;
}

// rgb holds width * height * 3 bytes, the top row first. Returns false on a write error.
inline bool WritePngRgb(const char* path, int width, int height, const std::vector<unsigned char>& rgb) {
  if (width <= 0 || height <= 0 || rgb.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 3)
    return false;
  std::vector<unsigned char> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<unsigned char> header;
  PutBe(header, static_cast<uint32_t>(width));
  PutBe(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter method, no interlace
  PutChunk(out, "IHDR", header);
  std::vector<unsigned char> raw;
  const size_t stride = static_cast<size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // filter type None
    raw.insert(raw.end(), rgb.begin() + static_cast<long>(y * stride), rgb.begin() + static_cast<long>((y + 1) * stride));
  }
  std::vector<unsigned char> compressed;
  if (!Deflate(raw, &compressed)) return false;
  PutChunk(out, "IDAT", compressed);
  PutChunk(out, "IEND", {});
  FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
  return std::fclose(file) == 0 && ok;
}

}  // namespace png_writer
