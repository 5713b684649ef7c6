// Every script and emoji draws real glyphs, and positions map to byte indices and back.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/pango_text.h"

namespace {

constexpr int kW = 64, kH = 40;
const TextRgb kWhite{255, 255, 255}, kBlack{0, 0, 0};

std::vector<unsigned char> Draw(const char* text) {
  TextCanvas* canvas = CreateTextCanvas(kW, kH, kWhite);
  EXPECT_NE(nullptr, canvas);
  if (!canvas) return {};
  DrawText(canvas, 4, 4, text, static_cast<int>(std::strlen(text)), 24, false, kBlack, nullptr, 0);
  const unsigned char* p = TextCanvasPixels(canvas);
  std::vector<unsigned char> pixels(p, p + kW * kH * 3);
  DestroyTextCanvas(canvas);
  return pixels;
}

int Inked(const std::vector<unsigned char>& pixels) {
  int n = 0;
  for (std::size_t i = 0; i + 2 < pixels.size(); i += 3) n += pixels[i] < 128 || pixels[i + 1] < 128 || pixels[i + 2] < 128;
  return n;
}

int Differing(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
  int n = 0;
  for (std::size_t i = 0; i < a.size() && i < b.size(); i += 3) n += std::memcmp(&a[i], &b[i], 3) != 0;
  return n;
}

TEST(PangoText, EveryScriptDrawsGlyphsNotTheMissingGlyphBox) {
  // U+E000 is a private-use character that no font has: it draws a box or nothing.
  const std::vector<unsigned char> missing = Draw("\xee\x80\x80");
  EXPECT_EQ(1, TextMissingGlyphs("\xee\x80\x80", 3, 24));
  const struct { const char* name; const char* text; } samples[] = {
      {"Chinese", "\xe4\xb8\xad"},        {"Japanese", "\xe3\x81\x82"}, {"Korean", "\xed\x95\x9c"},
      {"Greek", "\xce\xa9"},              {"Cyrillic", "\xd0\x96"},     {"Arabic", "\xd8\xa8"},
      {"emoji", "\xf0\x9f\x98\x80"},
  };
  for (const auto& s : samples) {
    std::vector<unsigned char> drawn = Draw(s.text);
    EXPECT_EQ(0, TextMissingGlyphs(s.text, static_cast<int>(std::strlen(s.text)), 24)) << s.name << ": no font has it";
    EXPECT_GT(Inked(drawn), 20) << s.name << ": expected ink, got almost none";
    EXPECT_GT(Differing(drawn, missing), 40) << s.name << " looks like the missing-glyph box";
  }
}

TEST(PangoText, EmojiComeInColour) {
  std::vector<unsigned char> drawn = Draw("\xf0\x9f\x98\x80");
  int coloured = 0;
  for (std::size_t i = 0; i + 2 < drawn.size(); i += 3) {
    int r = drawn[i], g = drawn[i + 1], b = drawn[i + 2];
    coloured += (r - b > 60 || b - r > 60 || g - b > 60);
  }
  EXPECT_GT(coloured, 30) << "expected a colour emoji, got grey pixels only";
}

TEST(PangoText, SpansRecolourOnlyTheirBytes) {
  TextCanvas* canvas = CreateTextCanvas(kW * 2, kH, kWhite);
  ASSERT_NE(nullptr, canvas);
  const TextSpan red{0, 4, {230, 0, 0}, true};
  DrawText(canvas, 2, 2, "WWWW    ", 8, 20, false, kBlack, &red, 1);
  const unsigned char* p = TextCanvasPixels(canvas);
  int reddish = 0;
  for (int i = 0; i < kW * 2 * kH; ++i) reddish += p[3 * i] > 150 && p[3 * i + 1] < 100;
  DestroyTextCanvas(canvas);
  EXPECT_GT(reddish, 30);
}

TEST(PangoText, PositionsAndIndicesAgree) {
  const std::string text = "ab\xe4\xb8\xad\xf0\x9f\x98\x80 cd";  // a, b, CJK (3 bytes), emoji (4), blank, c, d
  const int length = static_cast<int>(text.size());
  int last = -1;
  for (int index : {0, 1, 2, 5, 9, 10, 11, length}) {
    int x = TextIndexToX(text.c_str(), length, 14, index);
    EXPECT_GT(x, last) << "index " << index;
    last = x;
    EXPECT_EQ(index, TextXToIndex(text.c_str(), length, 14, x)) << "x " << x;
  }
  EXPECT_EQ(TextWidth(text.c_str(), length, 14, false), TextIndexToX(text.c_str(), length, 14, length));
  // A click inside the CJK character lands on one of its edges, never inside its bytes.
  int mid = (TextIndexToX(text.c_str(), length, 14, 2) + TextIndexToX(text.c_str(), length, 14, 5)) / 2;
  int at = TextXToIndex(text.c_str(), length, 14, mid);
  EXPECT_TRUE(at == 2 || at == 5) << at;
}

// A console row takes what its width holds: whole words while they fit, and a word wider than
// the row broken between two characters, never inside one.
TEST(PangoText, AFittingPieceEndsAfterAWordAndStaysWithinTheWidth) {
  const std::string text = "the quick brown fox jumps over the lazy dog and keeps running far away";
  const int length = static_cast<int>(text.size());
  for (int width : {60, 120, 200, 330}) {
    int fit = TextFitLength(text.c_str(), length, 12, width);
    ASSERT_GT(fit, 0) << width;
    ASSERT_LT(fit, length) << width;
    EXPECT_EQ(' ', text[fit - 1]) << "width " << width << ": " << text.substr(0, fit);
    EXPECT_LE(TextWidth(text.c_str(), fit - 1, 12, false), width) << "width " << width;
    int next = static_cast<int>(text.find(' ', fit));
    EXPECT_GT(TextWidth(text.c_str(), next, 12, false), width) << "the next word would have fitted at " << width;
  }
  EXPECT_EQ(length, TextFitLength(text.c_str(), length, 12, 5000));
  const std::string word(200, 'w');
  int fit = TextFitLength(word.c_str(), 200, 12, 100);
  EXPECT_GT(fit, 3);
  EXPECT_LE(TextWidth(word.c_str(), fit, 12, false), 100);
  std::string wide;
  for (int i = 0; i < 60; ++i) wide += "ä¸­";  // CJK: three bytes each, no blanks
  fit = TextFitLength(wide.c_str(), static_cast<int>(wide.size()), 12, 100);
  EXPECT_EQ(0, fit % 3) << "cut inside a character: " << fit;
  EXPECT_GT(fit, 0);
  EXPECT_EQ(1, TextFitLength("abc", 3, 12, 0)) << "at least one character";
  EXPECT_EQ(TextFitLength("one two three four", 18, 12, 60), TextFitLength("one\ntwo three four", 18, 12, 60))
      << "a line break measures as a blank";
}

TEST(PangoText, BytesThatAreNotUtf8StillMeasure) {
  const char bad[] = "ok\xff\xfe!";
  EXPECT_GT(TextWidth(bad, 5, 14, false), TextWidth("ok", 2, 14, false));
  EXPECT_EQ(5, TextXToIndex(bad, 5, 14, 1000));
}

}  // namespace
