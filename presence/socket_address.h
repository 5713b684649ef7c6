// The socket address record of the links and peer slots (IPv4 or IPv6), and the local address
// and families the links use.
#pragma once
#include <atomic>
#include <cstdint>

#include "platform/net_address.h"

struct SocketAddress {
  NetAddress address;   // kNetNoFamily: none
  uint16_t port;        // network byte order
};

inline bool SameSocketAddress(const SocketAddress& a, const SocketAddress& b) {
  return a.port == b.port && a.address == b.address;
}

// Local IPv4 address (network order) that the stream link's source and the datagram
// socket are bound to; 0 = any address. The main program leaves it 0 unless the
// QIVRA_BIND_ADDRESS seam names one; the headless peer sets it so that several
// clients can share one machine. IPv6 connects and datagrams are not bound.
extern uint32_t LinkBindAddress;
// False: the links use IPv4 alone, as a client from before IPv6 did (the QIVRA_IPV6=off seam,
// qivra-peer --ipv6 off).
extern std::atomic<bool> LinkIPv6;
