// Our own BMP decoder: every header kind, depth and compression a bitmap file may use.
#include "model/bitmap_decode.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Offsets inside the file are checked in 64 bits, so no field can wrap them.
struct Bytes {
  const unsigned char* data;
  uint64_t size;
  bool Has(uint64_t offset, uint64_t count) const { return offset <= size && count <= size - offset; }
  uint32_t U16(uint64_t at) const { return data[at] | (data[at + 1] << 8); }
  uint32_t U32(uint64_t at) const {
    return static_cast<uint32_t>(data[at]) | (static_cast<uint32_t>(data[at + 1]) << 8) |
           (static_cast<uint32_t>(data[at + 2]) << 16) | (static_cast<uint32_t>(data[at + 3]) << 24);
  }
};

enum Compression : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3 };

struct Header {
  int64_t width;
  int64_t height;       // negative: rows stored top-down
  uint32_t bitCount;
  uint32_t compression;
  uint32_t sizeImage;
  uint64_t colourCount;  // entries the colour table claims
  uint32_t entrySize;    // 3 (core header) or 4 bytes per colour-table entry
  uint64_t tableOffset;
  uint32_t masks[3];     // red, green, blue for 16 and 32 bits per pixel
};

struct Rgb {
  unsigned char r, g, b;
};

// One channel of a bit-field pixel: where it sits and how wide it is.
struct Channel {
  uint32_t shift;
  uint32_t width;
};

bool MakeChannel(uint32_t mask, Channel* channel) {
  channel->shift = 0;
  channel->width = 0;
  if (mask == 0) return true;
  while (!(mask & 1u)) {
    mask >>= 1;
    ++channel->shift;
  }
  if (mask & (mask + 1)) return false;  // the set bits must be one run
  while (mask) {
    mask >>= 1;
    ++channel->width;
  }
  return true;
}

unsigned char ChannelValue(uint32_t pixel, const Channel& c) {
  if (c.width == 0) return 0;
  uint32_t max = (c.width >= 32) ? 0xFFFFFFFFu : ((1u << c.width) - 1u);
  uint32_t v = (pixel >> c.shift) & max;
  if (c.width >= 8) return static_cast<unsigned char>(v >> (c.width - 8));
  return static_cast<unsigned char>((v * 255u + max / 2u) / max);
}

BitmapResult ReadHeader(const Bytes& in, uint64_t headerAt, Header* h) {
  if (!in.Has(headerAt, 4)) return BitmapUnknownFormat;
  uint32_t headerSize = in.U32(headerAt);
  std::memset(h, 0, sizeof *h);
  if (headerSize == 12) {
    if (!in.Has(headerAt, 12)) return BitmapUnknownFormat;
    h->width = in.U16(headerAt + 4);
    h->height = in.U16(headerAt + 6);
    h->bitCount = in.U16(headerAt + 10);
    h->compression = kRgb;
    h->entrySize = 3;
  } else if (headerSize == 40) {
    if (!in.Has(headerAt, 40)) return BitmapUnknownFormat;
    h->width = static_cast<int32_t>(in.U32(headerAt + 4));
    h->height = static_cast<int32_t>(in.U32(headerAt + 8));
    h->bitCount = in.U16(headerAt + 14);
    h->compression = in.U32(headerAt + 16);
    h->sizeImage = in.U32(headerAt + 20);
    h->colourCount = in.U32(headerAt + 32);
    h->entrySize = 4;
  } else {
    return BitmapUnknownFormat;
  }
  if (h->colourCount == 0) {
    if (h->bitCount == 1) h->colourCount = 2;
    if (h->bitCount == 4) h->colourCount = 16;
    if (h->bitCount == 8) h->colourCount = 256;
  }
  h->tableOffset = headerAt + headerSize;
  if (h->compression == kBitFields) {
    if (!in.Has(h->tableOffset, 12)) return BitmapConversionError;
    for (int i = 0; i < 3; ++i) h->masks[i] = in.U32(h->tableOffset + 4 * i);
    h->tableOffset += 12;  // the masks stand where a colour table would begin
  } else if (h->bitCount == 16) {
    h->masks[0] = 0x7C00; h->masks[1] = 0x03E0; h->masks[2] = 0x001F;
  } else if (h->bitCount == 32) {
    h->masks[0] = 0xFF0000; h->masks[1] = 0xFF00; h->masks[2] = 0xFF;
  }
  return BitmapOk;
}

