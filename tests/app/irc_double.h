// A recording stand-in for the IRC client: each call is logged with its arguments.
#pragma once
#include <string>
#include <vector>

#include "irc/stream_link.h"

struct IrcDoubleRecord {
  std::vector<std::string> calls;  // "Connect(irc.test, 6667)", in call order
  int connectResult;               // what IrcClient::Connect answers
  LinkFailure connectFailure;      // and why, when it answers other than 1
  int pollSucceedsOnCall;          // PollRegistration answers 1 on this call (1-based); 0: never
  int pollCalls;
};

extern IrcDoubleRecord IrcDouble;

void ResetIrcDouble();
