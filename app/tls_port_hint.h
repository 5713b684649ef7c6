// The hint for a plain connection that a TLS port closed: "this port may want TLS: try +6697".
#pragma once
#include <cstddef>

// True when what a plain connection read before the server closed it suggests a TLS port: no
// byte at all (a TLS server waits for a handshake, then drops what is not one), or a TLS record
// (an alert 0x15 or a handshake 0x16, then version 0x03).
bool LooksLikeTlsPort(const unsigned char* firstBytes, std::size_t n);
// The reason a console line gives for a link the server closed while registering: "closed by
// the server", with "; this port may want TLS: try +<port>" added for a plain link whose first
// bytes (n of them, up to two) look like a TLS port's. Always NUL-terminated.
void ClosedByServerReason(bool overTls, const unsigned char* firstBytes, std::size_t n, int port, char* out,
                          std::size_t size);
