// Taking the own nickname back: a connection registered under a fallback ("carol_", as "carol"
// was still held, by the ghost of a connection lost without a word, say) asks after the wanted
// nickname and takes it as soon as it is free.
#pragma once
#include <cstddef>
#include <cstdint>
#include "irc/irc_message.h"

constexpr uint32_t kNickAskEveryMs = 30000;  // ISON's rhythm, and the latest first ask after 001
constexpr int kRegainNickBytes = 64;

// The rules' record. The wanted nickname outlives a connection; the rest is the connection's.
struct NickRegain {
  char wanted[kRegainNickBytes];  // the user's nickname
  char asked[kRegainNickBytes];   // this registration's first choice, as its first 433 names it
  char own[kRegainNickBytes];     // what the server calls us
  bool welcomed;     // 001 came on this connection
  bool monitor;      // the server's 005 offers MONITOR: it tells when the nickname is free
  bool asking;       // the asking has begun (the end of the message of the day, or 30 s after 001)
  bool watching;     // "MONITOR +" sent
  bool isonPending;  // an ISON of ours waits for its 303
  bool nickSent;     // "NICK wanted" sent; its answer has not come
  uint32_t welcomedAt;
  uint32_t lastAsk;
};

// What a rule asks for: a line to send (without its line end) and one to show; empty: none.
struct RegainStep {
  char send[2 * kRegainNickBytes + 16];
  char show[kRegainNickBytes + 48];
};

// A new connection registers: what the last one asked and learnt goes, the wanted name stays.
void RegainNewConnection(NickRegain* r);
// A line of the registration: 433 before the welcome, 001, 005, the end of the message of the
// day (or its absence, 422).
void RegainRegistrationLine(NickRegain* r, const IrcMessage& m, uint32_t now, RegainStep* step);
// A line after registration: the replies to our asking (303, 730, 731, 734), a refusal of our
// NICK, the wanted nickname's holder leaving (QUIT, NICK). True when the line is the rules' own
// and is not to be shown.
bool RegainServerLine(NickRegain* r, const IrcMessage& m, uint32_t now, RegainStep* step);
// The server gave us a new nickname (its NICK line): true when it is the wanted one taken
// back, with step->show saying so. Any other is the user's choice and becomes the wanted one.
bool RegainOwnNickChange(NickRegain* r, const char* nick, RegainStep* step);
// Often: an ISON when one is due.
void RegainTick(NickRegain* r, uint32_t now, RegainStep* step);
// True while the server calls us by another name than the wanted one.
bool RegainActive(const NickRegain& r);

// The link thread's record, each step's line sent and its text handed back.
void StartNickRegain();                                   // a connection begins
void NickRegainRegistrationLine(const IrcMessage& m);     // from the registration
bool TakeNickRegainLine(const IrcMessage& m);             // from the dispatcher; true: swallowed
bool NickRegainedText(const char* nick, char* text, std::size_t size);  // own NICK line
void AskForWantedNickIfDue();                             // from the link thread's loop
