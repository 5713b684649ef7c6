// The TCP link to the IRC server, plain or under TLS: lines in and out as bytes.
#include "irc/stream_link.h"

#include <cstring>

#include "console/trusted_certificates.h"
#include "platform/net.h"
#include "platform/ticks.h"
#include "presence/host_lookup.h"

bool (*ConnectWaitHook)() = nullptr;

// A server that stops reading must not hold a sending thread (and the client lock) for ever.
constexpr int kSendTimeoutMs = 2000;

int StreamLink::Open() {
  EndTls();
  NetClose(socket);  // a second Open without Close must not leak the first socket
  connectTried = false;
  ended = false;
  failure = LinkFailNone;
  socket = NetOpenStream();
  if (socket == kNoSocket) return -3;
  NetSetSendTimeout(socket, kSendTimeoutMs);
  if (LinkBindAddress != 0) NetBind(socket, LinkBindAddress, 0);  // chosen source address
  return 1;
}

namespace {

// The time left of a connect and the shell's wish to go on, asked between waiting slices.
struct ConnectClock {
  uint32_t start;
  bool abandoned = false;
  uint32_t Left() const {
    uint32_t spent = static_cast<uint32_t>(TickCountMs() - start);
    return spent >= kConnectLimitMs ? 0 : kConnectLimitMs - spent;
  }
  bool GoOn() {
    if (ConnectWaitHook && !ConnectWaitHook()) abandoned = true;
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
  ConnectClock clock{TickCountMs()};
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
  NetClose(socket);  // Open's, never connected
  socket = connected;
  NetSetSendTimeout(socket, kSendTimeoutMs);
  serverAddress.address = found.list[winner];
  if (!tls.wanted) return 1;
  int result = tls.result = StartTls(host, port);
  if (result != 1) failure = LinkFailTls;
  return result;
}

// The certificate is checked against the system's trust store and the host name; one that
// fails is still taken when the user chose to trust it for this server.
int StreamLink::StartTls(const char* host, int port) {
  EndTls();
  char bare[256];  // the certificate names an IPv6 address without brackets
  NetBareHost(host, bare, sizeof bare);
  tls.session = TlsStart(socket, bare, kTlsHandshakeMs, &tls.check);
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
  if (tls.session) return ReadTlsLine(buffer);
  if (NetBytesWaiting(socket) == 0) {
    // Nothing waiting is also what a closed connection reports: tell the two apart.
    if (connectTried && !ended && NetStreamEnded(socket)) ended = true;
    return 0;
  }
  int stored = 0;
  for (;;) {
    char ch = 0;
    int r = NetReceiveByte(socket, &ch);
    if (r < 0) {
      ended = true;
      return 0;
    }
    if (r == 0) {  // closed: the partial line once; later calls see nothing waiting
      ended = true;
      return 1;
    }
    buffer[stored++] = ch;
    if (ch == '\n' || stored == kStreamLineLength - 1) return 1;
  }
}

// As the plain read: nothing unless bytes wait, then the rest of the line. Bytes may wait inside
// the session with none on the socket, and bytes on the socket may carry no text (a session
// ticket): then nothing is read.
int StreamLink::ReadTlsLine(char* buffer) {
  if (!HasBufferedInput() && NetBytesWaiting(socket) == 0) {
    if (!ended && NetStreamEnded(socket)) ended = true;  // as for a plain link
    return 0;
  }
  int stored = 0;
  for (;;) {
    char ch = 0;
    int r = TlsReceiveByte(tls.session, &ch, stored > 0);
    if (r == -2) return 0;
    if (r < 0 || r == 0) ended = true;
    if (r < 0) return 0;
    if (r == 0) return 1;
    buffer[stored++] = ch;
    if (ch == '\n' || stored == kStreamLineLength - 1) return 1;
  }
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
  return 1;
}
