// Answers to VERSION, PING, TIME and CLIENTINFO requests, and the lines that show such requests.
#include "irc/words/ctcp_lines.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "irc/irc_client.h"
#include "irc/irc_message.h"
#include "irc/line_pacing.h"
#include "irc/words/ctcp_ping.h"
#include "platform/ticks.h"

#ifndef QIVRA_VERSION
#define QIVRA_VERSION "unknown"
#endif

// The last word tells QIVRA clients of the version before this one that this one takes moves
// relayed through the server (kRelayWord, irc/relay_lines.cpp); to anyone else it is part of an
// ordinary version reply. Newer clients learn it from the details they trade (QIVRA's own CTCP).
const char kClientVersion[] =
    "QIVRA " QIVRA_VERSION ", an IRC client that shares a channel as a 3D room, relay/1";
const char kClientVersionWithoutRelay[] = "QIVRA " QIVRA_VERSION ", an IRC client that shares a channel as a 3D room";

namespace {

// When the last answer went (link thread only).
struct AnswerPace {
  uint32_t lastAnswer = 0;
  bool answeredBefore = false;
};
AnswerPace Answers;

// A flood of requests must not get the client thrown off the server for flooding: someone
// outside our channels gets one answer a second; a member one answer waiting at a time (an
// older QIVRA asks VERSION to find who relays: its answer is never dropped, only paced).
bool MayAnswer(const char* sender) {
  const int index = Irc.peerTable.FindByNick(sender);
  if (index) {
    const PeerLink& link = Irc.peerTable.links[index];
    return !link.answerWaiting || PacedLineGone(AnswerLine, link.answerTicket);
  }
  uint32_t now = TickCountMs();
  if (Answers.answeredBefore && now - Answers.lastAnswer < kCtcpAnswerGapMs) return false;
  Answers.answeredBefore = true;
  Answers.lastAnswer = now;
  return true;
}

void QueueAnswer(const char* sender, const char* word, const char* reply) {
  char line[kIrcLineLength];
  FormatInto(line, sizeof line, "NOTICE %s :\x01%s %s\x01\r\n", sender, word, reply);
  uint32_t ticket = 0;
  if (SendPacedWithTicket(line, AnswerLine, &ticket) != 1) return;
  const int index = Irc.peerTable.FindByNick(sender);
  if (!index) return;
  Irc.peerTable.links[index].answerWaiting = 1;
  Irc.peerTable.links[index].answerTicket = ticket;
}

// The reply's text for a request, or false when this client does not answer that word.
bool ReplyText(const char* word, const char* argument, char* reply, std::size_t size) {
  if (strcasecmp(word, "VERSION") == 0) {
    FormatInto(reply, size, "%s", Irc.presenceOff ? kClientVersionWithoutRelay : kClientVersion);
  } else if (strcasecmp(word, "PING") == 0) {
    FormatInto(reply, size, "%s", argument);
  } else if (strcasecmp(word, "TIME") == 0) {
    LocalDateTimeText(reply, size);
  } else if (strcasecmp(word, "CLIENTINFO") == 0) {
    FormatInto(reply, size, "ACTION CLIENTINFO PING TIME VERSION");
  } else {
    return false;
  }
  return true;
}

}  // namespace

void HandleCtcp(const char* sender, const char* text, bool isNotice, char* out, std::size_t size) {
  char body[kIrcLineLength];
  FormatInto(body, sizeof body, "%s", text[0] == '\x01' ? text + 1 : text);
  body[std::strcspn(body, "\x01\r\n")] = '\0';
  char word[64];
  std::size_t length = std::strcspn(body, " ");
  FormatInto(word, sizeof word, "%.*s", static_cast<int>(length < 63 ? length : 63), body);
  const char* argument = body[length] ? body + length + 1 : "";

  if (strcasecmp(word, "ACTION") == 0) {
    FormatInto(out, size, "* %s [Private] %s", sender, argument);
    return;
  }
  uint32_t elapsed = 0;
  if (isNotice && strcasecmp(word, "PING") == 0 && TakeCtcpPingRoundTrip(argument, &elapsed)) {
    FormatInto(out, size, "PING reply from %s: %u.%02u s", sender, elapsed / 1000, elapsed % 1000 / 10);
    return;
  }
  if (isNotice) {
    FormatInto(out, size, "CTCP %s reply from %s: %s", word, sender, argument);
    return;
  }
  char reply[kIrcLineLength / 2];
  if (!ReplyText(word, argument, reply, sizeof reply)) {
    FormatInto(out, size, "CTCP %s from %s (not answered)", word, sender);
    return;
  }
  if (!MayAnswer(sender)) {
    FormatInto(out, size, "CTCP %s from %s (not answered: too many requests)", word, sender);
    return;
  }
  QueueAnswer(sender, word, reply);
  FormatInto(out, size, "CTCP %s from %s (answered)", word, sender);
}

