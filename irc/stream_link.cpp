// The TCP link to the IRC server, plain or under TLS: lines in and out as bytes.
#include "irc/stream_link.h"

#include <cstring>

#include "console/trusted_certificates.h"
#include "platform/net.h"
#include "platform/ticks.h"
#include "presence/host_lookup.h"

// A server that stops reading must not hold the link thread (and every queued line) for ever.
constexpr int kSendTimeoutMs = 2000;

int StreamLink::Open() {
  EndTls();
  NetClose(socket);  // a second Open without Close must not leak the first socket
  connectTried = false;
  ended = false;
  partialLength = 0;
  failure = LinkFailNone;
  firstByteCount = 0;
  socket = NetOpenStream();
  if (socket == kNoSocket) return -3;
  NetSetSendTimeout(socket, kSendTimeoutMs);
  if (LinkBindAddress != 0) NetBind(socket, LinkBindAddress, 0);  // chosen source address
  return 1;
}

namespace {

// The time left of a connect and the user's wish to go on, asked between waiting slices.
struct ConnectClock {
  uint32_t start;
  const std::atomic<uint8_t>* abandon;
  bool abandoned = false;
  uint32_t Left() const {
    uint32_t spent = static_cast<uint32_t>(TickCountMs() - start);
    return spent >= kConnectLimitMs ? 0 : kConnectLimitMs - spent;
  }
  bool GoOn() {
    if (abandon && abandon->load()) abandoned = true;
    return !abandoned && Left() > 0;
  }
};

bool LookupGoesOn(void* clock) { return static_cast<ConnectClock*>(clock)->GoOn(); }

LinkFailure FailureOf(NetConnectOutcome outcome) {
  switch (outcome) {
    case NetRefused: return LinkFailRefused;
    case NetUnreachable: return LinkFailNoRoute;
    case NetTimedOut: return LinkFailNoAnswer;
    default: return LinkFailOther;
  }
}

}  // namespace

int StreamLink::Connect(const char* host, int port) {
  failure = LinkFailNone;
  ended = false;
  firstByteCount = 0;
  partialLength = 0;
  ConnectClock clock{TickCountMs(), abandon};
  tls.result = 0;
  HostAddresses found = {};
  if (LookUpHostWhile(host, &found, LookupGoesOn, &clock) != 1) {
    failure = clock.abandoned ? LinkFailAbandoned : clock.Left() == 0 ? LinkFailNoAnswer : LinkFailNoSuchHost;
    return -2;
  }
  std::memset(&serverAddress, 0, sizeof serverAddress);
  serverAddress.port = NetPortToWire(port);
  connectTried = true;
  int connected = kNoSocket, winner = 0;
  NetConnectOutcome outcome = NetConnectAny(found.list, found.count, serverAddress.port, LinkBindAddress,
                                            static_cast<int>(clock.Left()), LookupGoesOn, &clock,
                                            &connected, &winner);
  if (outcome == NetConnecting) {  // the time ran out, or the user left
    failure = clock.abandoned ? LinkFailAbandoned : LinkFailNoAnswer;
    return 0;
  }
  if (outcome != NetConnected) {
    failure = FailureOf(outcome);
    return 0;
  }
  NetClose(socket.exchange(connected));  // Open's, never connected
  NetSetSendTimeout(socket, kSendTimeoutMs);
  serverAddress.address = found.list[winner];
  if (!tls.wanted) return 1;
  int result = tls.result = StartTls(host, port, clock.Left());
  if (result == kStreamTlsFailed && clock.Left() == 0) {
    // A server that takes the connect but never answers the handshake: the connect's own limit.
    failure = clock.abandoned ? LinkFailAbandoned : LinkFailNoAnswer;
    tls.result = 0;
    return 0;
  }
  if (result != 1) failure = LinkFailTls;
  return result;
}

// The certificate is checked against the system's trust store and the host name; one that
// fails is still taken when the user chose to trust it for this server.
int StreamLink::StartTls(const char* host, int port, uint32_t limitMs) {
  EndTls();
  char bare[256];  // the certificate names an IPv6 address without brackets
  NetBareHost(host, bare, sizeof bare);
  tls.session = TlsStart(socket, bare, static_cast<int>(limitMs), &tls.check);
  if (tls.session && (tls.check.passed || IsCertificateTrusted(host, port, tls.check.fingerprint))) return 1;
  bool handshaken = tls.session != nullptr;
  EndTls();
  NetShutdownBoth(socket);  // nothing, the QUIT included, may go out unencrypted afterwards
  return handshaken ? kStreamCertificateRefused : kStreamTlsFailed;
}

void StreamLink::EndTls() {
  TlsEnd(tls.session);
  tls.session = nullptr;
}

int StreamLink::Send(const char* text) {
  std::size_t length = strnlen(text, kStreamLineLength);
  if (tls.session) return TlsSend(tls.session, text, length, kSendTimeoutMs) < 0 ? -1 : 1;
  return NetSend(socket, text, length) < 0 ? -1 : 1;
}

int StreamLink::ReadLine(char* buffer) {
  std::memset(buffer, 0, kStreamLineLength);
  unsigned waiting = 0;  // bytes known to wait on the socket: asked again only when used up
  for (;;) {
    char ch = 0;
    int r = NextByte(&ch, &waiting);
    if (r == -2) return 0;  // the rest of the line has not come yet
    if (r == 0) {           // closed: the piece read so far, once; later calls see nothing
      ended = true;
      return TakePartial(buffer);
    }
    if (r < 0) {
      ended = true;
      partialLength = 0;
      return 0;
    }
    partial[partialLength++] = ch;
    if (firstByteCount < 2) firstBytes[firstByteCount++] = static_cast<unsigned char>(ch);
    if (ch == '\n' || partialLength == kStreamLineLength - 1) return TakePartial(buffer);
  }
}

// Under TLS bytes may wait inside the session with none on the socket, and bytes on the socket
// may carry no text (a session ticket): then nothing is read.
int StreamLink::NextByte(char* byte, unsigned* waiting) {
  if (tls.session) {
    if (!HasBufferedInput() && NetBytesWaiting(socket) == 0)
      return connectTried && NetStreamEnded(socket) ? 0 : -2;
    return TlsReceiveByte(tls.session, byte, false);
  }
  if (*waiting == 0) *waiting = NetBytesWaiting(socket);
  if (*waiting == 0) {
    // Nothing waiting is also what a closed connection reports: tell the two apart.
    return connectTried && NetStreamEnded(socket) ? 0 : -2;
  }
  --*waiting;
  return NetReceiveByte(socket, byte);
}

int StreamLink::TakePartial(char* buffer) {
  if (partialLength == 0) return 0;
  std::memcpy(buffer, partial, static_cast<std::size_t>(partialLength));
  buffer[partialLength] = '\0';
  partialLength = 0;
  return 1;
}

bool StreamLink::HasBufferedInput() { return tls.session && TlsHasBufferedBytes(tls.session); }

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
  EndTls();
  NetClose(socket);
  socket = kNoSocket;
  connectTried = false;
  partialLength = 0;
  return 1;
}
