// Drawing the input line's tag with Pango: light text on the console's dark grey, the nickname in its colour.
#include "platform/input_tag.h"

#include <FL/fl_draw.H>

#include <cstring>

namespace {

// The console's colours: the nickname colours are made to read on them, never on white.
const TextRgb kTagBackground{34, 36, 40}, kTagText{200, 200, 200};
constexpr int kPadding = 4;

}  // namespace

bool StoreInputTag(InputTag* tag, const char* text, int from, int to, TextRgb colour) {
  if (!text) text = "";
  const int length = static_cast<int>(strnlen(text, sizeof tag->text - 1));
  const TextRgb& was = tag->colour;
  if (length == tag->length && std::memcmp(text, tag->text, length) == 0 && from == tag->from && to == tag->to &&
      colour.r == was.r && colour.g == was.g && colour.b == was.b)
    return false;
  std::memcpy(tag->text, text, length);
  tag->text[length] = '\0';
  tag->length = length;
  tag->from = from;
  tag->to = to;
  tag->colour = colour;
  return true;
}

int InputTagWidth(const InputTag& tag, int size) {
  return tag.length > 0 ? TextWidth(tag.text, tag.length, size, true) + 2 * kPadding : 0;
}

void DrawInputTag(const InputTag& tag, int x, int y, int height, int size) {
  const int width = InputTagWidth(tag, size);
  if (width <= 0 || height <= 0) return;
  TextCanvas* canvas = CreateTextCanvas(width, height, kTagBackground);
  if (!canvas) return;
  const TextSpan nick{tag.from, tag.to, tag.colour, false};
  DrawText(canvas, kPadding, (height - TextHeight(size)) / 2, tag.text, tag.length, size, true, kTagText, &nick, 1);
  fl_draw_image(TextCanvasPixels(canvas), x, y, width, height, 3);
  DestroyTextCanvas(canvas);
}
