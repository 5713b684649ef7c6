// Formatting codes stripped and Latin-1 read as such, so the console never shows stray bytes.
#include "console/display_text.h"

#include <cctype>
#include <cstring>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// Skips up to count characters that pass test; returns where it stopped.
const char* SkipUpTo(const char* p, int count, bool (*test)(char)) {
  for (int i = 0; i < count && test(*p); ++i) ++p;
  return p;
}

// After \x03: "fg" or "fg,bg" with one or two digits each; after \x04 six hex digits likewise.
// A comma belongs to the code only when a number follows it.
const char* SkipColour(const char* p, int digits, bool (*test)(char)) {
  const char* after = SkipUpTo(p, digits, test);
  if (after != p && *after == ',' && test(after[1])) after = SkipUpTo(after + 1, digits, test);
  return after;
}

// The byte length of the UTF-8 sequence starting at p, or 0 when it is not a valid one.
std::size_t SequenceLength(const unsigned char* p) {
  if (p[0] < 0x80) return 1;
  std::size_t n;
  unsigned minimum;
  unsigned value;
  if ((p[0] & 0xE0) == 0xC0) { n = 2; minimum = 0x80; value = p[0] & 0x1F; }
  else if ((p[0] & 0xF0) == 0xE0) { n = 3; minimum = 0x800; value = p[0] & 0x0F; }
  else if ((p[0] & 0xF8) == 0xF0) { n = 4; minimum = 0x10000; value = p[0] & 0x07; }
  else return 0;
  for (std::size_t i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;  // also stops at the terminating NUL
    value = (value << 6) | (p[i] & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return n;
}

}  // namespace

bool IsValidUtf8(const char* text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p) {
    std::size_t n = SequenceLength(p);
    if (n == 0) return false;
    p += n;
  }
  return true;
}

std::size_t Utf8Prefix(const char* text, std::size_t length, std::size_t limit) {
  if (length <= limit) return length;
  std::size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

void MakeDisplayText(const char* text, char* out, std::size_t size) {
  if (!out || size == 0) return;
  if (!text) text = "";
  const bool latin1 = !IsValidUtf8(text);
  std::size_t used = 0;
  for (const char* p = text; *p;) {
    char c = *p;
    if (c == '\x02' || c == '\x0F' || c == '\x11' || c == '\x16' || c == '\x1D' || c == '\x1E' ||
        c == '\x1F') {
      ++p;
      continue;
    }
    if (c == '\x03') {
      p = SkipColour(p + 1, 2, IsDigit);
      continue;
    }
    if (c == '\x04') {
      p = SkipColour(p + 1, 6, IsHexDigit);
      continue;
    }
    unsigned char byte = static_cast<unsigned char>(c);
    char encoded[4];
    std::size_t n;
    if (c == '\t') {
      encoded[0] = ' ';
      n = 1;
    } else if (latin1 && byte >= 0x80) {
      encoded[0] = static_cast<char>(0xC0 | (byte >> 6));
      encoded[1] = static_cast<char>(0x80 | (byte & 0x3F));
      n = 2;
    } else {
      n = latin1 ? 1 : SequenceLength(reinterpret_cast<const unsigned char*>(p));
      std::memcpy(encoded, p, n);
    }
    if (used + n >= size) break;  // the next character does not fit whole
    std::memcpy(out + used, encoded, n);
    used += n;
    p += latin1 || c == '\t' ? 1 : n;
  }
  out[used] = '\0';
}
