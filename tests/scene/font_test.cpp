// The bitmap font on OSMesa: glyph cells, label placement, the key colour, depth handling, data/font.bmp.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "core/counted_alloc.h"
#include "model/texture.h"
#include "scene/font.h"
#include "tests/common/offscreen_gl.h"

namespace {

const int kSide = 64;  // one glyph fills the view: 4 pixels per texel of its 16 by 16 cell

struct Rgb {
  unsigned char r, g, b;
};

// A 256 by 256 font picture (rows bottom-up, as the bitmap reader delivers them) whose
// texel at (x, y) from the top left of cell c is colour(c, x, y).
RgbImage* MakeFontPicture(const std::function<Rgb(int c, int x, int y)>& colour) {
  RgbImage* image = static_cast<RgbImage*>(std::malloc(sizeof(RgbImage)));
  image->width = 256;
  image->height = 256;
  image->pixels = static_cast<unsigned char*>(std::malloc(256 * 256 * 3));
  for (int row = 0; row < 256; ++row)
    for (int col = 0; col < 256; ++col) {
      int fromTop = 255 - row;
      Rgb texel = colour((fromTop / 16) * 16 + col / 16, col % 16, fromTop % 16);
      unsigned char* p = image->pixels + (row * 256 + col) * 3;
      p[0] = texel.r, p[1] = texel.g, p[2] = texel.b;
    }
  return image;
}

void FreePicture(RgbImage* image) {
  std::free(image->pixels);
  std::free(image);
}

class Font : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gl_.Open(kSide, kSide));
    // The state the scene set-up leaves for every frame.
    glEnable(GL_TEXTURE_2D);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glViewport(0, 0, kSide, kSide);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-0.5, 0.5, -0.5, 0.5, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    CreateGlyphLists();
    ASSERT_NE(FontNames.glyphLists, 0u);
  }
  void TearDown() override {
    DeleteGlyphLists();
    EXPECT_EQ(FontNames.glyphLists, 0u);
    FontNames.texture = 0;
  }
  void UsePicture(RgbImage* image) {
    int blocksBefore = liveBlocks;
    ASSERT_TRUE(BuildFontTexture(image));
    EXPECT_EQ(liveBlocks, blocksBefore) << "the RGBA copy is returned at once";
    FreePicture(image);
  }
  // Clears to the colour, draws one byte centred on the origin in white, and waits.
  void DrawByte(unsigned char c, Rgb background) {
    glClearColor(background.r / 255.0f, background.g / 255.0f, background.b / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glColor3f(1.0f, 1.0f, 1.0f);
    // Bytes 160 to 255 are the Latin-1 characters, reached by their UTF-8 form.
    char text[3] = {static_cast<char>(c), '\0', '\0'};
    if (c >= 0x80) {
      text[0] = static_cast<char>(0xC0 | (c >> 6));
      text[1] = static_cast<char>(0x80 | (c & 0x3F));
    }
    PrintText(text);
    glFinish();
  }
  bool PixelIs(int x, int y, Rgb expected) const {
    const unsigned char* p = gl_.Pixel(x, y);
    return p[0] == expected.r && p[1] == expected.g && p[2] == expected.b;
  }
  std::string PixelText(int x, int y) const {
    const unsigned char* p = gl_.Pixel(x, y);
    return "(" + std::to_string(p[0]) + ", " + std::to_string(p[1]) + ", " + std::to_string(p[2]) + ")";
  }

  OffscreenGl gl_;
};

TEST_F(Font, ALabelOfNGlyphsMovesTheMatrixByHalfNAndDownByHalf) {
  const std::string labels[] = {"", "A", "QIVRA", std::string(200, '\xff'), "\x01\x7f\x80 "};
  for (const std::string& label : labels) {
    SCOPED_TRACE("label of " + std::to_string(label.size()) + " bytes");
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    PrintText(label.c_str());
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[12], 0.5f * static_cast<float>(label.size()));
    EXPECT_FLOAT_EQ(m[13], -0.5f);
    EXPECT_FLOAT_EQ(m[14], 0.0f);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << "the depth test is on after every label";
  }
}

TEST(FontBytes, OneQuestionMarkForEachCharacterTheFontLacks) {
  const struct { const char* text; const char* bytes; } cases[] = {
      {"alice", "alice"},
      {"caf\xc3\xa9", "caf\xe9"},                       // Latin-1 has its glyph
      {"\xe4\xb8\xad\xe6\x96\x87", "??"},              // two CJK characters, six bytes
      {"a\xf0\x9f\x98\x80" "b", "a?b"},                   // an emoji
      {"\xce\xa9\xd0\x96", "??"},                       // Greek, Cyrillic
      {"\xff\xfe", "??"},                                // bytes that start no character
      {"\xe4\xb8", "?"},                                 // a character cut short
  };
  for (const auto& c : cases) {
    unsigned char out[32];
    int n = FontBytes(c.text, out, sizeof out);
    EXPECT_EQ(std::string(c.bytes), std::string(reinterpret_cast<char*>(out), static_cast<std::size_t>(n))) << c.text;
  }
}

