// The TCP connection to the IRC server: open, connect, send a text, read a line, shut down, close.
#pragma once
#include <atomic>
#include <cstdint>
#include "irc/link_results.h"
#include "platform/tls.h"
#include "presence/socket_address.h"

constexpr int kStreamLineLength = 2048;  // every ReadLine buffer; at most 2047 bytes of line

// TLS under the link's sends and reads: asked for before Connect, set up by it.
struct StreamTls {
  bool wanted = false;                // the next Connect speaks TLS
  TlsSession* session = nullptr;      // while connected with TLS
  TlsCertificateCheck check = {};     // what the last handshake found
  int result = 0;                     // the last Connect's TLS step: 0 none, 1 passed, or a TLS result
};

// A connect (name lookup and TLS handshake included) gives up after this long, so that its
// failure is on the console within ten seconds however the network behaves.
constexpr uint32_t kConnectLimitMs = 8000;

class StreamLink {
 public:
  // kNoSocket when none was made. Atomic: the link thread puts the socket that connected in
  // place of Open's while the window's thread may shut it to end the link.
  std::atomic<int> socket{-1};
  SocketAddress serverAddress = {};  // the address that answered first
  bool connectTried = false;         // a socket connects once; a new connection needs a new one
  LinkFailure failure = LinkFailNone;  // why the last Connect gave 0 or -2
  bool ended = false;                // ReadLine found the stream at its end: the server is gone
  unsigned char firstBytes[2] = {};  // what a plain connection read first (a TLS port's record?)
  int firstByteCount = 0;
  StreamTls tls;
  // Looked at while a connect is under way: non-zero gives it up at once (the user is leaving).
  const std::atomic<uint8_t>* abandon = nullptr;

  int Open();                                 // 1, or -3 no socket
  // host: a name (every address is tried, IPv6 and IPv4 racing), "10.0.0.1", "2001:db8::1" or
  // "[2001:db8::1]". The socket that connected replaces the one Open made.
  int Connect(const char* host, int port);    // 1, 0 connect failed, -2 host does not resolve,
                                              // kStreamTlsFailed, kStreamCertificateRefused
  int Send(const char* text);                 // 1, or -1
  // 1 a whole line (or a piece of 2047 bytes, or the last piece before the end) in buffer, 0
  // nothing yet. Never waits: the start of a line whose end has not come is kept for later.
  int ReadLine(char* buffer);
  // Under TLS, bytes already read from the socket and decrypted may wait in the session: a
  // reader that sleeps until the socket is readable must look here first, or lines stall.
  bool HasBufferedInput();
  int Shutdown();                             // receiving direction only; always 1
  int ShutdownBoth();                         // also ends a send under way; always 1
  int Close();                                // always 1

 private:
  int StartTls(const char* host, int port, uint32_t limitMs);  // 1 or a TLS result
  void EndTls();
  int NextByte(char* byte, unsigned* waiting);  // 1, 0 closed, -1 failed, -2 none yet
  int TakePartial(char* buffer);

  char partial[kStreamLineLength] = {};  // the start of a line whose end has not come yet
  int partialLength = 0;
};
