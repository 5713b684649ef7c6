// IPv4 and IPv6 addresses as the links hold them: parsing a literal, text, comparison.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr uint8_t kNetNoFamily = 0;
constexpr uint8_t kNetIPv4 = 4;
constexpr uint8_t kNetIPv6 = 6;

// Bytes in network order; an IPv4 address fills the first four and the rest stay zero. An
// IPv4-mapped IPv6 address (::ffff:a.b.c.d) is always held as the IPv4 one, so a peer seen on
// a dual-stack socket compares equal to the address its host name resolved to.
struct NetAddress {
  uint8_t family;      // kNetNoFamily: no address
  uint8_t bytes[16];
};

inline bool operator==(const NetAddress& a, const NetAddress& b) {
  if (a.family != b.family) return false;
  const int n = a.family == kNetIPv6 ? 16 : a.family == kNetIPv4 ? 4 : 0;
  for (int i = 0; i < n; ++i)
    if (a.bytes[i] != b.bytes[i]) return false;
  return true;
}
inline bool operator!=(const NetAddress& a, const NetAddress& b) { return !(a == b); }

// The IPv4 address as the older calls hold it (network order); 0 stays "no address".
NetAddress NetAddressFromV4(uint32_t address);
// The IPv4 value, or 0 for an IPv6 address or none.
uint32_t NetAddressV4(const NetAddress& address);
bool NetAddressIsSet(const NetAddress& address);
// An IPv6 address with only the mapped prefix before its last four bytes becomes IPv4.
NetAddress NetAddressFromV6Bytes(const uint8_t bytes[16]);

// An address that may be reached from anywhere: neither loopback, link-local, a private
// network's (10/8, 172.16/12, 192.168/16, fc00::/7), a carrier's shared one (100.64/10), nor
// unspecified. A documentation prefix counts as reachable (the test networks use them).
bool NetAddressIsPublic(const NetAddress& address);
// A literal, never a lookup: "10.0.0.1", "2001:db8::1" or "[2001:db8::1]" (a zone such as
// "%eth0" is refused). False for anything else, a host name included.
bool NetParseAddress(const char* text, NetAddress* address);
// "10.0.0.1" or "2001:db8::1" (without brackets); "" for no address. Always terminated.
void NetAddressText(const NetAddress& address, char* out, std::size_t size);
// The host text without the brackets of an IPv6 literal ("[::1]" -> "::1"), for the name
// lookup and the certificate check; any other text is copied as it is. Always terminated.
void NetBareHost(const char* host, char* out, std::size_t size);
