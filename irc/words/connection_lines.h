// The console's words for the connection's state: connecting, registering, connected, failing,
// lost and reconnecting. Server and channel names are read to 63 characters.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr const char* kConnectedLine = "Connected.";
constexpr const char* kDisconnectingLine = "Disconnecting...";
constexpr const char* kDisconnectedLine = "Disconnected.";
constexpr const char* kStoppedReconnectingLine = "Stopped reconnecting.";

void FormatConnecting(const char* server, int port, char* out, std::size_t size);
void FormatRegistering(const char* nick, const char* realName, const char* user, const char* server,
                       char* out, std::size_t size);
// "Could not connect to S:P: reason.", with " Next try in N s." while tries go on (nextTryMs > 0).
void FormatConnectFailure(const char* server, int port, const char* reason, uint32_t nextTryMs, char* out,
                          std::size_t size);
void FormatTlsFailure(const char* server, int port, const char* reason, char* out, std::size_t size);
void FormatCertificateRefused(const char* server, int port, const char* reason, char* out, std::size_t size);
void FormatJoining(const char* channel, char* out, std::size_t size);
void FormatLinkLost(const char* server, char* out, std::size_t size);
void FormatReconnecting(uint32_t waitMs, char* out, std::size_t size);
void FormatGaveUpWaiting(const char* server, char* out, std::size_t size);
