// The BMP decoder: every header kind and depth gives the same picture; bad files fail safely.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "model/bitmap_decode.h"

namespace {

struct Colour {
  unsigned char r, g, b;
  bool operator==(const Colour& o) const { return r == o.r && g == o.g && b == o.b; }
};

// Channels from {0, 66, 132, 197, 255} survive 5 bits per channel exactly.
const Colour kPalette[16] = {{0, 0, 0},     {255, 255, 255}, {255, 0, 0},    {0, 255, 0},
                             {0, 0, 255},   {66, 132, 197},  {197, 66, 0},   {132, 132, 132},
                             {255, 197, 66}, {0, 66, 132},   {132, 0, 255},  {66, 255, 197},
                             {197, 197, 0}, {255, 132, 132}, {0, 197, 66},   {132, 66, 255}};

// A 7 by 5 picture (odd width: every depth needs row padding) as palette
// indices, top row first; `colours` is 2 or 16.
struct Picture {
  int width = 7, height = 5, colours;
  std::vector<int> index;  // top row first
  explicit Picture(int c) : colours(c) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) index.push_back(c == 2 ? ((x * 3 + y) % 5 < 2) : (x * 5 + y * 3 + (x == y)) % 16);
    // A run of equal pixels so that the RLE encoder makes runs as well as absolute blocks.
    for (int x = 1; x < 6; ++x) index[2 * width + x] = (c == 2) ? 1 : 4;
  }
  Colour At(int x, int yTop) const { return kPalette[index[yTop * width + x]]; }
};

enum class Kind { Core, Info };
enum class Packing { Rgb, Rle, BitFields };

struct Options {
  int depth;
  Kind kind = Kind::Info;
  bool fileHeader = true;
  bool topDown = false;
  Packing packing = Packing::Rgb;
  uint32_t masks[3] = {0, 0, 0};
  uint32_t colourCount = 0;  // the header's colours-used field
};

