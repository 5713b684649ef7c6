// The speaker's nickname and the web addresses of a console row, for their colours and clicks.
#include "console/row_spans.h"

#include <cstring>

namespace {

constexpr int kMaxNick = 64;

// The speaker's span, coloured as the nickname is everywhere.
bool SpeakerSpan(const char* row, int from, int to, RowSpan* span) {
  if (to <= from || from < 0 || to - from > kMaxNick) return false;
  for (int i = from; i < to; ++i)
    if (!row[i]) return false;  // a range beyond the row's end
  char nick[kMaxNick + 1];
  std::memcpy(nick, row + from, static_cast<std::size_t>(to - from));
  nick[to - from] = '\0';
  *span = RowSpan{from, to, SpanNick, NickColour(nick)};
  return true;
}

bool StartsWithNoCase(const char* text, const char* prefix) {
  for (; *prefix; ++text, ++prefix) {
    char c = *text >= 'A' && *text <= 'Z' ? static_cast<char>(*text - 'A' + 'a') : *text;
    if (c != *prefix) return false;
  }
  return true;
}

int AddressPrefix(const char* at) {
  if (StartsWithNoCase(at, "https://")) return 8;
  if (StartsWithNoCase(at, "http://")) return 7;
  if (StartsWithNoCase(at, "www.")) return 4;
  return 0;
}

bool WordStart(const char* row, int i) {
  if (i == 0) return true;
  char c = row[i - 1];
  return c == ' ' || c == '(' || c == '<' || c == '[' || c == '"' || c == '\'';
}

// The address's end: up to a blank, without the punctuation that usually closes a sentence
// or a bracket around the address.
int AddressEnd(const char* row, int from) {
  int end = from;
  while (row[end] && row[end] != ' ' && row[end] != '\t') ++end;
  while (end > from && std::strchr(".,;:!?'\")]>", row[end - 1])) --end;
  return end;
}

}  // namespace

int FindRowSpans(const char* row, int speakerFrom, int speakerTo, RowSpan* out, int max) {
  if (!row || !out || max <= 0) return 0;
  int count = 0;
  if (SpeakerSpan(row, speakerFrom, speakerTo, &out[count])) ++count;
  for (int i = count ? out[0].to : 0; row[i] && count < max; ++i) {
    int prefix = WordStart(row, i) ? AddressPrefix(row + i) : 0;
    if (prefix == 0) continue;
    int end = AddressEnd(row, i);
    if (end - i <= prefix) continue;  // nothing after the prefix
    out[count++] = RowSpan{i, end, SpanLink, NickRgb{0, 0, 0}};
    i = end - 1;
  }
  return count;
}
