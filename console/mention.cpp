// Finding the own nickname as a word in a chat line, in IRC's case rule.
#include "console/mention.h"

#include <cstring>

#include "core/irc_case.h"

namespace {

// Characters that continue a nickname: next to the match they make it another word. Bytes of
// a UTF-8 sequence count as letters.
bool InNickname(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  if (c == '\0') return false;
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || u >= 0x80 ||
         std::strchr("[]\\`_^{|}-~", c) != nullptr;
}

bool SameAt(const char* text, const char* nick, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i)
    if (IrcLowerCase(text[i]) != IrcLowerCase(nick[i])) return false;
  return true;
}

}  // namespace

bool NamesNick(const char* text, const char* nick) {
  if (!text || !nick || !*nick || *text == '\0') return false;
  const std::size_t length = std::strlen(nick);
  for (const char* at = text; *at; ++at) {
    if (at != text && InNickname(at[-1])) continue;
    if (strnlen(at, length) < length) return false;
    if (SameAt(at, nick, length) && !InNickname(at[length])) return true;
  }
  return false;
}