void Put(std::vector<unsigned char>& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

uint32_t Pack(Colour c, const uint32_t masks[3]) {
  uint32_t v = 0;
  const unsigned char channel[3] = {c.r, c.g, c.b};
  for (int i = 0; i < 3; ++i) {
    uint32_t m = masks[i];
    int shift = 0, width = 0;
    while (!(m & 1)) m >>= 1, ++shift;
    while (m & 1) m >>= 1, ++width;
    v |= (static_cast<uint32_t>(channel[i]) >> (8 - width)) << shift;
  }
  return v;
}

// One row of an RLE picture: runs of equal indices, absolute blocks of the rest, end of line.
void RleRow(std::vector<unsigned char>& out, const std::vector<int>& row, bool four) {
  size_t x = 0;
  while (x < row.size()) {
    size_t run = 1;
    while (x + run < row.size() && row[x + run] == row[x] && run < 255) ++run;
    if (run >= 3 || row.size() - x < 3) {
      out.push_back(static_cast<unsigned char>(run));
      out.push_back(static_cast<unsigned char>(four ? (row[x] << 4 | row[x]) : row[x]));
      x += run;
      continue;
    }
    size_t n = 0;  // absolute block up to the next run of three
    while (x + n < row.size() && !(x + n + 2 < row.size() && row[x + n] == row[x + n + 1] && row[x + n] == row[x + n + 2]))
      ++n;
    if (n < 3) n = 3;
    if (x + n > row.size()) n = row.size() - x;
    out.push_back(0);
    out.push_back(static_cast<unsigned char>(n));
    size_t bytes = four ? (n + 1) / 2 : n;
    for (size_t i = 0; i < bytes; ++i) {
      if (four) {
        int hi = row[x + 2 * i], lo = (x + 2 * i + 1 < x + n) ? row[x + 2 * i + 1] : 0;
        out.push_back(static_cast<unsigned char>(hi << 4 | lo));
      } else {
        out.push_back(static_cast<unsigned char>(row[x + i]));
      }
    }
    if (bytes & 1) out.push_back(0);
    x += n;
  }
  out.push_back(0);
  out.push_back(0);
}

std::vector<unsigned char> Encode(const Picture& p, const Options& o) {
  const bool palette = o.depth <= 8;
  std::vector<unsigned char> table;
  int entries = palette ? (o.colourCount ? static_cast<int>(o.colourCount) : (1 << o.depth)) : static_cast<int>(o.colourCount);
  for (int i = 0; i < entries; ++i) {
    Colour c = i < 16 ? kPalette[i] : Colour{9, 9, 9};
    table.insert(table.end(), {c.b, c.g, c.r});
    if (o.kind == Kind::Info) table.push_back(0);
  }
  if (o.packing == Packing::BitFields)
    for (int i = 2; i >= 0; --i) table.insert(table.begin(), {static_cast<unsigned char>(o.masks[i]), static_cast<unsigned char>(o.masks[i] >> 8), static_cast<unsigned char>(o.masks[i] >> 16), static_cast<unsigned char>(o.masks[i] >> 24)});

  std::vector<unsigned char> bits;
  for (int r = 0; r < p.height; ++r) {
    int yTop = o.topDown ? r : p.height - 1 - r;
    std::vector<int> row(p.index.begin() + yTop * p.width, p.index.begin() + (yTop + 1) * p.width);
    if (o.packing == Packing::Rle) {
      RleRow(bits, row, o.depth == 4);
      continue;
    }
    size_t start = bits.size();
    if (o.depth < 8) {
      int perByte = 8 / o.depth;
      for (int x = 0; x < p.width; x += perByte) {
        unsigned char b = 0;
        for (int k = 0; k < perByte && x + k < p.width; ++k) b |= row[x + k] << (8 - o.depth * (k + 1));
        bits.push_back(b);
      }
    } else {
      for (int x = 0; x < p.width; ++x) {
        Colour c = kPalette[row[x]];
        if (o.depth == 8) bits.push_back(static_cast<unsigned char>(row[x]));
        if (o.depth == 24) bits.insert(bits.end(), {c.b, c.g, c.r});
        if (o.depth == 16 || o.depth == 32) {
          static const uint32_t rgb16[3] = {0x7C00, 0x03E0, 0x001F}, rgb32[3] = {0xFF0000, 0xFF00, 0xFF};
          const uint32_t* masks = o.packing == Packing::BitFields ? o.masks : (o.depth == 16 ? rgb16 : rgb32);
          Put(bits, Pack(c, masks), o.depth / 8);
        }
      }
    }
    while ((bits.size() - start) % 4) bits.push_back(0);
  }
  if (o.packing == Packing::Rle) bits.insert(bits.end(), {0, 1});

  std::vector<unsigned char> header;
  uint32_t compression = o.packing == Packing::Rle ? (o.depth == 8 ? 1 : 2) : (o.packing == Packing::BitFields ? 3 : 0);
  if (o.kind == Kind::Core) {
    Put(header, 12, 4);
    Put(header, p.width, 2);
    Put(header, p.height, 2);
    Put(header, 1, 2);
    Put(header, o.depth, 2);
  } else {
    Put(header, 40, 4);
    Put(header, p.width, 4);
    Put(header, static_cast<uint32_t>(o.topDown ? -p.height : p.height), 4);
    Put(header, 1, 2);
    Put(header, o.depth, 2);
    Put(header, compression, 4);
    Put(header, o.packing == Packing::Rle ? static_cast<uint32_t>(bits.size()) : 0, 4);
    Put(header, 0, 4);
    Put(header, 0, 4);
    Put(header, o.colourCount, 4);
    Put(header, 0, 4);
  }
  std::vector<unsigned char> out;
  if (o.fileHeader) {
    uint32_t offset = 14 + static_cast<uint32_t>(header.size() + table.size());
    out = {'B', 'M'};
    Put(out, offset + static_cast<uint32_t>(bits.size()), 4);
    Put(out, 0, 4);
    Put(out, offset, 4);
  }
  out.insert(out.end(), header.begin(), header.end());
  out.insert(out.end(), table.begin(), table.end());
  out.insert(out.end(), bits.begin(), bits.end());
  return out;
}

// Decodes from a block of exactly the file's size, so that AddressSanitizer
// sees any read past its end.
BitmapResult Decode(const std::vector<unsigned char>& file, RgbImage** image, size_t length) {
  unsigned char* copy = static_cast<unsigned char*>(std::malloc(length ? length : 1));
  if (length) std::memcpy(copy, file.data(), length);
  BitmapResult result = DecodeBitmap(copy, length, image);
  std::free(copy);
  return result;
}

BitmapResult Decode(const std::vector<unsigned char>& file, RgbImage** image) {
  return Decode(file, image, file.size());
}

void Release(RgbImage* image) {
  if (!image) return;
  std::free(image->pixels);
  std::free(image);
}

// Compares a decoded image (rows bottom first) with the picture.
std::string Mismatch(const RgbImage* image, const Picture& p) {
  if (image->width != p.width || image->height != p.height)
    return "size " + std::to_string(image->width) + "x" + std::to_string(image->height);
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      const unsigned char* got = image->pixels + ((p.height - 1 - y) * p.width + x) * 3;
      Colour want = p.At(x, y);
      if (!(Colour{got[0], got[1], got[2]} == want))
        return "pixel " + std::to_string(x) + "," + std::to_string(y) + " (top row 0): got " +
               std::to_string(got[0]) + " " + std::to_string(got[1]) + " " + std::to_string(got[2]) + ", expected " +
               std::to_string(want.r) + " " + std::to_string(want.g) + " " + std::to_string(want.b);
    }
  }
  return "";
}

