// The home router's forwarding of the presence port while connected: asked for, renewed, removed.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int kRouterLeaseSeconds = 3600;  // asked for; renewed when half of it has passed

// On connect: when wanted, a helper thread asks the router to forward UDP kPresencePort here
// (localAddress: the address bound to, 0 = the router is asked). Nothing waits for it.
void RouterPortStart(bool wanted, uint32_t localAddress);
// On disconnect: the helper removes the mapping; nothing waits for the router.
void RouterPortStop();
// Before the program ends: waits at most about 1.5 s for the last mapping's removal (an attempt
// still under way finishes and removes what it made by itself).
void RouterPortSettle();
// Main thread: the console line about the attempt, once per connection, when it is known.
bool RouterPortTakeReport(char* text, std::size_t size);
// The router's public address while it forwards the port (network order), else 0.
uint32_t RouterPublicAddress();
