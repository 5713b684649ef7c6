// Which chat events go into which chat log: the channel's, or a private partner's.
#pragma once
#include <cstddef>

// For a dispatcher event (code, rn, rm) and the console line shown for it: the log it belongs
// in (channel, or the partner's nickname) and the line written there. Chat, actions, joins,
// parts, quits, kicks, nickname changes and topics go to the channel's log; private messages
// ("<nick> text") and notices from users to the partner's; a notice to a channel
// ("-nick:#room- text") and a change of a channel's modes to that channel's; other text (server text, replies, the member list,
// CTCP answers) to none: false.
bool ChooseChatLog(int code, const char* rn, const char* rm, const char* shown, const char* channel,
                   char* target, std::size_t targetSize, char* line, std::size_t lineSize);
// The same for the current channel, and the line appended to the chosen log.
void LogChatEvent(int code, const char* rn, const char* rm, const char* shown);
