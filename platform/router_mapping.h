// Asking the home router to forward a UDP port to this computer: NAT-PMP, then UPnP IGD.
#pragma once
#include <cstdint>

enum RouterMethod { RouterNone = 0, RouterNatPmp = 1, RouterUpnp = 2 };

// What a made mapping needs to be renewed and removed. Addresses in network byte order.
struct RouterLease {
  int method;                  // RouterMethod
  int port;                    // the same port outside and inside
  int leaseSeconds;            // granted; 0 = until removed (a router that offers nothing shorter)
  uint32_t publicAddress;      // the router's address outside, 0 when it did not say
  uint32_t gateway;            // NAT-PMP: the router asked
  char controlUrl[512];        // UPnP: where the router takes its commands
  char serviceType[256];
  char client[64];             // UPnP: the inside address the port goes to (dotted)
};

// Each call blocks for at most about timeoutMs (every step has its own bound). localAddress is
// this computer's address towards the router when it is known (0: the router is asked which).
// 1 and the lease when the router forwards `port` (UDP, same port outside) here, else 0.
int RouterMapUdpPort(int port, uint32_t localAddress, int leaseSeconds, int timeoutMs, RouterLease* lease);
// Asks again for the same mapping with the same method; 1 when the router agreed.
int RouterRenewUdpPort(RouterLease* lease, int timeoutMs);
// Removes the mapping; the lease is emptied whatever the router answered.
void RouterUnmapUdpPort(RouterLease* lease, int timeoutMs);
