// Finding the speaker's nickname and the web addresses in a console row, for their colours and clicks.
#include "console/row_spans.h"

#include <cstring>

namespace {

constexpr int kMaxNick = 64;

bool IsDigitOrColon(char c) { return (c >= '0' && c <= '9') || c == ':'; }

// "[12:34] " (any digits and colons) before the text: its length, else 0.
int StampLength(const char* row) {
  if (row[0] != '[') return 0;
  int i = 1;
  while (i < 12 && IsDigitOrColon(row[i])) ++i;
  return i > 1 && row[i] == ']' && row[i + 1] == ' ' ? i + 2 : 0;
}

bool NickByte(char c) { return c != ' ' && c != '\0' && c != '<' && c != '>'; }

// A nickname from start up to the closing byte, which a blank must follow; its end, or -1.
int NickEnd(const char* row, int start, char close) {
  int i = start;
  while (i - start < kMaxNick && NickByte(row[i]) && row[i] != close) ++i;
  if (i == start) return -1;
  if (close == ' ') return row[i] == ' ' ? i : -1;
  return row[i] == close && row[i + 1] == ' ' ? i : -1;
}

bool FindNick(const char* row, RowSpan* span) {
  int at = StampLength(row), from = -1, to = -1;
  if (row[at] == '<') {
    from = at + 1;
    to = NickEnd(row, from, '>');
  } else if (row[at] == '*' && row[at + 1] == ' ') {
    from = at + 2;
    to = NickEnd(row, from, ' ');
  } else if (row[at] == '-' && row[at + 1] != '>') {
    from = at + 1;
    to = NickEnd(row, from, '-');
    // "-server- " stands before server text: it is no member's name.
    if (to - from == 6 && std::strncmp(row + from, "server", 6) == 0) to = -1;
    // "-alice:#room- ", a notice to a channel: the name ends at the colon (none has one).
    for (int i = from; i < to; ++i)
      if (row[i] == ':') to = i;
  }
  if (to <= from) return false;
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

int FindRowSpans(const char* row, bool carried, RowSpan* out, int max) {
  if (!row || !out || max <= 0) return 0;
  int count = 0;
  if (!carried && FindNick(row, &out[count])) ++count;
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
