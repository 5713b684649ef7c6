// The console's words for chat (channel messages, actions, private messages, notices), and the
// one entry that words any event the link thread hands over.
#pragma once
#include <cstddef>

struct IrcEvent;

// Room for the longest event line: two 2047-character strings and the words around them.
constexpr std::size_t kEventLineSize = 2 * 2047 + 192;

// The line for a chat kind (EventChannelMessage, EventAction, EventPrivateMessage, EventNotice)
// into out (bounded by size); false for other kinds. A private message shows in the
// conversation with its sender, so it reads as a channel's line does.
bool FormatChatLine(int kind, const char* channel, const char* nick, const char* text, char* out, std::size_t size);
// Where the speaker's nickname (the event's nick) begins in the line FormatChatLine makes for
// kind: 1 after "<" or "-", 2 after "* "; -1 for a kind whose line names no speaker first.
int SpeakerOffset(int kind);
// The line for any shown event: chat, membership (irc/words/member_lines.h) or a line the link
// thread worded already (EventText); false for kinds that show no line.
bool FormatEventLine(const IrcEvent& event, char* out, std::size_t size);
