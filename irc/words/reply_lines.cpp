// Notices, topics, invitations, the member list, replies and errors as console lines.
#include "irc/words/reply_lines.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/irc_case.h"
#include "core/ignore_list.h"
#include "irc/words/ctcp_lines.h"
#include "irc/motd_rule.h"
#include "irc/registration.h"
#include "irc/words/server_lines.h"
#include "platform/ticks.h"

namespace {

constexpr int kQueries = 8;
constexpr int kNameLength = 64;

// A nickname the user asked about or wrote to.
struct UserQuery {
  char nick[kNameLength];
  bool whois;
};

struct NamesList {
  char channel[kNameLength];
  char text[1900];  // with "In <channel>: " and " (count)" it fits one event line
  std::size_t used;
  int count;
};

// What the replies' words remember between lines (the link thread): the nicknames the user
// asked about or wrote to, newest replacing oldest, the member list being gathered, and the
// nickname whose WHOIS replies are arriving now.
struct RepliesRecord {
  UserQuery queries[kQueries];
  int nextQuery;
  NamesList names;
  char whoisNick[kNameLength];
};
RepliesRecord Replies;

UserQuery* FindQuery(const char* nick) {
  for (UserQuery& q : Replies.queries)
    if (q.nick[0] && SameIrcName(q.nick, nick)) return &q;
  return nullptr;
}

bool IsUserQuery(const char* nick, bool whois) {
  UserQuery* q = FindQuery(nick);
  return q && (!whois || q->whois);
}

void EndUserWhois(const char* nick) {
  if (UserQuery* q = FindQuery(nick)) q->whois = false;
}

int Show(const char* text, char* message) {
  if (!text[0]) return EventNone;
  FormatInto(message, kIrcLineLength, "%s", text);
  return EventText;
}

int ShowServerText(const IrcMessage& m, char* message) {
  FormatServerText(m, message, kIrcLineLength);
  return message[0] ? EventText : EventNone;
}

int ShowNotice(const IrcMessage& m, char* message) {
  if (!m.fromUser) return ShowServerText(m, message);
  if (IsNickIgnored(m.source)) return EventNone;  // "/ignore": neither shown nor answered
  const char* text = Param(m, m.count - 1);
  if (text[0] == '\x01') {
    HandleCtcp(m.source, text, true, message, kIrcLineLength);
    return EventText;
  }
  const char* target = Param(m, 0);
  if (target[0] && std::strchr("#&+!", target[0])) {  // to a channel: irssi's "-nick:#channel- text"
    FormatInto(message, kIrcLineLength, "-%s:%s- %s", m.source, target, text);
  } else {
    FormatInto(message, kIrcLineLength, "-%s- %s", m.source, text);
  }
  return EventText;
}

int ShowTopicChange(const IrcMessage& m, char* message) {
  const char* topic = Param(m, 1);
  if (topic[0]) {
    FormatInto(message, kIrcLineLength, "%s changed the topic of %s to: %s", m.source, Param(m, 0), topic);
  } else {
    FormatInto(message, kIrcLineLength, "%s removed the topic of %s", m.source, Param(m, 0));
  }
  return EventText;
}

// 333: «<me> <channel> <setter> <seconds since 1970>»; the setter may be nick!user@host.
int ShowTopicSetter(const IrcMessage& m, char* message) {
  char setter[kNameLength];
  FormatInto(setter, sizeof setter, "%.*s", static_cast<int>(std::strcspn(Param(m, 2), "!@")), Param(m, 2));
  char when[64] = "";
  long long seconds = std::atoll(Param(m, 3));
  if (seconds > 0) LocalMomentText(seconds, when, sizeof when);
  if (when[0]) {
    FormatInto(message, kIrcLineLength, "Topic set by %s on %s", setter, when);
  } else {
    FormatInto(message, kIrcLineLength, "Topic set by %s", setter);
  }
  return EventText;
}

void ResetNames(const char* channel) {
  NamesList& names = Replies.names;
  FormatInto(names.channel, sizeof names.channel, "%s", channel);
  names.text[0] = '\0';
  names.used = 0;
  names.count = 0;
}

// The replies to the client's own WHOIS look-ups stay quiet; those the user asked for show.
// A WHOIS answer runs from its 311 to its 318, every reply naming the nickname first.
int ShowReply(const IrcMessage& m, char* message) {
  int numeric = NumericOf(m);
  const char* about = Param(m, 1);
  char text[kIrcLineLength];
  if (numeric == 311) FormatInto(Replies.whoisNick, sizeof Replies.whoisNick, "%s", about);
  bool inWhois = Replies.whoisNick[0] && SameIrcName(about, Replies.whoisNick);
  switch (numeric) {
    case 318:
      if (inWhois) Replies.whoisNick[0] = '\0';
      EndUserWhois(about);
      return EventNone;
    case 332:
      FormatInto(message, kIrcLineLength, "Topic of %s: %s", about, Param(m, 2));
      return EventText;
    case 333: return ShowTopicSetter(m, message);
    case 331:
      FormatInto(message, kIrcLineLength, "%s has no topic", about);
      return EventText;
    case 352:  // WHO and USERHOST replies answer the client's own look-ups
    case 315:
    case 302:
      return EventNone;
    default:
      break;
  }
  if (inWhois) return IsUserQuery(about, true) ? ShowServerText(m, message) : EventNone;
  // "Away" for the client's own handshake messages is no news to the user.
  if ((numeric == 401 || numeric == 406 || numeric == 301) && !IsUserQuery(about, false)) return EventNone;
  if (ExplainErrorReply(m, text, sizeof text)) return Show(text, message);
  return ShowServerText(m, message);
}

}  // namespace

