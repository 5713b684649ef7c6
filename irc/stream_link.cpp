// The TCP link to the IRC server: lines in and out as plain bytes.
#include "irc/stream_link.h"

#include <cstring>

#include "platform/net.h"
#include "presence/host_lookup.h"

// A server that stops reading must not hold a sending thread (and the client lock) for ever.
constexpr int kSendTimeoutMs = 2000;

int StreamLink::Open() {
  NetClose(socket);  // a second Open without Close must not leak the first socket
  connectTried = false;
  socket = NetOpenStream();
  if (socket == kNoSocket) return -3;
  NetSetSendTimeout(socket, kSendTimeoutMs);
  if (LinkBindAddress != 0) NetBind(socket, LinkBindAddress, 0);  // chosen source address
  return 1;
}

int StreamLink::Connect(const char* host, int port) {
  uint32_t dotted = 0;
  numericAddress = NetParseDotted(host, &dotted) ? dotted : 0xFFFFFFFFu;
  uint32_t address = 0;
  if (LookUpHost(host, &address) != 1) return -2;
  std::memset(&serverAddress, 0, sizeof serverAddress);
  serverAddress.family = kAddressFamilyIPv4;
  serverAddress.port = NetPortToWire(port);
  serverAddress.address = address;
  connectTried = true;
  return NetConnect(socket, serverAddress.address, serverAddress.port);
}

int StreamLink::Send(const char* text) {
  return NetSend(socket, text, strnlen(text, kStreamLineLength)) < 0 ? -1 : 1;
}

int StreamLink::ReadLine(char* buffer) {
  std::memset(buffer, 0, kStreamLineLength);
  if (NetBytesWaiting(socket) == 0) return 0;
  int stored = 0;
  for (;;) {
    char ch = 0;
    int r = NetReceiveByte(socket, &ch);
    if (r < 0) return 0;
    if (r == 0) return 1;  // closed: the partial line once; later calls see nothing waiting
    buffer[stored++] = ch;
    if (ch == '\n' || stored == kStreamLineLength - 1) return 1;
  }
}

int StreamLink::Shutdown() {
  NetShutdownReceive(socket);
  return 1;
}

int StreamLink::ShutdownBoth() {
  NetShutdownBoth(socket);
  return 1;
}

int StreamLink::Close() {
  Shutdown();
  NetClose(socket);
  socket = kNoSocket;
  connectTried = false;
  return 1;
}
