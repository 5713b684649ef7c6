// Text of any script and emoji, laid out and drawn with per-character font fallback into pixel buffers.
#pragma once

struct TextRgb {
  unsigned char r, g, b;
};

// A stretch of a text drawn differently: bytes [from, to) in a colour, optionally underlined.
struct TextSpan {
  int from, to;
  TextRgb colour;
  bool underline;
};

// A picture the text is drawn into: rows top-down, 3 bytes (r, g, b) a pixel, width * 3 a row.
struct TextCanvas;

// A canvas of width x height filled with background; nullptr when it cannot be made.
TextCanvas* CreateTextCanvas(int width, int height, TextRgb background);
void DestroyTextCanvas(TextCanvas* canvas);
void FillTextRect(TextCanvas* canvas, int x, int y, int width, int height, TextRgb colour);
// Draws bytes [0, length) of a UTF-8 text with its top left at (x, y), size in pixels, in a
// colour; spans (sorted or not) recolour parts of it. Bytes that are not UTF-8 are shown as
// the replacement mark, never skipped.
void DrawText(TextCanvas* canvas, int x, int y, const char* text, int length, int size, bool bold,
              TextRgb colour, const TextSpan* spans, int spanCount);
// The canvas's pixels as rows of r, g, b bytes (width * 3 a row); valid until the next drawing.
const unsigned char* TextCanvasPixels(TextCanvas* canvas);

// Measuring, with the same fonts as DrawText.
int TextWidth(const char* text, int length, int size, bool bold);
int TextHeight(int size);  // the height of a line of that size
// The x (from the text's left) where the character at byte index starts; length gives the end.
int TextIndexToX(const char* text, int length, int size, int index);
// The byte index of the character boundary nearest to x.
int TextXToIndex(const char* text, int length, int size, int x);
// How many bytes of the text make its first line when it is wrapped at width pixels: up to the
// last word that fits, its blanks with it; a word wider than the width is broken between
// characters. At least one character; length when all of it fits. Line breaks inside count as
// blanks (a console row holds them).
int TextFitLength(const char* text, int length, int size, int width);
// How many characters of the text no installed font has (drawn as a box with their code).
int TextMissingGlyphs(const char* text, int length, int size);

// Text on a plate, as a picture for a texture: wrapped at maxWidth pixels into at most maxLines
// lines (the last cut with an ellipsis when more would follow), on a plate padded by `padding`,
// square (every pixel as opaque as the plate) or rounded with a tail under its middle. Pixels are r, g, b, a with the colour
// premultiplied by alpha (blend with one, one minus source alpha), rows top-down.
struct TextPlateStyle {
  int size;                 // pixels
  bool bold, italic;
  TextRgb colour;           // the text's, where no span says otherwise
  TextRgb plate;            // the plate's fill,
  unsigned char plateAlpha; // its opacity
  TextRgb border;           // and its edge (one pixel)
  int padding, maxWidth, maxLines;
  bool rounded;             // rounded corners; else square
  int tail;                 // height of the tail under the plate; 0: none
};
// A malloc'd picture of *width x *height (free it with std::free), as small as the text needs;
// nullptr for an empty text or when it cannot be made.
unsigned char* DrawTextPlate(const char* text, int length, const TextPlateStyle& style, const TextSpan* spans,
                             int spanCount, int* width, int* height);
