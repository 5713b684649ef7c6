// The message dispatcher: classifies each server line after registration, answers PING, and
// hands each line to the part that takes it: chat here, membership, the address handshake,
// the relay, and the readable replies. Every event carries the channel it belongs to.
#include "irc/dispatcher.h"

#include <cstdio>
#include <cstring>

#include "core/ignore_list.h"
#include "core/irc_case.h"
#include "irc/discovery_lines.h"
#include "irc/handshake.h"
#include "irc/irc_client.h"
#include "irc/membership.h"
#include "irc/nick_regain.h"
#include "irc/relay_lines.h"
#include "irc/words/ctcp_lines.h"
#include "irc/words/reply_lines.h"

static void CopyOut(char* out, const char* text) {
  std::size_t n = strnlen(text, kIrcLineLength - 1);
  std::memcpy(out, text, n);
  out[n] = '\0';
}

// The nickname of a user's prefix; "" for a server's.
static const char* SenderOf(const IrcMessage& m) { return m.fromUser ? m.source : ""; }

// Messages from anyone are shown, from inside the channel or not; the handshake only with peers.
static int HandlePrivmsg(const IrcMessage& m, IrcEvent* event) {
  char* nick = event->nick;
  char* message = event->text;
  const char* sender = SenderOf(m);
  const char* target = Param(m, 0);
  const char* text = Param(m, 1);
  int index = Irc.peerTable.FindByNick(sender);
  if (IsHandshake(target, text)) {
    // Only with members of the channel, and never with "PRESENCE off".
    return index && !Irc.presenceOff ? HandleHandshake(index, sender, text) : EventNone;
  }
  if (TakeQivraText(sender, target, text)) return EventNone;  // an announcement or details
  bool toChannel = IsChannelName(target);
  if (!toChannel && TakeRelayMove(sender, text)) return EventNone;
  if (!sender[0]) return EventNone;  // a server's message: nobody to show it from
  if (IsNickIgnored(sender)) return EventNone;  // "/ignore": neither shown nor answered
  CopyOut(nick, sender);
  // A channel's line belongs to the channel; a private one to the conversation with sender.
  FormatInto(event->channel, sizeof event->channel, "%s", toChannel ? target : sender);
  if (std::strncmp(text, "\x01" "ACTIO", 6) == 0) {
    const char* action = std::strlen(text) > 8 ? text + 8 : "";
    CopyOut(message, action);
    message[std::strcspn(message, "\x01")] = '\0';
    return EventAction;
  }
  if (text[0] == '\x01') {  // a client-to-client request: answered, shown in words
    nick[0] = '\0';
    event->channel[0] = '\0';
    HandleCtcp(sender, text, false, message, kIrcLineLength);
    return IsQuietVersionRequest(sender, text) ? EventNone : EventText;
  }
  CopyOut(message, text);
  return toChannel ? EventChannelMessage : EventPrivateMessage;
}

// A notice from a user: to a channel or to us. A server's notice, and a CTCP answer, are text.
static int HandleNotice(const IrcMessage& m, IrcEvent* event) {
  const char* target = Param(m, 0);
  const char* text = Param(m, m.count - 1);
  if (!m.fromUser || text[0] == '\x01') return ShowServerLine(m, event->text);
  if (IsNickIgnored(m.source)) return EventNone;  // "/ignore": neither shown nor answered
  CopyOut(event->nick, m.source);
  CopyOut(event->text, text);
  FormatInto(event->channel, sizeof event->channel, "%s", IsChannelName(target) ? target : "");
  return EventNotice;
}

// The channel's own news (its topic, a mode change) belongs to the channel: its conversation
// shows it and its log keeps it. Replies to the user's questions show where the user is.
static void NoteChannelOf(const IrcMessage& m, IrcEvent* event) {
  const int numeric = NumericOf(m);
  const bool news = numeric == 331 || numeric == 332 || numeric == 333 || std::strcmp(m.command, "TOPIC") == 0 ||
                    std::strcmp(m.command, "MODE") == 0;
  const char* about = numeric ? Param(m, 1) : Param(m, 0);
  if (news && IsChannelName(about) && Irc.peerTable.rooms.Find(about) != kNoRoom)
    FormatInto(event->channel, sizeof event->channel, "%s", about);
}

int DispatchMessage(const IrcMessage& m, IrcEvent* event) {
  event->nick[0] = '\0';
  event->text[0] = '\0';
  event->channel[0] = '\0';
  event->result = 0;
  char reply[kIrcLineLength];
  if (BuildPingReply(m, reply, sizeof reply)) {
    Irc.streamLink.Send(reply);  // this is the thread that sends; the pace is not for answers
    return EventPingAnswered;
  }
  if (TakeNickRegainLine(m)) return EventHandled;  // the asking after a fallback's own name
  const char* c = m.command;
  if (std::strcmp(c, "PRIVMSG") == 0) return HandlePrivmsg(m, event);
  if (std::strcmp(c, "NOTICE") == 0) {
    if (TakeQivraText(SenderOf(m), Param(m, 0), Param(m, 1))) return EventNone;
    // Some clients answer a CTCP they do not know, our announcement among them: not shown.
    if (std::strncmp(Param(m, 1), "\x01" "ERRMSG QIVRA", 13) == 0) return EventNone;
    return HandleNotice(m, event);
  }
  if (TakeTargetRefusal(m)) return EventHandled;  // a line of ours named more than it takes
  if (std::strcmp(c, "JOIN") == 0) return HandleJoin(m, event);
  if (std::strcmp(c, "PART") == 0) return HandlePart(m, event);
  if (std::strcmp(c, "QUIT") == 0) return HandleQuit(m, event);
  if (std::strcmp(c, "KICK") == 0) return HandleKick(m, event);
  if (std::strcmp(c, "NICK") == 0) return HandleNick(m, event);
  if (std::strcmp(c, "MODE") == 0) TakeModeChange(m);
  if (std::strcmp(c, "353") == 0) {
    TakeNames(m);
    return GatherNames(m, event);
  }
  if (std::strcmp(c, "366") == 0) {
    EndOfNames(m);
    return ShowMemberList(event);
  }
  if (std::strcmp(c, "311") == 0) {
    int code = TakeMemberHost(Param(m, 1), Param(m, 3));
    int shown = ShowServerLine(m, event->text);  // only for a WHOIS the user asked for
    return shown == EventNone ? code : shown;
  }
  if (std::strcmp(c, "352") == 0) return HandleWhoReply(m);
  if (std::strcmp(c, "315") == 0) return HandleEndOfWho(m);
  if (std::strcmp(c, "MODE") == 0 && ShowModeChange(m, event->nick, event->text) == EventModeChange) {
    FormatInto(event->channel, sizeof event->channel, "%s", Param(m, 0));  // for its conversation and log
    return EventModeChange;
  }
  int kind = ShowServerLine(m, event->text);
  if (kind == EventText && RefusedJoin(m, event->text, event) == EventJoinRefused) return EventJoinRefused;
  if (kind == EventText) NoteChannelOf(m, event);
  return kind;
}
