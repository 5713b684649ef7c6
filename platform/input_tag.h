// The tag drawn at the left inside the input line while plain lines go elsewhere than the channel.
#pragma once
#include "platform/pango_text.h"

// Its text, with bytes [from, to) (the nickname) in their own colour; an empty text: no tag.
struct InputTag {
  char text[160];
  int length;
  int from, to;
  TextRgb colour;
};

// Takes a new text and colour; false when the tag was that already (nothing to draw again).
bool StoreInputTag(InputTag* tag, const char* text, int from, int to, TextRgb colour);
// Pixels the tag takes from the line's left (0 without one), in type of that size.
int InputTagWidth(const InputTag& tag, int size);
// Draws it at (x, y), height pixels high, as InputTagWidth measures it.
void DrawInputTag(const InputTag& tag, int x, int y, int height, int size);