BitmapResult CheckHeader(const Header& h) {
  switch (h.bitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return BitmapConversionError;
  }
  bool topDown = h.height < 0;
  switch (h.compression) {
    case kRgb: break;
    case kRle8: if (h.bitCount != 8 || topDown) return BitmapConversionError; break;
    case kRle4: if (h.bitCount != 4 || topDown) return BitmapConversionError; break;
    case kBitFields: if (h.bitCount != 16 && h.bitCount != 32) return BitmapConversionError; break;
    default: return BitmapConversionError;
  }
  int64_t rows = topDown ? -h.height : h.height;
  if (h.width <= 0 || rows <= 0 || h.width > kMaxBitmapSide || rows > kMaxBitmapSide)
    return BitmapConversionError;
  if (h.width * rows > kMaxBitmapPixels) return BitmapOutOfMemory;
  return BitmapOk;
}

// The colour table as RGB; indices past its usable entries give black, as
// a zero-filled picture would.
BitmapResult ReadPalette(const Bytes& in, const Header& h, Rgb palette[256]) {
  std::memset(palette, 0, 256 * sizeof(Rgb));
  if (h.bitCount > 8) return BitmapOk;
  uint64_t used = h.colourCount;
  uint64_t limit = 1u << h.bitCount;
  if (used > limit) used = limit;
  if (!in.Has(h.tableOffset, used * h.entrySize)) return BitmapConversionError;
  for (uint64_t i = 0; i < used; ++i) {
    const unsigned char* e = in.data + h.tableOffset + i * h.entrySize;
    palette[i] = Rgb{e[2], e[1], e[0]};
  }
  return BitmapOk;
}

void Put(RgbImage* img, int64_t x, int64_t y, Rgb c) {
  unsigned char* p = img->pixels + (static_cast<size_t>(y) * img->width + static_cast<size_t>(x)) * 3;
  p[0] = c.r;
  p[1] = c.g;
  p[2] = c.b;
}

BitmapResult DecodeRows(const Bytes& in, uint64_t bitsAt, const Header& h, const Rgb* palette,
                        RgbImage* img) {
  const int64_t w = img->width;
  const int64_t rows = img->height;
  const uint64_t stride = ((static_cast<uint64_t>(w) * h.bitCount + 31) / 32) * 4;
  if (!in.Has(bitsAt, stride * static_cast<uint64_t>(rows))) return BitmapConversionError;
  Channel ch[3];
  if (h.bitCount == 16 || h.bitCount == 32) {
    for (int i = 0; i < 3; ++i)
      if (!MakeChannel(h.masks[i], &ch[i])) return BitmapConversionError;
  }
  for (int64_t fileRow = 0; fileRow < rows; ++fileRow) {
    const unsigned char* src = in.data + bitsAt + static_cast<uint64_t>(fileRow) * stride;
    int64_t y = (h.height < 0) ? rows - 1 - fileRow : fileRow;
    for (int64_t x = 0; x < w; ++x) {
      Rgb c;
      switch (h.bitCount) {
        case 1: c = palette[(src[x >> 3] >> (7 - (x & 7))) & 1]; break;
        case 4: c = palette[(x & 1) ? (src[x >> 1] & 15) : (src[x >> 1] >> 4)]; break;
        case 8: c = palette[src[x]]; break;
        case 24: c = Rgb{src[3 * x + 2], src[3 * x + 1], src[3 * x]}; break;
        default: {
          const unsigned char* s = src + x * (h.bitCount / 8);
          uint32_t v = s[0] | (s[1] << 8);
          if (h.bitCount == 32) v |= (static_cast<uint32_t>(s[2]) << 16) | (static_cast<uint32_t>(s[3]) << 24);
          c = Rgb{ChannelValue(v, ch[0]), ChannelValue(v, ch[1]), ChannelValue(v, ch[2])};
        }
      }
      Put(img, x, y, c);
    }
  }
  return BitmapOk;
}

