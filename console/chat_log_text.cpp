// Chat logs' file names and lines as plain text rules, kept free of files so they are easy to test.
#include "console/chat_log_text.h"

#include <cstdio>
#include <cstring>

#include "console/display_text.h"
#include "core/irc_case.h"

namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

}  // namespace

bool ChatLogSafeName(const char* name, char* out, std::size_t size) {
  if (!out || size == 0) return false;
  char plain[kChatLogNameBytes * 2 + 1];
  std::size_t length = name ? strnlen(name, kChatLogNameBytes * 2) : 0;
  for (std::size_t i = 0; i < length; ++i) {
    char c = IrcLowerCase(name[i]);
    plain[i] = (c == '/' || IsControl(static_cast<unsigned char>(c))) ? '_' : c;
  }
  plain[length] = '\0';
  char utf8[kChatLogNameBytes * 4 + 1];
  MakeDisplayText(plain, utf8, sizeof utf8);  // only the Latin-1 reading is left for it to do
  length = Utf8Prefix(utf8, std::strlen(utf8), kChatLogNameBytes);
  if (length == 0) {
    utf8[0] = '_';
    length = 1;
  }
  if (utf8[0] == '.') utf8[0] = '_';  // never hidden, never "." or ".."
  if (length + 1 > size) return false;
  std::memcpy(out, utf8, length);
  out[length] = '\0';
  return true;
}

bool ChatLogRelativePath(const char* server, const char* target, char* out, std::size_t size) {
  char folder[kChatLogNameBytes + 1], file[kChatLogNameBytes + 1];
  if (!ChatLogSafeName(server, folder, sizeof folder) || !ChatLogSafeName(target, file, sizeof file)) return false;
  int n = std::snprintf(out, size, "logs/%s/%s.log", folder, file);
  return n > 0 && static_cast<std::size_t>(n) < size;
}

std::size_t FormatChatLogLine(const char* stamp, const char* text, char* out, std::size_t size) {
  if (!out || !stamp) return 0;
  int n = std::snprintf(out, size, "%s ", stamp);
  if (n <= 0 || static_cast<std::size_t>(n) + 2 > size) {
    if (size > 0) out[0] = '\0';
    return 0;
  }
  std::size_t used = static_cast<std::size_t>(n);
  MakeDisplayText(text ? text : "", out + used, size - used - 1);  // one byte kept for "\n"
  for (char* c = out + used; *c; ++c)
    if (IsControl(static_cast<unsigned char>(*c))) *c = ' ';  // a line break above all
  used += std::strlen(out + used);
  out[used++] = '\n';
  out[used] = '\0';
  return used;
}
