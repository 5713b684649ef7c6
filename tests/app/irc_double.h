// A recording stand-in for the session: each call is logged with its arguments.
#pragma once
#include <string>
#include <vector>

#include "irc/irc_event.h"
#include "irc/link_results.h"
#include "irc/session.h"

struct IrcDoubleRecord {
  std::vector<std::string> calls;  // "StartSession(irc.test, 6667)", in call order
  int connectResult;               // what the connect's event reports (ConnectFinished's argument)
  LinkFailure connectFailure;      // and why, when it is other than 1
  std::string room;                // the room the session was last told the user stands in
  bool running;                    // a session was started and not ended
  SessionConfig config;            // the last one started with
  TlsCertificateCheck check;       // what a connect's TLS step reports
  int linesWaiting;                // typed lines the pace holds back, until dropped
};

extern IrcDoubleRecord IrcDouble;

void ResetIrcDouble();
// The report a connect's event carries, as the double's settings say.
LinkReport DoubleReport();
