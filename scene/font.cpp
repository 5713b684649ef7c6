// The bitmap font: 256 glyph display lists cut from the font texture, and text labels drawn with them.
#include "scene/font.h"

#include <GL/gl.h>

#include <cmath>
#include <cstddef>
#include <cstring>

#include "core/counted_alloc.h"
#include "model/texture.h"

FontNamesRecord FontNames;

namespace {
const int kGlyphCount = 256;
const float kCell = 0.0625f;  // one of 16 cells across the texture

// The corners of a glyph's square, in the order of its display list: (x, y) in the square
// and the offset of the texture coordinate from the cell's lower left corner.
const float kCorner[4][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};

// The label batch: four corners per glyph, flushed when full.
struct LabelVertex {
  float s, t;
  unsigned char rgba[4];
  float x, y, z;
};
const int kBatchGlyphs = 4096;

// The part of each glyph's square that holds any opaque texel (left, bottom, right, top, in
// sixteenths of a texel row of the cell): labels draw only that part, which shows the same
// pixels, as the rest is clear. A glyph with nothing opaque, like the space, is skipped.
// Until a font is built every glyph is its whole square.
struct Ink {
  float left, bottom, right, top;
};

// The font's glyph extents and the labels waiting to be drawn (the window's thread).
struct FontLabelsRecord {
  LabelVertex batch[kBatchGlyphs * 4];
  int glyphs;
  Ink ink[kGlyphCount];
  bool inkKnown;
};
FontLabelsRecord Glyphs;

unsigned char ColourByte(float c) {
  if (!(c > 0.0f)) return 0;
  return c >= 1.0f ? 255 : static_cast<unsigned char>(c * 255.0f + 0.5f);
}
}  // namespace

// The font's byte for each character of a UTF-8 text: ASCII and Latin-1 (U+00A0 to U+00FF)
// have a glyph of their own; any other character, and any byte that starts none, is one "?".
int FontBytes(const char* text, unsigned char* out, int size) {
  int n = 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text ? text : "");
  while (*p && n < size) {
    unsigned char c = *p;
    int follow = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    int have = 0;
    while (have < follow && (p[1 + have] & 0xC0) == 0x80) ++have;
    if (follow == 0) {
      out[n++] = c;
    } else if (follow == 1 && have == 1 && (c == 0xC2 || c == 0xC3) && (c == 0xC3 || p[1] >= 0xA0)) {
      out[n++] = static_cast<unsigned char>(((c & 0x03) << 6) | (p[1] & 0x3F));
    } else {
      out[n++] = '?';
    }
    p += 1 + have;  // a character cut short is one "?" too
  }
  return n;
}

void CreateGlyphLists() {
  FontNames.glyphLists = glGenLists(kGlyphCount);
  if (FontNames.glyphLists == 0) return;
  for (int c = 0; c < kGlyphCount; ++c) {
    float cx = static_cast<float>(c % 16) / 16.0f;
    float cy = static_cast<float>(c / 16) / 16.0f;
    // t = 1 is the top row of the picture: the bitmap reader delivers rows bottom-up.
    glNewList(FontNames.glyphLists + c, GL_COMPILE);
    glBegin(GL_QUADS);
    glTexCoord2f(cx, 1.0f - cy - kCell);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glTexCoord2f(cx + kCell, 1.0f - cy - kCell);
    glVertex3f(1.0f, 0.0f, 0.0f);
    glTexCoord2f(cx + kCell, 1.0f - cy);
    glVertex3f(1.0f, 1.0f, 0.0f);
    glTexCoord2f(cx, 1.0f - cy);
    glVertex3f(0.0f, 1.0f, 0.0f);
    glEnd();
    glTranslatef(1.0f, 0.0f, 0.0f);
    glEndList();
  }
}

void DeleteGlyphLists() {
  // Without lists a delete from base 0 would reach lists that belong to someone else.
  if (FontNames.glyphLists == 0) return;
  glDeleteLists(FontNames.glyphLists, kGlyphCount);
  FontNames.glyphLists = 0;
}

void PrintText(const char* text) {
  unsigned char glyphs[256];
  const int length = FontBytes(text, glyphs, sizeof glyphs);
  glBindTexture(GL_TEXTURE_2D, FontNames.texture);
  glDisable(GL_DEPTH_TEST);
  glTranslatef(-0.5f * static_cast<float>(length), -0.5f, 0.0f);
  if (FontNames.glyphLists != 0 && length > 0) {
    glListBase(FontNames.glyphLists);
    glCallLists(static_cast<GLsizei>(length), GL_UNSIGNED_BYTE, glyphs);
  }
  glEnable(GL_DEPTH_TEST);
}

