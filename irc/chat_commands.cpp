// The user's own requests to the server: nickname, topic, member list, WHOIS, private messages and notices.
#include <cstring>

#include "irc/words/reply_lines.h"
#include "irc/irc_client.h"
#include "irc/registration.h"

int IrcClient::ChangeNick(const char* nick) {
  if (!nick || !*nick) return 1;
  // While registering the server confirms nothing, so the name is taken on at once.
  if (!LoginWelcomed()) return SetNick(nick);
  SendIrcLine("\r\n", "NICK %s", nick);
  return 1;
}

int IrcClient::Topic(const char* text) {
  if (text && *text) {
    SendIrcLine("\r\n", "TOPIC %s :%s", channel, text);
  } else {
    SendIrcLine("\r\n", "TOPIC %s", channel);
  }
  return 1;
}

int IrcClient::Names() {
  SendIrcLine("\r\n", "NAMES %s", channel);
  return 1;
}

int IrcClient::Whois(const char* nick) {
  NoteUserQuery(nick, true);
  SendIrcLine("\r\n", "WHOIS %s", nick);
  return 1;
}

int IrcClient::SayTo(const char* target, const char* text) {
  NoteUserQuery(target, false);  // "No such nickname" comes back when nobody has that name
  SendIrcLine("\r\n", "PRIVMSG %s :%s", target, text);
  return 1;
}

int IrcClient::Notice(const char* target, const char* text) {
  NoteUserQuery(target, false);
  SendIrcLine("\r\n", "NOTICE %s :%s", target, text);
  return 1;
}