// RLE8 and RLE4: runs, end of line, end of bitmap, delta and absolute runs.
// Pixels past the right edge are dropped; pixels never written stay black.
BitmapResult DecodeRle(const Bytes& in, uint64_t bitsAt, const Header& h, const Rgb* palette,
                       RgbImage* img) {
  if (bitsAt > in.size) return BitmapConversionError;
  uint64_t end = in.size;
  if (h.sizeImage != 0) {
    if (!in.Has(bitsAt, h.sizeImage)) return BitmapConversionError;  // the size field lies
    end = bitsAt + h.sizeImage;
  }
  const bool four = h.compression == kRle4;
  const int64_t w = img->width;
  const int64_t rows = img->height;
  int64_t x = 0, y = 0;
  uint64_t p = bitsAt;
  auto put = [&](unsigned index) {
    if (x < w && y < rows) Put(img, x, y, palette[index]);
    ++x;
  };
  while (y < rows) {
    if (end - p < 2) return BitmapConversionError;  // ended before its end-of-bitmap mark
    unsigned count = in.data[p];
    unsigned value = in.data[p + 1];
    p += 2;
    if (count > 0) {
      for (unsigned i = 0; i < count; ++i) put(four ? ((i & 1) ? (value & 15) : (value >> 4)) : value);
      continue;
    }
    if (value == 0) {
      x = 0;
      ++y;
    } else if (value == 1) {
      return BitmapOk;
    } else if (value == 2) {
      if (end - p < 2) return BitmapConversionError;
      x += in.data[p];
      y += in.data[p + 1];
      p += 2;
    } else {
      uint64_t bytes = four ? (value + 1) / 2 : value;
      if (end - p < bytes) return BitmapConversionError;
      for (unsigned i = 0; i < value; ++i) {
        unsigned index = four ? ((i & 1) ? (in.data[p + i / 2] & 15) : (in.data[p + i / 2] >> 4))
                              : in.data[p + i];
        put(index);
      }
      p += bytes + (bytes & 1);  // absolute runs are padded to a 16-bit boundary
      if (p > end) p = end;
    }
  }
  return BitmapOk;
}

}  // namespace

const char* BitmapResultText(BitmapResult result) {
  switch (result) {
    case BitmapUnknownFormat: return "Unknown DIB file format.";
    case BitmapConversionError: return "Image file conversion error.";
    case BitmapOutOfMemory: return "Out of memory.";
    default: return "";
  }
}

BitmapResult DecodeBitmap(const unsigned char* data, std::size_t size, RgbImage** image) {
  *image = nullptr;
  Bytes in{data, size};
  bool fileHeader = size >= 2 && data[0] == 'B' && data[1] == 'M';
  uint64_t headerAt = 0;
  uint64_t bitsAt = 0;
  if (fileHeader) {
    if (!in.Has(0, 14)) return BitmapUnknownFormat;
    bitsAt = in.U32(10);
    headerAt = 14;
  }
  Header h;
  BitmapResult result = ReadHeader(in, headerAt, &h);
  if (result == BitmapOk) result = CheckHeader(h);
  if (result != BitmapOk) return result;
  if (!fileHeader) bitsAt = h.tableOffset + h.colourCount * h.entrySize;

  Rgb palette[256];
  result = ReadPalette(in, h, palette);
  if (result != BitmapOk) return result;

  RgbImage* img = static_cast<RgbImage*>(std::malloc(sizeof(RgbImage)));
  if (!img) return BitmapOutOfMemory;
  img->width = static_cast<int>(h.width);
  img->height = static_cast<int>(h.height < 0 ? -h.height : h.height);
  size_t bytes = static_cast<size_t>(img->width) * static_cast<size_t>(img->height) * 3;
  img->pixels = static_cast<unsigned char*>(std::calloc(bytes, 1));
  if (!img->pixels) {
    std::free(img);
    return BitmapOutOfMemory;
  }
  bool rle = h.compression == kRle8 || h.compression == kRle4;
  result = rle ? DecodeRle(in, bitsAt, h, palette, img) : DecodeRows(in, bitsAt, h, palette, img);
  if (result != BitmapOk) {
    std::free(img->pixels);
    std::free(img);
    return result;
  }
  *image = img;
  return BitmapOk;
}
