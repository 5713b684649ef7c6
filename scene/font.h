// The bitmap font: 256 glyph display lists and text labels drawn with them.
#pragma once

extern unsigned int GlyphListBase;
extern unsigned int FontTexture;  // 0 until the font bitmap loads

void CreateGlyphLists();
void DeleteGlyphLists();
void PrintText(const char* text);

struct RgbImage;
// Makes FontTexture from the font picture: texels of exactly (0, 255, 0) become fully
// transparent, all others opaque; nearest filtering, no mipmaps (sides must be powers of
// two). False, with FontTexture left as it was, for a null or empty picture or no memory.
bool BuildFontTexture(const RgbImage* image);
