// TLS through OpenSSL for the stream link: the one file that names OpenSSL.
#include "platform/tls.h"

#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

struct TlsSession {
  SSL* ssl = nullptr;
  int socket = -1;
  bool broken = false;  // a fatal error happened: no goodbye may be sent
  std::mutex lock;      // an SSL object takes one call at a time; reads and sends come from two threads
};

namespace {

using Clock = std::chrono::steady_clock;

// A write to a server that has gone raises SIGPIPE inside OpenSSL, which has no per-call flag
// against it as send() has. The program never uses the signal, so it is ignored, unless someone
// set a handler of their own.
void IgnoreBrokenPipe() {
  struct sigaction current;
  if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
    struct sigaction ignore;
    std::memset(&ignore, 0, sizeof ignore);
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, nullptr);
  }
}

// The client context: the system's trust store (SSL_CERT_FILE and SSL_CERT_DIR are honoured),
// TLS 1.2 at least. The check's result is read after the handshake, so the handshake never stops
// at a certificate: the user may still trust it by its fingerprint.
SSL_CTX* ClientContext() {
  static SSL_CTX* context = [] {
    IgnoreBrokenPipe();
    SSL_CTX* c = SSL_CTX_new(TLS_client_method());
    if (!c) return c;
    SSL_CTX_set_min_proto_version(c, TLS1_2_VERSION);
    SSL_CTX_set_default_verify_paths(c);
    SSL_CTX_set_verify(c, SSL_VERIFY_NONE, nullptr);
    // IRC lines end themselves: a server that closes without a goodbye is a plain close.
    SSL_CTX_set_options(c, SSL_OP_IGNORE_UNEXPECTED_EOF);
    return c;
  }();
  return context;
}

void CopyText(char* out, std::size_t size, const char* text) {
  std::snprintf(out, size, "%s", text ? text : "");
}

long MsLeft(Clock::time_point limit) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(limit - Clock::now()).count());
}

// Waits until the socket can be read (forRead) or written, at most ms (negative: no limit).
// False only when the time ran out; an error or a hang-up counts as ready, and the next call
// reports it.
bool WaitSocket(int socket, bool forRead, long ms) {
  pollfd p = {socket, static_cast<short>(forRead ? POLLIN : POLLOUT), 0};
  int timeout = ms < 0 ? -1 : (ms > 60000 ? 60000 : static_cast<int>(ms));
  int r;
  do {
    r = poll(&p, 1, timeout);
  } while (r < 0 && errno == EINTR);
  return r != 0;
}

bool WantsSocket(int sslError) {
  return sslError == SSL_ERROR_WANT_READ || sslError == SSL_ERROR_WANT_WRITE;
}

void ErrorText(int sslError, char* out, std::size_t size) {
  unsigned long e = ERR_peek_last_error();
  const char* reason = e ? ERR_reason_error_string(e) : nullptr;
  if (reason) {
    CopyText(out, size, reason);
  } else if (sslError == SSL_ERROR_SYSCALL || sslError == SSL_ERROR_ZERO_RETURN) {
    CopyText(out, size, errno ? std::strerror(errno) : "the server closed the connection");
  } else {
    std::snprintf(out, size, "TLS error %d", sslError);
  }
}

void Fingerprint(X509* certificate, char* out, std::size_t size) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  out[0] = '\0';
  if (!X509_digest(certificate, EVP_sha256(), digest, &length)) return;
  std::size_t used = 0;
  for (unsigned i = 0; i < length && used + 4 < size; ++i)
    used += std::snprintf(out + used, size - used, i ? ":%02X" : "%02X", digest[i]);
}

void CheckCertificate(SSL* ssl, TlsCertificateCheck* check) {
  X509* certificate = SSL_get1_peer_certificate(ssl);
  if (!certificate) {
    CopyText(check->reason, sizeof check->reason, "the server showed no certificate");
    return;
  }
  Fingerprint(certificate, check->fingerprint, sizeof check->fingerprint);
  long result = SSL_get_verify_result(ssl);
  check->passed = result == X509_V_OK;
  if (!check->passed) CopyText(check->reason, sizeof check->reason, X509_verify_cert_error_string(result));
  X509_free(certificate);
}

