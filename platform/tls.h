// TLS over a connected TCP socket: the handshake with its certificate check, bytes in and out.
#pragma once
#include <cstddef>

struct TlsSession;  // one TLS connection over one socket

constexpr int kTlsReasonLength = 160;
constexpr int kTlsFingerprintLength = 100;  // 32 bytes as "AB:CD:..." (95 characters) and a NUL

// What the handshake found out about the server's certificate.
struct TlsCertificateCheck {
  bool passed;                             // it chains to the system's trust store and names host
  char reason[kTlsReasonLength];           // why it did not pass, or why the handshake failed
  char fingerprint[kTlsFingerprintLength];  // SHA-256 of the certificate, empty when none came
};

// Runs the handshake on the connected socket for host (a name or a dotted address) within
// timeoutMs; the socket is non-blocking from here on. Null when the handshake failed
// (check->reason says why); otherwise the session, whether or not the certificate passed.
TlsSession* TlsStart(int socket, const char* host, int timeoutMs, TlsCertificateCheck* check);
// Says goodbye to the server when that can go at once, then frees the session (not the socket).
void TlsEnd(TlsSession* session);

// One byte of the server's text: 1 a byte, 0 the server closed, -1 failed. Without wait, -2
// when nothing has arrived yet; with wait it waits until a byte comes or the socket is shut.
int TlsReceiveByte(TlsSession* session, char* byte, bool wait);
// True when decrypted bytes are held in the session (the socket itself may have none waiting).
bool TlsHasBufferedBytes(TlsSession* session);
// Sends all of data within timeoutMs: the length, or -1. Safe beside a read on another thread.
int TlsSend(TlsSession* session, const void* data, std::size_t length, int timeoutMs);
