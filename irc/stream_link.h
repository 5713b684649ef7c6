// The TCP connection to the IRC server: open, connect, send a text, read a line, shut down, close.
#pragma once
#include <cstdint>
#include "presence/socket_address.h"

constexpr int kStreamLineLength = 2048;  // every ReadLine buffer; at most 2047 bytes of line

// Why the last Connect failed, and whether the server has ended the connection since.
enum LinkFailure {
  LinkFailNone,
  LinkFailNoSuchHost,   // the name does not resolve
  LinkFailRefused,      // nothing listens on that port
  LinkFailNoRoute,      // no way to that address
  LinkFailNoAnswer,     // no answer within kConnectLimitMs
  LinkFailAbandoned,    // the user left while it was under way
  LinkFailOther,        // any other failure of the connect call
};

// The words a console line uses for a failure ("connection refused").
inline const char* LinkFailureText(LinkFailure failure) {
  switch (failure) {
    case LinkFailNoSuchHost: return "name not found";
    case LinkFailRefused: return "connection refused";
    case LinkFailNoRoute: return "no route to host";
    case LinkFailNoAnswer: return "no answer";
    case LinkFailAbandoned: return "given up";
    default: return "connection failed";
  }
}

// A connect (name lookup included) gives up after this long, so that its failure is on the
// console within ten seconds however the network behaves.
constexpr uint32_t kConnectLimitMs = 8000;

// Set by the shell: called every few milliseconds while a connect is under way on the main
// thread, to keep the window alive; false gives the connect up (the user is leaving).
extern bool (*ConnectWaitHook)();

class StreamLink {
 public:
  int socket = -1;                   // kNoSocket when none was made
  uint32_t numericAddress = 0;       // the host text as a dotted address, 0xFFFFFFFF if not one
  SocketAddress serverAddress = {};  // what connect used
  bool connectTried = false;         // a socket connects once; a new connection needs a new one
  LinkFailure failure = LinkFailNone;  // why the last Connect gave 0 or -2
  bool ended = false;                // ReadLine found the stream at its end: the server is gone

  int Open();                                 // 1, or -3 no socket
  int Connect(const char* host, int port);    // 1, 0 connect failed, -2 host does not resolve
  int Send(const char* text);                 // 1, or -1
  int ReadLine(char* buffer);                 // 1 a line (or a piece) in buffer, 0 nothing
  int Shutdown();                             // receiving direction only; always 1
  int ShutdownBoth();                         // also ends a send under way; always 1
  int Close();                                // always 1
};
