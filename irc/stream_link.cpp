// The TCP link to the IRC server, plain or under TLS: lines in and out as bytes.
#include "irc/stream_link.h"

#include <cstring>

#include "console/trusted_certificates.h"
#include "platform/net.h"
#include "presence/host_lookup.h"

// A server that stops reading must not hold a sending thread (and the client lock) for ever.
constexpr int kSendTimeoutMs = 2000;

int StreamLink::Open() {
  EndTls();
  NetClose(socket);  // a second Open without Close must not leak the first socket
  connectTried = false;
  socket = NetOpenStream();
  if (socket == kNoSocket) return -3;
  NetSetSendTimeout(socket, kSendTimeoutMs);
  if (LinkBindAddress != 0) NetBind(socket, LinkBindAddress, 0);  // chosen source address
  return 1;
}

int StreamLink::Connect(const char* host, int port) {
  tls.result = 0;
  uint32_t dotted = 0;
  numericAddress = NetParseDotted(host, &dotted) ? dotted : 0xFFFFFFFFu;
  uint32_t address = 0;
  if (LookUpHost(host, &address) != 1) return -2;
  std::memset(&serverAddress, 0, sizeof serverAddress);
  serverAddress.family = kAddressFamilyIPv4;
  serverAddress.port = NetPortToWire(port);
  serverAddress.address = address;
  connectTried = true;
  int result = NetConnect(socket, serverAddress.address, serverAddress.port);
  if (result == 1 && tls.wanted) result = tls.result = StartTls(host, port);
  return result;
}

// The certificate is checked against the system's trust store and the host name; one that
// fails is still taken when the user chose to trust it for this server.
int StreamLink::StartTls(const char* host, int port) {
  EndTls();
  tls.session = TlsStart(socket, host, kTlsHandshakeMs, &tls.check);
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

// As the plain read: nothing unless bytes wait, then the rest of the line. Bytes may wait inside
// the session with none on the socket, and bytes on the socket may carry no text (a session
// ticket): then nothing is read.
int StreamLink::ReadTlsLine(char* buffer) {
  if (!HasBufferedInput() && NetBytesWaiting(socket) == 0) return 0;
  int stored = 0;
  for (;;) {
    char ch = 0;
    int r = TlsReceiveByte(tls.session, &ch, stored > 0);
    if (r == -2) return 0;
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
