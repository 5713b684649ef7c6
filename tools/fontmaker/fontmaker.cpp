// Makes data/font.bmp: 256 glyph cells of 16 by 16 pixels, white on the key colour (0, 255, 0).
//
// Byte c is drawn in column c % 16 and row c / 16 from the top. Bytes 32 to 126 and 160
// to 255 take the Latin-1 character of that code; control bytes and 127 to 159 stay empty
// (all key colour), as do the spaces 32 and 160. Glyphs are rendered without anti-aliasing:
// every pixel is either the key colour or white, so no green fringe survives the keying.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <vector>

#include "tools/common/bmp_writer.h"

namespace {

const int kCell = 16;
const int kSize = 16 * kCell;
const int kPixelHeight = 13;  // of the em: accents over capitals and descenders stay inside the cell
// Wider than high: each glyph is drawn as a square, so a cell-filling width keeps labels
// from looking letter-spaced.
const int kPixelWidth = 22;
const int kBaseline = 12;     // pixel row of the baseline inside a cell, from its top
const char kDefaultFont[] = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf";

bool HasGlyph(unsigned c) { return (c > 32 && c < 127) || c >= 160; }

void SetPixel(std::vector<unsigned char>& rgb, int x, int y, bool ink) {
  unsigned char* p = rgb.data() + (static_cast<std::size_t>(y) * kSize + x) * 3;
  p[0] = ink ? 255 : 0;
  p[1] = 255;
  p[2] = ink ? 255 : 0;
}

// Draws one glyph into its cell, centred by its advance, clipped to the cell.
bool DrawGlyph(FT_Face face, unsigned c, std::vector<unsigned char>& rgb) {
  if (FT_Load_Char(face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) != 0) return false;
  const FT_GlyphSlot slot = face->glyph;
  const FT_Bitmap& bitmap = slot->bitmap;
  int cellX = static_cast<int>(c % 16) * kCell, cellY = static_cast<int>(c / 16) * kCell;
  int advance = static_cast<int>(slot->advance.x >> 6);
  int left = (kCell - advance) / 2 + slot->bitmap_left;
  int top = kBaseline - slot->bitmap_top;
  for (unsigned row = 0; row < bitmap.rows; ++row)
    for (unsigned col = 0; col < bitmap.width; ++col) {
      const unsigned char* line = bitmap.buffer + static_cast<long>(row) * bitmap.pitch;
      bool ink = (line[col / 8] >> (7 - col % 8)) & 1;
      int x = left + static_cast<int>(col), y = top + static_cast<int>(row);
      if (ink && x >= 0 && x < kCell && y >= 0 && y < kCell) SetPixel(rgb, cellX + x, cellY + y, true);
    }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s <out.bmp> [font.ttf]\n  default font: %s\n", argv[0], kDefaultFont);
    return 2;
  }
  const char* fontPath = argc == 3 ? argv[2] : kDefaultFont;
  FT_Library library;
  FT_Face face;
  if (FT_Init_FreeType(&library) != 0) return 1;
  if (FT_New_Face(library, fontPath, 0, &face) != 0) {
    std::fprintf(stderr, "cannot open font %s\n", fontPath);
    return 1;
  }
  FT_Set_Pixel_Sizes(face, kPixelWidth, kPixelHeight);
  std::vector<unsigned char> rgb(static_cast<std::size_t>(kSize) * kSize * 3);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) SetPixel(rgb, x, y, false);
  int drawn = 0;
  for (unsigned c = 0; c < 256; ++c)
    if (HasGlyph(c) && DrawGlyph(face, c, rgb)) ++drawn;
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  if (!WriteBmp24(argv[1], kSize, kSize, rgb)) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf("%s: %d glyphs from %s\n", argv[1], drawn, fontPath);
  return 0;
}
