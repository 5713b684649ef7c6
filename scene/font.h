// The bitmap font: 256 glyph display lists and text labels drawn with them.
#pragma once

// The font's GL names in the current context: the first of its glyph lists (0 while none) and
// its texture (0 until the font bitmap loads).
struct FontNamesRecord {
  unsigned int glyphLists;
  unsigned int texture;
};
extern FontNamesRecord FontNames;

void CreateGlyphLists();
void DeleteGlyphLists();
// Texts are UTF-8: a character the font lacks (beyond Latin-1) is drawn as one "?".
void PrintText(const char* text);
// The font's bytes for text into out (at most size); returns how many.
int FontBytes(const char* text, unsigned char* out, int size);

// Labels of many peers drawn together: AddLabel places a text as PrintText would after
// translate (x, y, z), a turn of `degrees` about the vertical axis and a uniform scale, in
// its own colour, into a fixed array; DrawLabels draws what was added in one call (with the
// depth test off, like PrintText) and empties the array. Nothing is allocated.
void AddLabel(const char* text, float x, float y, float z, float degrees, float scale,
              float red, float green, float blue);
void DrawLabels();

struct RgbImage;
// Makes FontNames.texture from the font picture: texels of exactly (0, 255, 0) become fully
// transparent, all others opaque; nearest filtering, no mipmaps (sides must be powers of
// two). False, with FontNames.texture left as it was, for a null or empty picture or no memory.
bool BuildFontTexture(const RgbImage* image);
