// The parts of a console row drawn apart from its text: the speaker's nickname and web addresses.
#pragma once
#include "core/nick_colour.h"

enum RowSpanKind : unsigned char { SpanNick, SpanLink };

struct RowSpan {
  int from, to;  // bytes [from, to) of the row
  RowSpanKind kind;
  NickRgb colour;  // the nickname's colour; unused for a link
};

constexpr int kMaxRowSpans = 8;

// The speaker's nickname at bytes [speakerFrom, speakerTo) of the row, as whoever added the row
// said (none when speakerTo <= speakerFrom), and every address beginning with http://, https://
// or www.; at most max spans, in order. Returns the count.
int FindRowSpans(const char* row, int speakerFrom, int speakerTo, RowSpan* out, int max);
