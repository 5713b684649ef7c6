// Host-name lookup: at once for a literal, else by the resolver; a waiting form that its caller can walk away from.
#pragma once
#include <atomic>
#include <cstdint>

#include "platform/net_address.h"

// Every address of one host: a name may have several, IPv6 and IPv4.
constexpr int kHostAddresses = 8;
struct HostAddresses {
  NetAddress list[kHostAddresses];
  int count;
};

// Test hook: when set, replaces the system's name lookup (literals never reach it): the
// addresses found (at most `most`), 0 for none. Atomic: a lookup helper thread of an earlier
// connection may still be reading it.
using HostLookupFunction = int (*)(const char* name, NetAddress* out, int most);
extern std::atomic<HostLookupFunction> HostLookupOverride;

// A literal ("10.0.0.1", "2001:db8::1", "[2001:db8::1]") is used without lookup; a name gives
// all its addresses (IPv4 alone while LinkIPv6 is off). 1 with at least one address, or -2.
int LookUpHost(const char* host, HostAddresses* found);

// The same lookup on a helper thread, waited for in short slices; keepWaiting(context) is
// asked between slices and a false answer gives up at once (-2). For a caller that must keep
// a window alive or keep to a time limit while a resolver takes its time.
int LookUpHostWhile(const char* host, HostAddresses* found, bool (*keepWaiting)(void*), void* context);
