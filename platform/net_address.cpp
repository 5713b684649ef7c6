// Address literals and their text for IPv4 and IPv6, without any socket or lookup.
#include "platform/net_address.h"

#include <arpa/inet.h>
#include <cstring>

namespace {

const uint8_t kMappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};

void CopyText(const char* text, std::size_t length, char* out, std::size_t size) {
  if (!out || size == 0) return;
  if (length >= size) length = size - 1;
  std::memcpy(out, text, length);
  out[length] = '\0';
}

}  // namespace

NetAddress NetAddressFromV4(uint32_t address) {
  NetAddress a = {};
  if (address == 0) return a;
  a.family = kNetIPv4;
  std::memcpy(a.bytes, &address, 4);
  return a;
}

uint32_t NetAddressV4(const NetAddress& address) {
  uint32_t value = 0;
  if (address.family == kNetIPv4) std::memcpy(&value, address.bytes, 4);
  return value;
}

bool NetAddressIsSet(const NetAddress& address) { return address.family != kNetNoFamily; }

NetAddress NetAddressFromV6Bytes(const uint8_t bytes[16]) {
  NetAddress a = {};
  if (std::memcmp(bytes, kMappedPrefix, sizeof kMappedPrefix) == 0) {
    a.family = kNetIPv4;
    std::memcpy(a.bytes, bytes + 12, 4);
    return a;
  }
  a.family = kNetIPv6;
  std::memcpy(a.bytes, bytes, 16);
  return a;
}

bool NetParseAddress(const char* text, NetAddress* address) {
  if (!text || !address) return false;
  char bare[64];
  std::size_t length = strnlen(text, sizeof bare);
  if (length == 0 || length >= sizeof bare) return false;
  if (text[0] == '[') {  // brackets only around an IPv6 literal, and only both
    if (length < 3 || text[length - 1] != ']') return false;
    CopyText(text + 1, length - 2, bare, sizeof bare);
  } else {
    CopyText(text, length, bare, sizeof bare);
  }
  in_addr v4;
  if (text[0] != '[' && inet_pton(AF_INET, bare, &v4) == 1) {
    *address = NetAddressFromV4(v4.s_addr);
    if (v4.s_addr == 0) address->family = kNetIPv4;  // 0.0.0.0 is still a literal
    return true;
  }
  in6_addr v6;
  if (inet_pton(AF_INET6, bare, &v6) != 1) return false;
  *address = NetAddressFromV6Bytes(v6.s6_addr);
  return true;
}

void NetAddressText(const NetAddress& address, char* out, std::size_t size) {
  if (!out || size == 0) return;
  char text[INET6_ADDRSTRLEN] = {0};
  if (address.family == kNetIPv4) {
    inet_ntop(AF_INET, address.bytes, text, sizeof text);
  } else if (address.family == kNetIPv6) {
    inet_ntop(AF_INET6, address.bytes, text, sizeof text);
  }
  CopyText(text, strnlen(text, sizeof text), out, size);
}

void NetBareHost(const char* host, char* out, std::size_t size) {
  if (!host) host = "";
  std::size_t length = std::strlen(host);
  if (length >= 3 && host[0] == '[' && host[length - 1] == ']') {
    CopyText(host + 1, length - 2, out, size);
  } else {
    CopyText(host, length, out, size);
  }
}

bool NetAddressIsPublic(const NetAddress& a) {
  const uint8_t* b = a.bytes;
  if (a.family == kNetIPv4) {
    if (b[0] == 0 || b[0] == 10 || b[0] == 127) return false;
    if (b[0] == 100 && (b[1] & 0xC0) == 64) return false;
    if (b[0] == 169 && b[1] == 254) return false;
    if (b[0] == 172 && (b[1] & 0xF0) == 16) return false;
    if (b[0] == 192 && b[1] == 168) return false;
    return b[0] < 224;  // not multicast or reserved
  }
  if (a.family != kNetIPv6) return false;
  bool unspecifiedOrLoopback = true;
  for (int i = 0; i < 15; ++i) unspecifiedOrLoopback = unspecifiedOrLoopback && b[i] == 0;
  if (unspecifiedOrLoopback && b[15] <= 1) return false;
  if ((b[0] & 0xFE) == 0xFC) return false;                  // unique local
  if (b[0] == 0xFE && (b[1] & 0xC0) == 0x80) return false;  // link-local
  return b[0] != 0xFF;                                      // not multicast
}