struct Case {
  const char* name;
  int colours;
  Options options;
};

std::vector<Case> EveryKind() {
  std::vector<Case> cases;
  for (bool fileHeader : {true, false}) {
    for (Kind kind : {Kind::Core, Kind::Info}) {
      for (int depth : {1, 4, 8, 24}) {
        Options o;
        o.depth = depth;
        o.kind = kind;
        o.fileHeader = fileHeader;
        cases.push_back({"palette or 24-bit", depth == 1 ? 2 : 16, o});
        if (depth <= 8) cases.push_back({"2-colour picture", 2, o});
      }
    }
    for (int depth : {16, 32}) {
      Options o;
      o.depth = depth;
      o.fileHeader = fileHeader;
      cases.push_back({"16/32 default masks", 16, o});
      o.topDown = true;
      cases.push_back({"16/32 top-down", 16, o});
      Options b = o;
      b.topDown = false;
      b.packing = Packing::BitFields;
      if (depth == 16) {
        b.masks[0] = 0x001F; b.masks[1] = 0x03E0; b.masks[2] = 0x7C00;  // blue and red swapped
      } else {
        b.masks[0] = 0xFF; b.masks[1] = 0xFF00; b.masks[2] = 0xFF0000;
      }
      cases.push_back({"bit fields", 16, b});
    }
    for (int depth : {4, 8}) {
      Options o;
      o.depth = depth;
      o.fileHeader = fileHeader;
      o.packing = Packing::Rle;
      cases.push_back({"RLE", 16, o});
      o.colourCount = 16;  // a short colour table
      cases.push_back({"RLE, 16 colours used", 16, o});
    }
    for (int depth : {1, 4, 8, 24}) {
      Options o;
      o.depth = depth;
      o.fileHeader = fileHeader;
      o.topDown = true;
      cases.push_back({"top-down", depth == 1 ? 2 : 16, o});
    }
    Options used;
    used.depth = 8;
    used.fileHeader = fileHeader;
    used.colourCount = 16;
    cases.push_back({"8-bit, 16 colours used", 16, used});
  }
  return cases;
}

std::string Describe(const Case& c) {
  const Options& o = c.options;
  return std::string(c.name) + ": " + std::to_string(o.depth) + " bits, " + (o.kind == Kind::Core ? "core" : "info") +
         " header, " + (o.fileHeader ? "with" : "without") + " file header" + (o.topDown ? ", top-down" : "");
}

TEST(BitmapDecode, EveryHeaderKindAndDepthGivesTheSamePicture) {
  std::vector<Case> cases = EveryKind();
  ASSERT_GT(cases.size(), 40u);
  for (const Case& c : cases) {
    Picture picture(c.colours);
    RgbImage* image = nullptr;
    BitmapResult result = Decode(Encode(picture, c.options), &image);
    ASSERT_EQ(result, BitmapOk) << Describe(c) << ": " << BitmapResultText(result);
    EXPECT_EQ(Mismatch(image, picture), "") << Describe(c);
    Release(image);
  }
}

