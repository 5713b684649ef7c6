// The registration dialogue the client answers itself: a server password, SASL PLAIN through
// CAP, another nickname when the chosen one is taken, and the readable form of every line.
#pragma once
#include <cstddef>
#include "irc/irc_event.h"
#include "irc/irc_message.h"

constexpr int kNicknameRetries = 3;  // "_" is added at most this often

// Called by Connect once the link is up, before NICK and USER: forgets the last registration
// and sends PASS and "CAP REQ :sasl" when the login asks for them.
void StartLogin();
// A line of the dialogue (CAP, AUTHENTICATE, the SASL replies, a taken nickname before the
// welcome; the welcome itself is noted and not taken). Answers it and fills text with what the
// user should read (empty: nothing). False: not such a line. Either thread, one at a time.
bool HandleLoginLine(const IrcMessage& m, char* text, std::size_t size);
// The server has welcomed the client (001): its nickname is now the server's to change.
bool LoginWelcomed();
// Link thread, for each line until registration ends: answers it (PING, the login dialogue),
// notes the welcome, and fills event's text with the line in readable form. EventRegistered
// for the first PING or the end of the message of the day, else EventText or EventNone.
int RegistrationLine(const IrcMessage& m, IrcEvent* event);
// RFC 4648 base64 of length bytes into out (NUL-terminated); false when out is too small.
bool EncodeBase64(const char* data, std::size_t length, char* out, std::size_t size);
