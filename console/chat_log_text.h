// The names and lines of chat logs: safe file names from IRC names, and time-stamped log lines.
#pragma once
#include <cstddef>

constexpr std::size_t kChatLogNameBytes = 200;  // a file name's part from one IRC name, at most

// The form of a channel, nickname or server name that is safe as a file or folder name:
// lower-cased by the IRC rules (A-Z, and [ ] \ ~ as { } | ^) so that "#Room" and "#room" are one
// file, "/" and control characters as "_", a leading "." as "_", text that is not UTF-8 read as
// Latin-1, cut at kChatLogNameBytes without splitting a character; an empty name is "_".
// False when out (size bytes) cannot hold it.
bool ChatLogSafeName(const char* name, char* out, std::size_t size);
// "logs/<server>/<target>.log", both parts made safe; false when out cannot hold it.
bool ChatLogRelativePath(const char* server, const char* target, char* out, std::size_t size);
// One log line, "<stamp> <text>\n", the text as the console shows it (no formatting codes,
// UTF-8) with any line break or other control character in it as a blank. A text too long for
// out is cut (never inside a character) and the line still ends with "\n". Its length in bytes; 0 when out is too small
// for even the stamp.
std::size_t FormatChatLogLine(const char* stamp, const char* text, char* out, std::size_t size);