TEST(BitmapDecode, SixteenBitMasksScaleEveryChannelToFullRange) {
  // 5-6-5: pure white and a mid grey in one row.
  Options o;
  o.depth = 16;
  o.packing = Packing::BitFields;
  o.masks[0] = 0xF800; o.masks[1] = 0x07E0; o.masks[2] = 0x001F;
  Picture p(16);
  std::vector<unsigned char> file = Encode(p, o);
  // Overwrite the first pixel of the bottom row with 0xFFFF and the second with (16, 32, 16).
  size_t bits = file.size() - 5 * 16;  // rows of 7 * 2 = 14 bytes padded to 16
  file[bits] = 0xFF; file[bits + 1] = 0xFF;
  uint16_t grey = (16 << 11) | (32 << 5) | 16;
  file[bits + 2] = grey & 0xFF; file[bits + 3] = grey >> 8;
  RgbImage* image = nullptr;
  ASSERT_EQ(Decode(file, &image), BitmapOk);
  const unsigned char* px = image->pixels;
  EXPECT_EQ(std::vector<int>(px, px + 6), (std::vector<int>{255, 255, 255, 132, 130, 132}));
  Release(image);
}

// Hand-made RLE streams: a 6 by 3 picture, palette 0 black, 1 red, 2 green, 3 blue.
std::vector<unsigned char> RleFile(int depth, const std::vector<unsigned char>& stream, int width = 6, int height = 3) {
  std::vector<unsigned char> out = {'B', 'M'};
  uint32_t offset = 14 + 40 + 4 * (1u << depth);
  Put(out, offset + static_cast<uint32_t>(stream.size()), 4);
  Put(out, 0, 4);
  Put(out, offset, 4);
  Put(out, 40, 4);
  Put(out, width, 4);
  Put(out, height, 4);
  Put(out, 1, 2);
  Put(out, depth, 2);
  Put(out, depth == 8 ? 1 : 2, 4);
  Put(out, static_cast<uint32_t>(stream.size()), 4);
  for (int i = 0; i < 4; ++i) Put(out, 0, 4);
  for (uint32_t i = 0; i < (1u << depth); ++i) {
    const unsigned char bgr[4][3] = {{0, 0, 0}, {0, 0, 255}, {0, 255, 0}, {255, 0, 0}};
    const unsigned char* e = bgr[i < 4 ? i : 0];
    out.insert(out.end(), {e[0], e[1], e[2], 0});
  }
  out.insert(out.end(), stream.begin(), stream.end());
  return out;
}

std::string Rows(const RgbImage* image) {  // one letter per pixel, bottom row first: k r g b
  std::string s;
  for (int y = 0; y < image->height; ++y) {
    for (int x = 0; x < image->width; ++x) {
      const unsigned char* p = image->pixels + (y * image->width + x) * 3;
      s += p[0] ? 'r' : p[1] ? 'g' : p[2] ? 'b' : 'k';
    }
    s += '/';
  }
  return s;
}

TEST(BitmapDecode, RleEscapesRunsDeltasAndClipping) {
  struct Stream {
    const char* what;
    int depth;
    std::vector<unsigned char> bytes;
    const char* rows;
  } streams[] = {
      {"RLE8 run, end of line, absolute block of 3 with padding, end of bitmap", 8,
       {2, 1, 0, 0, 0, 3, 2, 3, 1, 0, 0, 1}, "rrkkkk/gbrkkk/kkkkkk/"},
      {"RLE8 delta skips pixels and rows, leaving them black", 8,
       {1, 3, 0, 2, 3, 1, 2, 2, 0, 1}, "bkkkkk/kkkkgg/kkkkkk/"},
      {"RLE8 run longer than the row is clipped, not wrapped", 8,
       {9, 1, 0, 0, 1, 2, 0, 1}, "rrrrrr/gkkkkk/kkkkkk/"},
      {"RLE4 run alternates the two nibbles", 4, {5, 0x12, 0, 0, 0, 1}, "rgrgrk/kkkkkk/kkkkkk/"},
      {"RLE4 absolute block of 5 nibbles in 3 bytes, padded to a word", 4,
       {0, 5, 0x31, 0x23, 0x10, 0, 1, 0x22, 0, 1}, "brgbrg/kkkkkk/kkkkkk/"},
      {"rows beyond the picture end decoding without an end-of-bitmap mark", 8,
       {0, 0, 0, 0, 0, 0, 6, 1}, "kkkkkk/kkkkkk/kkkkkk/"},
  };
  for (auto& s : streams) {
    std::string want = s.rows;
    want.erase(std::remove(want.begin(), want.end(), ' '), want.end());
    RgbImage* image = nullptr;
    ASSERT_EQ(Decode(RleFile(s.depth, s.bytes), &image), BitmapOk) << s.what;
    EXPECT_EQ(Rows(image), want) << s.what;
    Release(image);
  }
}

