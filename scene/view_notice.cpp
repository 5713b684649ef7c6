// The notice over the 3D view: one line on a dark band, drawn last in the frame.
#include "scene/view_notice.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstring>

#include "scene/font.h"

namespace {

char notice[128];
constexpr float kGlyphPixels = 16.0f;  // the font's cells as the console's rows are high

}  // namespace

void SetViewNotice(const char* text) { std::snprintf(notice, sizeof notice, "%s", text ? text : ""); }

const char* ViewNotice() { return notice; }

void DrawViewNotice() {
  if (!notice[0]) return;
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  const float width = static_cast<float>(viewport[2]), height = static_cast<float>(viewport[3]);
  unsigned char glyphs[sizeof notice];
  const int length = FontBytes(notice, glyphs, sizeof glyphs);
  if (length == 0 || width < 1.0f || height < 1.0f) return;
  // Smaller letters where a long channel name would not fit.
  float glyph = (width - 16.0f) / static_cast<float>(length);
  if (glyph > kGlyphPixels) glyph = kGlyphPixels;
  const float middleY = height * 0.75f, half = glyph * 0.5f + 6.0f;

  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_TEXTURE_BIT | GL_COLOR_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_TEXTURE_2D);
  glColor4f(0.0f, 0.0f, 0.0f, 0.6f);
  glBegin(GL_QUADS);
  glVertex2f(0.0f, middleY - half);
  glVertex2f(width, middleY - half);
  glVertex2f(width, middleY + half);
  glVertex2f(0.0f, middleY + half);
  glEnd();
  glEnable(GL_TEXTURE_2D);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glTranslatef(width * 0.5f, middleY, 0.0f);
  glScalef(glyph, glyph, 1.0f);
  PrintText(notice);  // centred on the point it starts from
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopAttrib();
}
