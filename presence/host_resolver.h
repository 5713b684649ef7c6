// Members' hosts resolved off the thread that reads server lines: a few helper threads and a
// bounded queue, so a slow resolver never holds up the chat or the handshake.
#pragma once
#include <cstdint>

#include "presence/host_lookup.h"

constexpr int kResolvedHostLength = 256;
constexpr int kResolvedNickLength = 2048;  // as long as a peer slot's nickname

// Who named the host: the server (WHOIS, WHO, a JOIN's prefix) or the member's own message.
enum HostOrigin : uint8_t { HostFromServer, HostFromPeer };

struct ResolvedHost {
  int index;                          // the member's slot when the host was named
  HostOrigin origin;
  bool found;
  HostAddresses addresses;            // every address of the host, when found
  char nick[kResolvedNickLength];     // the member's nickname then: the slot may have changed hands
  char host[kResolvedHostLength];
};
using HostResolved = void (*)(const ResolvedHost& result);

// Resolves host for the member at index. A dotted address, a full queue or an empty host calls
// done at once, on this thread; a name is looked up by a helper and done is called later by
// DeliverResolvedHosts. A member has one waiting lookup per origin: a newer host replaces it.
void ResolveMemberHost(int index, const char* nick, const char* host, HostOrigin origin, HostResolved done);
// The link thread, each pass: calls done for every finished lookup, and starts waiting ones.
void DeliverResolvedHosts();
// Raised when a lookup finishes (a descriptor for the platform's wait). Cleared by the waiter.
int ResolvedHostSignal();
// A new connection: waiting lookups are dropped and running ones are not delivered.
void ForgetHostLookups();