TEST(BitmapDecode, EveryTruncationOfAValidFileFailsWithoutReadingPastTheEnd) {
  Options kinds[5];
  kinds[0].depth = 24;
  kinds[1].depth = 4;
  kinds[1].kind = Kind::Core;
  kinds[2].depth = 8;
  kinds[2].packing = Packing::Rle;
  kinds[3].depth = 32;
  kinds[3].packing = Packing::BitFields;
  kinds[3].masks[0] = 0xFF0000; kinds[3].masks[1] = 0xFF00; kinds[3].masks[2] = 0xFF;
  kinds[4].depth = 8;
  kinds[4].fileHeader = false;
  for (const Options& o : kinds) {
    std::vector<unsigned char> file = Encode(Picture(16), o);
    for (size_t length = 0; length < file.size(); ++length) {
      RgbImage* image = nullptr;
      BitmapResult result = Decode(file, &image, length);
      EXPECT_TRUE(result == BitmapUnknownFormat || result == BitmapConversionError)
          << o.depth << "-bit file cut to " << length << " of " << file.size() << " bytes gave " << result;
      EXPECT_EQ(image, nullptr);
      Release(image);
    }
  }
}

// Overwrites a little-endian field of a file.
void Poke(std::vector<unsigned char>& file, size_t at, uint32_t value, int bytes = 4) {
  for (int i = 0; i < bytes; ++i) file[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

TEST(BitmapDecode, LyingOrUnsupportedFieldsFailWithTheirTexts) {
  Options eight;
  eight.depth = 8;
  Options rle = eight;
  rle.packing = Packing::Rle;
  Options bare = eight;
  bare.fileHeader = false;
  Options shortTable = eight;
  shortTable.colourCount = 2;
  // Offsets count from the start of the 40-byte header; -1 names the file
  // header's pixel offset field. A second field may change too.
  struct Lie {
    const char* what;
    Options options;
    int at;
    uint32_t value;
    int bytes;
    BitmapResult want;
    int at2 = -2;
    uint32_t value2 = 0;
  } lies[] = {
      {"header size 108 (a later header kind)", eight, 0, 108, 4, BitmapUnknownFormat},
      {"header size 0", eight, 0, 0, 4, BitmapUnknownFormat},
      {"pixel offset past the end", eight, -1, 0x7FFFFFF0, 4, BitmapConversionError},
      {"pixel offset 0xFFFFFFFF", eight, -1, 0xFFFFFFFF, 4, BitmapConversionError},
      {"colour count larger than the file (no file header)", bare, 32, 0xFFFFFFFF, 4, BitmapConversionError},
      {"colour table running past the end of the file", shortTable, 32, 200, 4, BitmapConversionError},
      {"RLE size field larger than the file", rle, 20, 100000, 4, BitmapConversionError},
      {"width 0", eight, 4, 0, 4, BitmapConversionError},
      {"negative width", eight, 4, static_cast<uint32_t>(-7), 4, BitmapConversionError},
      {"height -2^31", eight, 8, 0x80000000u, 4, BitmapConversionError},
      {"width beyond the largest side", eight, 4, 100000, 4, BitmapConversionError},
      {"rows that the file does not hold", eight, 8, 5000, 4, BitmapConversionError},
      {"a gigantic RLE picture from a tiny file", rle, 4, 30000, 4, BitmapOutOfMemory, 8, 30000},
      {"0 bits per pixel", eight, 14, 0, 2, BitmapConversionError},
      {"2 bits per pixel", eight, 14, 2, 2, BitmapConversionError},
      {"JPEG compression", eight, 16, 4, 4, BitmapConversionError},
      {"RLE4 on an 8-bit picture", eight, 16, 2, 4, BitmapConversionError},
      {"RLE8 stored top-down", rle, 8, static_cast<uint32_t>(-5), 4, BitmapConversionError},
      {"bit fields on an 8-bit picture", eight, 16, 3, 4, BitmapConversionError},
  };
  for (const Lie& lie : lies) {
    std::vector<unsigned char> file = Encode(Picture(16), lie.options);
    size_t header = lie.options.fileHeader ? 14 : 0;
    for (auto [at, value] : {std::pair<int, uint32_t>{lie.at, lie.value}, {lie.at2, lie.value2}}) {
      if (at == -1) Poke(file, 10, value);
      if (at >= 0) Poke(file, header + at, value, at == lie.at ? lie.bytes : 4);
    }
    RgbImage* image = nullptr;
    BitmapResult result = Decode(file, &image);
    EXPECT_EQ(result, lie.want) << lie.what << ": got \"" << BitmapResultText(result) << "\"";
    Release(image);
  }
  EXPECT_STREQ(BitmapResultText(BitmapUnknownFormat), "Unknown DIB file format.");
  EXPECT_STREQ(BitmapResultText(BitmapConversionError), "Image file conversion error.");
  EXPECT_STREQ(BitmapResultText(BitmapOutOfMemory), "Out of memory.");
}

TEST(BitmapDecode, BrokenMasksAndIndicesPastTheColourTable) {
  Options o;
  o.depth = 32;
  o.packing = Packing::BitFields;
  o.masks[0] = 0xFF0000; o.masks[1] = 0xFF00; o.masks[2] = 0xFF;
  std::vector<unsigned char> file = Encode(Picture(16), o);
  Poke(file, 54, 0x00F0F000);  // the red mask is not one run of bits
  RgbImage* image = nullptr;
  EXPECT_EQ(Decode(file, &image), BitmapConversionError);

  // An 8-bit picture whose table has only 2 entries: other indices are black.
  Options two;
  two.depth = 8;
  two.colourCount = 2;
  Picture p(16);
  ASSERT_EQ(Decode(Encode(p, two), &image), BitmapOk);
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      int index = p.index[y * p.width + x];
      Colour want = index < 2 ? kPalette[index] : Colour{0, 0, 0};
      const unsigned char* got = image->pixels + ((p.height - 1 - y) * p.width + x) * 3;
      EXPECT_TRUE((Colour{got[0], got[1], got[2]} == want)) << x << "," << y;
    }
  }
  Release(image);
}

TEST(BitmapDecode, RandomlyDamagedFilesNeverCrash) {
  std::vector<std::vector<unsigned char>> originals;
  for (const Case& c : EveryKind()) originals.push_back(Encode(Picture(c.colours), c.options));
  uint32_t seed = 12345;
  auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
  int decoded = 0, failed = 0;
  for (int round = 0; round < 4000; ++round) {
    std::vector<unsigned char> file = originals[next() % originals.size()];
    int changes = 1 + next() % 4;
    for (int i = 0; i < changes; ++i) file[next() % file.size()] = static_cast<unsigned char>(next());
    if (next() % 3 == 0) file.resize(next() % file.size());
    RgbImage* image = nullptr;
    BitmapResult result = Decode(file, &image);
    if (result == BitmapOk) {
      ASSERT_NE(image, nullptr);
      ASSERT_GT(image->width, 0);
      ASSERT_GT(image->height, 0);
      ++decoded;
    } else {
      ASSERT_EQ(image, nullptr);
      ++failed;
    }
    Release(image);
  }
  // Both outcomes occur, or the damage was not reaching the interesting fields.
  EXPECT_GT(decoded, 100);
  EXPECT_GT(failed, 100);
}

}  // namespace
