// Which chat events go into which chat log: the channel's, or a private partner's.
#pragma once
#include <cstddef>

struct IrcEvent;

// For an event (its kind, channel or partner, and nick) and the console line shown for it: the
// log it belongs in and the line written there. A channel's chat, actions, comings and goings,
// topics and modes go to the channel's log; private messages and actions to the partner's
// (their channel is the partner), notices to the channel or from a user to the sender's; server
// text, replies and the member list (no channel, or kinds of their own) to none: false.
bool ChooseChatLog(int kind, const char* channel, const char* nick, const char* text, const char* shown,
                   char* target, std::size_t targetSize, char* line, std::size_t lineSize);
// The line appended to the event's log.
void LogChatEvent(const IrcEvent& event, const char* shown);
