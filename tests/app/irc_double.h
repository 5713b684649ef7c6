// A recording stand-in for the IRC client: each call is logged with its arguments.
#pragma once
#include <string>
#include <vector>

#include "irc/stream_link.h"

struct IrcDoubleRecord {
  std::vector<std::string> calls;  // "Connect(irc.test, 6667)", in call order
  int connectResult;               // what the connect's event reports (ConnectFinished's argument)
  LinkFailure connectFailure;      // and why, when it is other than 1
};

extern IrcDoubleRecord IrcDouble;

void ResetIrcDouble();
