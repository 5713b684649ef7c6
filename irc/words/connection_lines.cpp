// Connecting, failing, lost and reconnecting as console lines, word for word as the README shows them.
#include "irc/words/connection_lines.h"

#include <cstdio>
#include <cstring>

namespace {

// "host:port" as it is written: an IPv6 literal in brackets, so that its port stays apart.
struct ServerAndPort {
  char text[80];
  ServerAndPort(const char* server, int port) {
    const bool bare6 = server[0] != '[' && std::strchr(server, ':') != nullptr;
    std::snprintf(text, sizeof text, bare6 ? "[%.63s]:%d" : "%.63s:%d", server, port);
  }
};

}  // namespace

void FormatConnecting(const char* server, int port, char* out, std::size_t size) {
  std::snprintf(out, size, "Connecting to %s...", ServerAndPort(server, port).text);
}

void FormatRegistering(const char* nick, const char* realName, const char* user, const char* server,
                       char* out, std::size_t size) {
  std::snprintf(out, size, "Registering as \"%.63s\" (%.63s, %.63s@%.63s)...", nick, realName, user, server);
}

void FormatConnectFailure(const char* server, int port, const char* reason, uint32_t nextTryMs, char* out,
                          std::size_t size) {
  int n = std::snprintf(out, size, "Could not connect to %s: %s.", ServerAndPort(server, port).text, reason);
  if (nextTryMs > 0 && n > 0 && static_cast<std::size_t>(n) < size)
    std::snprintf(out + n, size - n, " Next try in %u s.", static_cast<unsigned>(nextTryMs / 1000));
}

void FormatTlsFailure(const char* server, int port, const char* reason, char* out, std::size_t size) {
  std::snprintf(out, size, "TLS with %s failed: %s.", ServerAndPort(server, port).text, reason);
}

void FormatCertificateRefused(const char* server, int port, const char* reason, char* out, std::size_t size) {
  std::snprintf(out, size, "The certificate of %s was refused: %s.", ServerAndPort(server, port).text, reason);
}

void FormatJoining(const char* channel, char* out, std::size_t size) {
  std::snprintf(out, size, "Joining channel \"%.63s\"...", channel);
}

void FormatLinkLost(const char* server, char* out, std::size_t size) {
  std::snprintf(out, size, "Connection to %.63s lost.", server);
}

void FormatReconnecting(uint32_t waitMs, char* out, std::size_t size) {
  std::snprintf(out, size, "Reconnecting in %u s (Escape or /disconnect stops it).",
                static_cast<unsigned>(waitMs / 1000));
}

void FormatGaveUpWaiting(const char* server, char* out, std::size_t size) {
  std::snprintf(out, size, "Gave up waiting for %.63s to register.", server);
}
