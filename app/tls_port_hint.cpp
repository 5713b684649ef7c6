// Telling a TLS port from a plain one by the bytes it sent before closing a plain connection.
#include "app/tls_port_hint.h"

#include <cstdio>

bool LooksLikeTlsPort(const unsigned char* firstBytes, std::size_t n) {
  if (n == 0 || !firstBytes) return true;
  bool record = firstBytes[0] == 0x15 || firstBytes[0] == 0x16;
  return record && (n < 2 || firstBytes[1] == 0x03);
}

void ClosedByServerReason(bool overTls, const unsigned char* firstBytes, std::size_t n, int port, char* out,
                          std::size_t size) {
  if (!out || size == 0) return;
  if (!overTls && LooksLikeTlsPort(firstBytes, n)) {
    std::snprintf(out, size, "closed by the server; this port may want TLS: try +%d", port);
  } else {
    std::snprintf(out, size, "closed by the server");
  }
}
