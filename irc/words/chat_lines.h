// The console's words for chat (channel messages, actions, private messages), and the one entry
// that words any event the link thread hands over.
#pragma once
#include <cstddef>

// Room for the longest event line: two 2047-character strings and the words around them.
constexpr std::size_t kEventLineSize = 2 * 2047 + 64;

// The line for a chat kind (EventChannelMessage, EventAction, EventPrivateMessage) into out
// (bounded by size); false for other kinds.
bool FormatChatLine(int kind, const char* nick, const char* text, char* out, std::size_t size);
// The line for any shown event kind: chat, membership (irc/words/member_lines.h) or a line the
// link thread worded already (EventText); false for kinds that show no line.
bool FormatEventLine(int kind, const char* nick, const char* text, char* out, std::size_t size);