void NoteUserQuery(const char* nick, bool whois) {
  if (!nick || !*nick) return;
  UserQuery* q = FindQuery(nick);
  if (!q) {
    q = &Replies.queries[Replies.nextQuery];
    Replies.nextQuery = (Replies.nextQuery + 1) % kQueries;
    FormatInto(q->nick, sizeof q->nick, "%s", nick);
    q->whois = false;
  }
  q->whois = q->whois || whois;
}

int ShowServerLine(const IrcMessage& m, char* message) {
  char text[kIrcLineLength];
  if (HandleLoginLine(m, text, sizeof text)) return Show(text, message);
  const char* c = m.command;
  if (std::strcmp(c, "NOTICE") == 0) return ShowNotice(m, message);
  if (std::strcmp(c, "TOPIC") == 0) return ShowTopicChange(m, message);
  // Invitations and mode changes in words (irc/mode_away_text.cpp).
  if (std::strcmp(c, "INVITE") == 0 || std::strcmp(c, "MODE") == 0) return ShowServerText(m, message);
  if (std::strcmp(c, "ERROR") == 0) return ShowServerText(m, message);
  // A server that ends registration with a PING sends its message of the day afterwards.
  if (HideRepeatedMotd(m, message, kIrcLineLength)) return message[0] ? EventText : EventNone;
  if (IsNumeric(m)) return ShowReply(m, message);
  return EventNone;
}

int ShowModeChange(const IrcMessage& m, char* nick, char* message) {
  const char* target = Param(m, 0);
  if (m.count < 2 || !target[0] || !std::strchr("#&+!", target[0])) return ShowServerText(m, message);
  std::size_t used = 0;
  message[0] = '\0';
  for (int i = 0; i < m.count && used + 1 < kIrcLineLength; ++i) {
    FormatInto(message + used, kIrcLineLength - used, "%s%s", i ? " " : "", m.params[i]);
    used += strnlen(message + used, kIrcLineLength - used);
  }
  FormatInto(nick, kIrcLineLength, "%s", m.source);
  return EventModeChange;
}

int GatherNames(const IrcMessage& m, IrcEvent* event) {
  if (m.count < 4) return EventHandled;  // «<me> = #channel :names»: no names, no channel either
  const char* channel = Param(m, m.count - 2);
  NamesList& names = Replies.names;
  int code = EventHandled;
  if (!SameIrcName(channel, names.channel)) {
    // "NAMES" for several channels: the list gathered so far is handed over before the next begins.
    code = ShowMemberList(event) == EventMemberList ? EventMemberList : EventHandled;
    ResetNames(channel);
  }
  const char* walk = Param(m, m.count - 1);
  while (*walk) {
    std::size_t length = std::strcspn(walk, " ");
    if (length > 0) {
      std::size_t needed = length + (names.used ? 2 : 0);
      if (names.used + needed >= sizeof names.text && code == EventHandled && names.used) {
        // A list longer than one event can hold goes in parts; the last part carries the count.
        FormatInto(event->channel, sizeof event->channel, "%s", names.channel);
        FormatInto(event->text, kIrcLineLength, "%s", names.text);
        event->result = 0;
        code = EventMemberList;
        names.text[0] = '\0';
        names.used = 0;
        needed = length;
      }
      if (names.used + needed < sizeof names.text) {
        int n = std::snprintf(names.text + names.used, sizeof names.text - names.used, "%s%.*s",
                              names.used ? ", " : "", static_cast<int>(length), walk);
        names.used += static_cast<std::size_t>(n);
      }
      ++names.count;
    }
    walk += length;
    while (*walk == ' ') ++walk;
  }
  return code;
}

int ShowMemberList(IrcEvent* event) {
  const NamesList& names = Replies.names;
  const int count = names.count;
  if (count > 0) {
    FormatInto(event->channel, sizeof event->channel, "%s", names.channel);
    FormatInto(event->text, kIrcLineLength, "%s", names.text);
    event->result = count;
  }
  ResetNames("");
  return count > 0 ? EventMemberList : EventNone;
}
