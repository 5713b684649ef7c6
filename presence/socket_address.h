// The IPv4 socket address record of the links and peer slots, and the local address they bind to.
#pragma once
#include <cstdint>

struct SocketAddress {              // IPv4, fields in network byte order
  uint16_t family;
  uint16_t port;
  uint32_t address;
  uint8_t zero[8];
};

constexpr uint16_t kAddressFamilyIPv4 = 2;

// Local IPv4 address (network order) that the stream link's source and the datagram
// socket are bound to; 0 = any address. The main program leaves it 0 unless the
// QIVRA_BIND_ADDRESS seam names one; the headless peer sets it so that several
// clients can share one machine.
extern uint32_t LinkBindAddress;
