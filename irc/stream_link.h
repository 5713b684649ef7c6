// The TCP connection to the IRC server: open, connect, send a text, read a line, shut down, close.
#pragma once
#include <cstdint>
#include "presence/socket_address.h"

constexpr int kStreamLineLength = 2048;  // every ReadLine buffer; at most 2047 bytes of line

class StreamLink {
 public:
  int socket = -1;                   // kNoSocket when none was made
  uint32_t numericAddress = 0;       // the host text as a dotted address, 0xFFFFFFFF if not one
  SocketAddress serverAddress = {};  // what connect used
  bool connectTried = false;         // a socket connects once; a new connection needs a new one

  int Open();                                 // 1, or -3 no socket
  int Connect(const char* host, int port);    // 1, 0 connect failed, -2 host does not resolve
  int Send(const char* text);                 // 1, or -1
  int ReadLine(char* buffer);                 // 1 a line (or a piece) in buffer, 0 nothing
  int Shutdown();                             // receiving direction only; always 1
  int ShutdownBoth();                         // also ends a send under way; always 1
  int Close();                                // always 1
};