// The name the certificate must carry: an address is compared as an address, a name as a name
// (and sent to the server, which may serve several names).
void ExpectName(SSL* ssl, const char* host) {
  X509_VERIFY_PARAM* param = SSL_get0_param(ssl);
  if (X509_VERIFY_PARAM_set1_ip_asc(param, host) == 1) return;
  SSL_set_tlsext_host_name(ssl, host);
  X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
  X509_VERIFY_PARAM_set1_host(param, host, 0);
}

}  // namespace

TlsSession* TlsStart(int socket, const char* host, int timeoutMs, TlsCertificateCheck* check) {
  std::memset(check, 0, sizeof *check);
  SSL_CTX* context = ClientContext();
  int flags = fcntl(socket, F_GETFL, 0);
  if (!context || socket < 0 || flags < 0 || fcntl(socket, F_SETFL, flags | O_NONBLOCK) != 0) {
    CopyText(check->reason, sizeof check->reason, "TLS could not be set up");
    return nullptr;
  }
  SSL* ssl = SSL_new(context);
  if (!ssl || SSL_set_fd(ssl, socket) != 1) {
    CopyText(check->reason, sizeof check->reason, "TLS could not be set up");
    SSL_free(ssl);
    return nullptr;
  }
  ExpectName(ssl, host ? host : "");
  const Clock::time_point limit = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    ERR_clear_error();
    errno = 0;
    int r = SSL_connect(ssl);
    if (r == 1) break;
    int e = SSL_get_error(ssl, r);
    long left = MsLeft(limit);
    if (WantsSocket(e) && left > 0 && WaitSocket(socket, e == SSL_ERROR_WANT_READ, left)) continue;
    if (WantsSocket(e)) {
      std::snprintf(check->reason, sizeof check->reason, "no answer within %d s", timeoutMs / 1000);
    } else {
      ErrorText(e, check->reason, sizeof check->reason);
    }
    SSL_free(ssl);
    ERR_clear_error();
    return nullptr;
  }
  CheckCertificate(ssl, check);
  TlsSession* session = new (std::nothrow) TlsSession;
  if (!session) {
    SSL_free(ssl);
    CopyText(check->reason, sizeof check->reason, "out of memory");
    return nullptr;
  }
  session->ssl = ssl;
  session->socket = socket;
  return session;
}

void TlsEnd(TlsSession* session) {
  if (!session) return;
  {
    std::lock_guard<std::mutex> hold(session->lock);
    ERR_clear_error();
    if (!session->broken) SSL_shutdown(session->ssl);  // one try: the socket never waits here
    SSL_free(session->ssl);
    ERR_clear_error();
  }
  delete session;
}

int TlsReceiveByte(TlsSession* session, char* byte, bool wait) {
  if (!session) return -1;
  for (;;) {
    int r, e;
    {
      std::lock_guard<std::mutex> hold(session->lock);
      ERR_clear_error();
      r = SSL_read(session->ssl, byte, 1);
      e = r > 0 ? SSL_ERROR_NONE : SSL_get_error(session->ssl, r);
      if (e == SSL_ERROR_SSL || e == SSL_ERROR_SYSCALL) session->broken = true;
    }
    if (r == 1) return 1;
    if (e == SSL_ERROR_ZERO_RETURN) return 0;
    if (!WantsSocket(e)) return -1;
    if (!wait) return -2;
    WaitSocket(session->socket, e == SSL_ERROR_WANT_READ, -1);  // a shut socket wakes it
  }
}

bool TlsHasBufferedBytes(TlsSession* session) {
  if (!session) return false;
  std::lock_guard<std::mutex> hold(session->lock);
  return SSL_has_pending(session->ssl) == 1;
}

int TlsSend(TlsSession* session, const void* data, std::size_t length, int timeoutMs) {
  if (!session) return -1;
  if (length == 0) return 0;
  const Clock::time_point limit = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int r, e;
    {
      std::lock_guard<std::mutex> hold(session->lock);
      ERR_clear_error();
      r = SSL_write(session->ssl, data, static_cast<int>(length));
      e = r > 0 ? SSL_ERROR_NONE : SSL_get_error(session->ssl, r);
      if (e == SSL_ERROR_SSL || e == SSL_ERROR_SYSCALL) session->broken = true;
    }
    if (r > 0) return r;  // without partial writes, all of it
    long left = MsLeft(limit);
    if (!WantsSocket(e) || left <= 0 || !WaitSocket(session->socket, e == SSL_ERROR_WANT_READ, left))
      return -1;
  }
}