TEST_F(Font, EveryByteDrawsItsOwnCellTheRightWayUp) {
  const Rgb mark{250, 250, 0};
  UsePicture(MakeFontPicture([&](int c, int x, int y) {
    if (x < 8 && y < 8) return mark;  // the cell's top left quarter
    return Rgb{static_cast<unsigned char>(c), 128, static_cast<unsigned char>(255 - c)};
  }));
  for (int c = 1; c < 256; ++c) {
    SCOPED_TRACE("byte " + std::to_string(c));
    DrawByte(static_cast<unsigned char>(c), {0, 0, 0});
    // U+0080 to U+009F are control characters without a glyph: they show the "?" cell.
    const unsigned char cell = c >= 0x80 && c < 0xA0 ? '?' : static_cast<unsigned char>(c);
    Rgb own{cell, 128, static_cast<unsigned char>(255 - cell)};
    ASSERT_TRUE(PixelIs(48, 16, own)) << "bottom right shows " << PixelText(48, 16);
    ASSERT_TRUE(PixelIs(16, 48, mark)) << "top left shows " << PixelText(16, 48);
    ASSERT_TRUE(PixelIs(48, 48, own)) << "top right shows " << PixelText(48, 48);
  }
}

TEST_F(Font, OnlyTheExactKeyColourIsTransparent) {
  const Rgb key{0, 255, 0}, nearKey{0, 254, 0}, red{255, 0, 0};
  UsePicture(MakeFontPicture([&](int, int x, int) { return x < 8 ? key : nearKey; }));
  DrawByte('K', red);
  // Nearest filtering: every pixel is the background or the texel, nothing in between.
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      Rgb expected = x < kSide / 2 ? red : nearKey;
      ASSERT_TRUE(PixelIs(x, y, expected)) << "pixel " << x << ", " << y << " is " << PixelText(x, y);
    }
}

TEST_F(Font, AnEmptyLabelDrawsNothing) {
  UsePicture(MakeFontPicture([](int, int, int) { return Rgb{255, 255, 255}; }));
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  PrintText("");
  glFinish();
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) ASSERT_TRUE(PixelIs(x, y, {0, 0, 0})) << x << ", " << y;
}

TEST_F(Font, LabelsShowThroughEarlierGeometryAndLaterGeometryCoversThem) {
  UsePicture(MakeFontPicture([](int, int, int) { return Rgb{255, 255, 255}; }));
  auto quad = [](float left, float right, float z, float r, float g, float b) {
    glDisable(GL_TEXTURE_2D);
    glColor3f(r, g, b);
    glBegin(GL_QUADS);
    glVertex3f(left, -0.5f, z), glVertex3f(right, -0.5f, z), glVertex3f(right, 0.5f, z), glVertex3f(left, 0.5f, z);
    glEnd();
    glEnable(GL_TEXTURE_2D);
  };
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  quad(-0.5f, 0.0f, 0.5f, 0.0f, 0.0f, 1.0f);  // near, left half
  glPushMatrix();
  glColor3f(1.0f, 1.0f, 1.0f);
  PrintText("W");  // at z 0, behind the near quad
  glPopMatrix();
  quad(0.0f, 0.5f, -0.5f, 0.0f, 1.0f, 0.0f);  // far, right half, after the label
  glFinish();
  EXPECT_TRUE(PixelIs(16, 32, {255, 255, 255})) << "label over the near quad: " << PixelText(16, 32);
  EXPECT_TRUE(PixelIs(48, 32, {0, 255, 0})) << "far quad over the label: " << PixelText(48, 32);
}

TEST_F(Font, BuildFontTextureRefusesAMissingPicture) {
  FontNames.texture = 7;
  EXPECT_FALSE(BuildFontTexture(nullptr));
  RgbImage empty{0, 0, nullptr};
  EXPECT_FALSE(BuildFontTexture(&empty));
  EXPECT_EQ(FontNames.texture, 7u);
}

TEST_F(Font, ShippedFontIsAGridOfWhiteGlyphsOnTheKeyColour) {
  setenv("QIVRA_AUTO_ANSWER", "yes", 1);
  RgbImage* image = LoadBitmapImage(QIVRA_SOURCE_DIR "/data/font.bmp");
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(image->width, 256);
  ASSERT_EQ(image->height, 256);
  int ink[256] = {0};
  for (int row = 0; row < 256; ++row)
    for (int col = 0; col < 256; ++col) {
      const unsigned char* p = image->pixels + (row * 256 + col) * 3;
      bool white = p[0] == 255 && p[1] == 255 && p[2] == 255;
      bool key = p[0] == 0 && p[1] == 255 && p[2] == 0;
      ASSERT_TRUE(white || key) << "pixel " << col << ", " << row << " from the bottom";
      if (white) ++ink[((255 - row) / 16) * 16 + col / 16];
    }
  for (int c = 0; c < 256; ++c) {
    bool drawn = (c > 32 && c < 127) || c > 160;  // spaces (32, 160) have no ink
    EXPECT_EQ(ink[c] > 0, drawn) << "byte " << c << " has " << ink[c] << " ink pixels";
  }
  UsePicture(image);
  DrawByte('H', {255, 0, 0});
  int white = 0, background = 0;
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      if (PixelIs(x, y, {255, 255, 255})) ++white;
      if (PixelIs(x, y, {255, 0, 0})) ++background;
    }
  EXPECT_EQ(white + background, kSide * kSide) << "glyph or background, no green";
  EXPECT_GT(white, kSide * kSide / 10);
  EXPECT_GT(background, kSide * kSide / 2);
}

}  // namespace
