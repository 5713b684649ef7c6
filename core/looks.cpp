// Look names and numbers, and the look a nickname picks when the user chose none.
#include "core/looks.h"

#include <cstdint>

#include "core/irc_case.h"

namespace {

// In the order of their numbers: each is named by its shirt, which tells it apart across the
// room (tools/modelmaker paints them, trousers and hair differing too).
const char* const kLookNames[kLookCount] = {"red", "blue", "green", "yellow", "purple", "orange", "white", "black"};

bool SameWord(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char x = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a - 'A' + 'a') : *a;
    if (x != *b) return false;
  }
  return *a == '\0' && *b == '\0';
}

}  // namespace

const char* LookName(int look) { return look >= 1 && look <= kLookCount ? kLookNames[look - 1] : "default"; }

int LookFromImage(const char* image, const char* nick) {
  for (int look = 1; image && look <= kLookCount; ++look)
    if (SameWord(image, kLookNames[look - 1])) return look;
  uint32_t hash = 2166136261u;  // FNV-1a over the IRC lower case, as nickname colours are picked
  for (const char* c = nick ? nick : ""; *c; ++c) {
    hash ^= static_cast<unsigned char>(IrcLowerCase(*c));
    hash *= 16777619u;
  }
  // Shifted: a nickname's look does not follow its colour, so two colours share no look.
  return static_cast<int>((hash >> 7) % kLookCount) + 1;
}