void AddLabel(const char* text, float x, float y, float z, float degrees, float scale,
              float red, float green, float blue) {
  unsigned char glyphs[256];
  const int length = FontBytes(text, glyphs, sizeof glyphs);
  const float radians = degrees * 0.017453292f;
  // A point (u, v) of the text's plane lands at (x + cos * u, y + v, z - sin * u).
  const float c = std::cos(radians) * scale, sn = std::sin(radians) * scale;
  const unsigned char rgba[4] = {ColourByte(red), ColourByte(green), ColourByte(blue), 255};
  const float left = -0.5f * static_cast<float>(length);
  for (int i = 0; i < length; ++i) {
    unsigned char ch = glyphs[i];
    const Ink ink = Glyphs.inkKnown && FontNames.texture != 0 ? Glyphs.ink[ch] : Ink{0.0f, 0.0f, 1.0f, 1.0f};
    if (ink.right <= ink.left) continue;
    if (Glyphs.glyphs == kBatchGlyphs) DrawLabels();
    float cx = static_cast<float>(ch % 16) / 16.0f;
    float cy = static_cast<float>(ch / 16) / 16.0f;
    LabelVertex* v = &Glyphs.batch[Glyphs.glyphs * 4];
    for (int k = 0; k < 4; ++k) {
      float a = kCorner[k][0] ? ink.right : ink.left, b = kCorner[k][1] ? ink.top : ink.bottom;
      float u = left + static_cast<float>(i) + a;
      float w = b - 0.5f;
      v[k].s = cx + a * kCell;
      v[k].t = 1.0f - cy - kCell + b * kCell;
      std::memcpy(v[k].rgba, rgba, 4);
      v[k].x = x + c * u;
      v[k].y = y + scale * w;
      v[k].z = z - sn * u;
    }
    ++Glyphs.glyphs;
  }
}

void DrawLabels() {
  if (Glyphs.glyphs == 0) return;
  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_TEXTURE_BIT | GL_COLOR_BUFFER_BIT | GL_LIGHTING_BIT);
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, FontNames.texture);
  glDisable(GL_DEPTH_TEST);
  // Font texels are fully opaque or fully clear and sampled without filtering: testing
  // alpha gives the pixels blending would, and spares the blend for the many clear ones.
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.5f);
  glDisable(GL_BLEND);
  glShadeModel(GL_FLAT);  // one colour per label: nothing to interpolate
  glInterleavedArrays(GL_T2F_C4UB_V3F, sizeof(LabelVertex), Glyphs.batch);
  glDrawArrays(GL_QUADS, 0, Glyphs.glyphs * 4);
  glPopClientAttrib();
  glPopAttrib();
  Glyphs.glyphs = 0;
}

// The opaque part of each 16 by 16 cell of the font picture (rows bottom-up).
static void FindGlyphInk(const RgbImage* image) {
  Glyphs.inkKnown = false;
  if (image->width % 16 != 0 || image->height % 16 != 0) return;
  const int cw = image->width / 16, ch = image->height / 16;
  for (int c = 0; c < kGlyphCount; ++c) {
    int x0 = (c % 16) * cw, y0 = image->height - (c / 16 + 1) * ch;  // the cell's lower left texel
    int left = cw, right = -1, bottom = ch, top = -1;
    for (int y = 0; y < ch; ++y)
      for (int x = 0; x < cw; ++x) {
        const unsigned char* p = image->pixels + ((static_cast<std::size_t>(y0 + y) * image->width) + x0 + x) * 3;
        if (p[0] == 0 && p[1] == 255 && p[2] == 0) continue;
        if (x < left) left = x;
        if (x > right) right = x;
        if (y < bottom) bottom = y;
        if (y > top) top = y;
      }
    Glyphs.ink[c] = right < 0 ? Ink{0, 0, 0, 0}
                            : Ink{static_cast<float>(left) / cw, static_cast<float>(bottom) / ch,
                                  static_cast<float>(right + 1) / cw, static_cast<float>(top + 1) / ch};
  }
  Glyphs.inkKnown = true;
}

bool BuildFontTexture(const RgbImage* image) {
  if (!image || !image->pixels || image->width <= 0 || image->height <= 0) return false;
  std::size_t count = static_cast<std::size_t>(image->width) * static_cast<std::size_t>(image->height);
  unsigned char* rgba = static_cast<unsigned char*>(CountedAlloc(count * 4));
  if (!rgba) return false;
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned char* in = image->pixels + 3 * i;
    unsigned char* out = rgba + 4 * i;
    out[0] = in[0];
    out[1] = in[1];
    out[2] = in[2];
    bool key = in[0] == 0 && in[1] == 255 && in[2] == 0;
    out[3] = key ? 0 : 255;
  }
  FindGlyphInk(image);
  glGenTextures(1, &FontNames.texture);
  glBindTexture(GL_TEXTURE_2D, FontNames.texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, 4, image->width, image->height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  CountedFree(rgba);
  return true;
}
