// Word moves and deletes of the input line, on plain text so that they are tested without a window.
#include "app/line_editing.h"

#include <cstring>

namespace {

bool Blank(char c) { return c == ' ' || c == '\t'; }

int Clamp(const char* text, int cursor) {
  int length = static_cast<int>(std::strlen(text));
  return cursor < 0 ? 0 : (cursor > length ? length : cursor);
}

// Removes text[from, to) in place.
void Cut(char* text, int from, int to) {
  std::memmove(text + from, text + to, std::strlen(text + to) + 1);
}

}  // namespace

int WordStartBefore(const char* text, int cursor) {
  int at = Clamp(text, cursor);
  while (at > 0 && Blank(text[at - 1])) --at;
  while (at > 0 && !Blank(text[at - 1])) --at;
  return at;
}

int WordEndAfter(const char* text, int cursor) {
  int at = Clamp(text, cursor);
  while (text[at] && Blank(text[at])) ++at;
  while (text[at] && !Blank(text[at])) ++at;
  return at;
}

int DeleteWordBefore(char* text, int cursor) {
  int to = Clamp(text, cursor);
  int from = WordStartBefore(text, to);
  Cut(text, from, to);
  return from;
}

int DeleteToLineStart(char* text, int cursor) {
  Cut(text, 0, Clamp(text, cursor));
  return 0;
}
