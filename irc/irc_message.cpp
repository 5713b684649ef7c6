// Splitting a server line into source, command and parameters by the protocol's rules.
#include "irc/irc_message.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

void ParseIrcMessage(const char* line, IrcMessage* m) {
  std::size_t length = strnlen(line, kIrcLineLength - 1);
  std::memcpy(m->words, line, length);
  m->words[length] = '\0';
  m->words[std::strcspn(m->words, "\r\n")] = '\0';
  m->source[0] = '\0';
  m->fromUser = false;
  m->host = "";
  m->command = "";
  m->count = 0;
  m->trailing = false;

  char* p = m->words;
  while (*p == ' ') ++p;
  if (*p == ':') {
    char* prefix = p + 1;
    p = std::strchr(prefix, ' ');
    if (p) *p++ = '\0'; else p = prefix + std::strlen(prefix);
    std::size_t nick = std::strcspn(prefix, "!@");
    m->fromUser = prefix[nick] != '\0';
    std::memcpy(m->source, prefix, nick);
    m->source[nick] = '\0';
    const char* at = std::strchr(prefix, '@');
    if (at) m->host = at + 1;
    while (*p == ' ') ++p;
  }
  m->command = p;
  p += std::strcspn(p, " ");
  while (*p) {
    *p++ = '\0';
    while (*p == ' ') ++p;
    if (!*p) break;
    if (*p == ':' || m->count == kIrcMaxParams - 1) {
      m->trailing = *p == ':';
      m->params[m->count++] = *p == ':' ? p + 1 : p;  // the trailing parameter keeps its blanks
      break;
    }
    m->params[m->count++] = p;
    p += std::strcspn(p, " ");
  }
}

const char* Param(const IrcMessage& m, int i) { return i >= 0 && i < m.count ? m.params[i] : ""; }

bool IsNumeric(const IrcMessage& m) {
  const char* c = m.command;
  return std::isdigit(static_cast<unsigned char>(c[0])) && std::isdigit(static_cast<unsigned char>(c[1])) &&
         std::isdigit(static_cast<unsigned char>(c[2])) && c[3] == '\0';
}

int NumericOf(const IrcMessage& m) {
  if (!IsNumeric(m)) return 0;
  return (m.command[0] - '0') * 100 + (m.command[1] - '0') * 10 + (m.command[2] - '0');
}

void FormatInto(char* out, std::size_t size, const char* format, ...) {
  if (!out || size == 0) return;
  va_list args;
  va_start(args, format);
  if (std::vsnprintf(out, size, format, args) < 0) out[0] = '\0';
  va_end(args);
}

static bool IsSeparator(char c, const char* separators) {
  return c != '\0' && std::strchr(separators, c) != nullptr;
}

const char* CopyWord(const char* text, const char* separators, char* out, std::size_t size) {
  while (IsSeparator(*text, separators)) ++text;
  std::size_t n = 0;
  while (text[n] && !IsSeparator(text[n], separators)) ++n;
  std::size_t kept = n < size - 1 ? n : size - 1;
  std::memcpy(out, text, kept);
  out[kept] = '\0';
  return text + n;
}

bool BuildPingReply(const IrcMessage& m, char* reply, std::size_t size) {
  if (std::strcmp(m.command, "PING") != 0 || size < 8) return false;
  std::size_t room = size - 3;  // the line end and its NUL always fit
  std::size_t used = 0;
  auto append = [&](const char* text) {
    std::size_t n = strnlen(text, room - used);
    std::memcpy(reply + used, text, n);
    used += n;
  };
  append("PONG");
  for (int i = 0; i < m.count; ++i) {
    append(" ");
    if (i == m.count - 1 && m.trailing) append(":");
    append(m.params[i]);
  }
  std::memcpy(reply + used, "\r\n", 3);
  return true;
}

bool IsEndOfMotd(const IrcMessage& m) {
  return std::strcmp(m.command, "376") == 0 || std::strcmp(m.command, "422") == 0;
}
