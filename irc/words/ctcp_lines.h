// Client-to-client requests inside messages (\x01WORD text\x01): answered and shown as words.
#pragma once
#include <cstddef>

extern const char kClientVersion[];  // the answer to VERSION: name, version, what it is
// The same without the word that tells older QIVRA clients that we take relayed moves: the
// answer with "PRESENCE off", which takes none.
extern const char kClientVersionWithoutRelay[];
// To someone outside our channels at most one answer a second: floods go unanswered. A channel
// member gets an answer to each request, paced in the answer queue, one waiting at a time.
constexpr unsigned kCtcpAnswerGapMs = 1000;

// text is a message's text beginning with \x01, from sender. A request (privately or to a
// channel) is answered with a NOTICE when it is VERSION, PING, TIME or CLIENTINFO; a reply
// (isNotice) is only shown. out gets the line to show ("CTCP VERSION from alice (answered)",
// "* alice [Private] waves" for a private action).
// A reply to a PING of ours (irc/words/ctcp_ping.h) shows the round trip instead: "PING reply
// from bob: 0.21 s".
void HandleCtcp(const char* sender, const char* text, bool isNotice, char* out, std::size_t size);
