// Splitting server lines into words, bounded by the 2048-byte line buffers.
#include "irc/line_parse.h"

#include <cstring>

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

static void CopyText(char* out, const char* text, std::size_t length) {
  if (length > kIrcLineLength - 1) length = kIrcLineLength - 1;
  std::memmove(out, text, length);
  out[length] = '\0';
}

void ParseIrcLine(const char* line, IrcLineParts* parts) {
  char data[kIrcLineLength];
  std::size_t length = strnlen(line, kIrcLineLength - 1);
  std::memcpy(data, line, length);
  data[length] = '\0';
  data[std::strcspn(data, "\r\n")] = '\0';  // a bare line feed must not reach a shown text

  const char* p = CopyWord(data, " ", parts->senderHost, kIrcLineLength);
  p = CopyWord(p, " ", parts->command, kIrcLineLength);
  if (*p == ' ') ++p;
  CopyText(parts->params, p, std::strlen(p));

  parts->channel[0] = '\0';
  if (parts->params[0] != ':') {
    const char* end = CopyWord(parts->params, " :", parts->channel, kIrcLineLength);
    if (std::strlen(parts->params) > std::strlen(parts->channel)) {
      const char* rest = *end ? end + 1 : end;
      CopyText(parts->params, rest, std::strlen(rest));
    } else {
      CopyText(parts->params, parts->channel, std::strlen(parts->channel));
    }
  }
  if (parts->params[0] == ':') CopyText(parts->params, parts->params + 1, std::strlen(parts->params + 1));

  parts->sender[0] = '\0';
  if (parts->senderHost[0] == ':') {
    const char* bang = std::strchr(parts->senderHost, '!');
    if (bang) CopyText(parts->sender, parts->senderHost + 1, static_cast<std::size_t>(bang - parts->senderHost - 1));
  }
}

// Skips a ":prefix " word; returns where the command begins.
static const char* SkipPrefix(const char* line) {
  if (*line != ':') return line;
  const char* space = std::strchr(line, ' ');
  if (!space) return line + std::strlen(line);
  while (*space == ' ') ++space;
  return space;
}

bool BuildPingReply(const char* line, char* reply, std::size_t size) {
  const char* command = SkipPrefix(line);
  if (std::strncmp(command, "PING", 4) != 0) return false;
  char next = command[4];
  if (next != '\0' && next != ' ' && next != '\t' && next != ':' && next != '\r' && next != '\n')
    return false;  // another word that merely begins with PING
  const char* argument = command + 4;
  std::size_t length = strnlen(argument, size > 7 ? size - 7 : 0);
  std::memcpy(reply, "PONG", 4);
  std::memcpy(reply + 4, argument, length);
  reply[4 + length] = '\0';
  if (length == 0 || reply[3 + length] != '\n') {  // a cut piece still ends its line
    std::size_t end = std::strcspn(reply, "\r\n");
    std::memcpy(reply + end, "\r\n", 3);
  }
  return true;
}

bool IsEndOfMotd(const char* line) {
  char word[8];
  const char* command = SkipPrefix(line);
  CopyWord(command, " \r\n", word, sizeof word);
  return std::strcmp(word, "376") == 0 || std::strcmp(word, "422") == 0;
}
