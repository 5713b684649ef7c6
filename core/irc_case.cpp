// IRC's case rule, shared by everything that compares or files nicknames.
#include "core/irc_case.h"

char IrcLowerCase(char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  switch (c) {
    case '[': return '{';
    case ']': return '}';
    case '\\': return '|';
    case '~': return '^';
    default: return c;
  }
}

bool SameIrcName(const char* a, const char* b) {
  if (!a || !b) return false;
  for (; *a && *b; ++a, ++b)
    if (IrcLowerCase(*a) != IrcLowerCase(*b)) return false;
  return *a == *b;
}
