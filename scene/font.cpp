// The bitmap font: 256 glyph display lists cut from the font texture, and text labels drawn with them.
#include "scene/font.h"

#include <GL/gl.h>

#include <cstddef>
#include <cstring>

#include "core/counted_alloc.h"
#include "model/texture.h"

unsigned int GlyphListBase = 0;
unsigned int FontTexture = 0;

namespace {
const int kGlyphCount = 256;
const float kCell = 0.0625f;  // one of 16 cells across the texture
}  // namespace

void CreateGlyphLists() {
  GlyphListBase = glGenLists(kGlyphCount);
  if (GlyphListBase == 0) return;
  for (int c = 0; c < kGlyphCount; ++c) {
    float cx = static_cast<float>(c % 16) / 16.0f;
    float cy = static_cast<float>(c / 16) / 16.0f;
    // t = 1 is the top row of the picture: the bitmap reader delivers rows bottom-up.
    glNewList(GlyphListBase + c, GL_COMPILE);
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
  if (GlyphListBase == 0) return;
  glDeleteLists(GlyphListBase, kGlyphCount);
  GlyphListBase = 0;
}

void PrintText(const char* text) {
  std::size_t length = text ? std::strlen(text) : 0;
  glBindTexture(GL_TEXTURE_2D, FontTexture);
  glDisable(GL_DEPTH_TEST);
  glTranslatef(-0.5f * static_cast<float>(length), -0.5f, 0.0f);
  if (GlyphListBase != 0 && length > 0) {
    glListBase(GlyphListBase);
    glCallLists(static_cast<GLsizei>(length), GL_UNSIGNED_BYTE, text);
  }
  glEnable(GL_DEPTH_TEST);
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
  glGenTextures(1, &FontTexture);
  glBindTexture(GL_TEXTURE_2D, FontTexture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, 4, image->width, image->height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  CountedFree(rgba);
  return true;
}
