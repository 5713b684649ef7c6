// How each peer is reached through home routers: its addresses, the hello rounds, rebinding,
// keep-alives and repeated key blocks, and the bounds on hellos that IRC lines can cause.
#pragma once
#include <cstdint>

#include "platform/net_address.h"
#include "presence/discovery_state.h"
#include "presence/relay_state.h"

constexpr int kLinkAddresses = 4;         // addresses tried for one peer (WHOIS with IPv6 and IPv4,
                                          // ":Q"/":A", same house)
constexpr int kLowTtl = 2;                // passes our own router, dies one hop beyond it
constexpr uint32_t kKeepAliveMs = 15000;  // a key block after this long without a datagram to a peer
// A link bound less than kYoungLinkMs ago gets its key block after kYoungKeepAliveMs instead:
// routers keep a mapping that saw answers for only a second or two no longer than one that saw
// none (10 s on Linux-based ones), so the first ones need a datagram sooner.
constexpr uint32_t kYoungLinkMs = 12000;
constexpr uint32_t kYoungKeepAliveMs = 4000;
constexpr uint32_t kKeyRepeatMs = 250;    // key blocks while a movement key is held ...
constexpr uint32_t kKeyTailMs = 1000;     // ... and this long after the last release
constexpr uint32_t kSilentMs = 30000;     // nothing heard for this long: greet the peer again
constexpr uint32_t kRebindQuietMs = 25000;  // a bound port must be this quiet before another takes it
constexpr uint32_t kNoLinkReportMs = 30000; // "No direct link" this long after a member entered
constexpr uint32_t kReflectAgainMs = 10000; // a hello caused by IRC at most this often per address
constexpr int kReflectNewPerMinute = 20;    // and to at most this many new addresses a minute
constexpr int kReflectEntries = 48;
constexpr uint32_t kAnswerAgainMs = 60000;  // a member's ":Q" is answered at most this often
// After the nickname and its zero, a hello names what this client knows: "rooms", its positions
// name the room they belong to (and it reads that of others'); "seal", it trades details and
// keys in QIVRA's own CTCP and seals its datagrams; then "look=N", the look it wears.
constexpr char kHelloWords[] = "rooms seal";
constexpr uint32_t kTypingRepeatMs = 1000;   // a typing mark is sent again once, this much later
constexpr uint32_t kTypingRefreshMs = 3000;  // and while typing goes on, this often
constexpr uint32_t kTypingLapseMs = 7000;    // a mark nothing has renewed for this long is taken away

// One address a peer may be reached at (port 6669), with this round's hellos to it.
struct LinkAddress {
  NetAddress address;    // no family: unused
  uint8_t fromServer;    // the server named it (WHO, WHOIS, a JOIN): greeted before the member
                         // has shown that it runs QIVRA, when it is of the family our IRC link uses
  uint32_t addedMs;
  uint32_t lowTtlMs;     // when this round's first, short-lived hello went
  uint8_t lowTtlSent;
  uint8_t hellosSent;    // full hellos this round
};

// Per slot, beside PeerSlot: zeroed whenever the slot is.
struct PeerLink {
  LinkAddress to[kLinkAddresses];
  uint32_t enteredMs;    // when the member entered the table
  uint32_t roundMs;      // when the current hello round began
  uint32_t heardMs;      // the last datagram from the bound address and port
  uint32_t sentMs;       // the last datagram to it
  uint32_t keyBlockMs;   // the last key block to it
  uint32_t boundMs;      // when its address and port were bound
  uint16_t round;        // 0: no round yet
  uint8_t confirmed;     // the peer has shown that it hears us (a hello reply, or any datagram
                         // of the exchange from its bound port): only then is its avatar drawn
  uint8_t reported;      // "No direct link" was shown
  uint8_t sameHouse;     // its host is our own public address: it is told our local address
  uint8_t askedLocal;    // we have sent it our local address
  uint8_t answered;      // we have answered a ":Q" of its, at answeredMs
  uint32_t answeredMs;
  uint8_t answerWaiting; // an answer to a CTCP request of its waits in the answer queue ...
  uint32_t answerTicket; // ... as this line (irc/line_pacing.h)
  NetAddress waiting;    // the newest address its lines named beyond the minute's bound: taken
                         // up when the bound allows (no family: none)
  RelayLink relay;       // moves through the IRC server while no direct link is found
  DiscoveryLink discovery;  // whether it runs QIVRA, and the details traded with it
  uint8_t sealedOnly;    // a datagram it sealed has opened: its plain ones are refused from now on
};

// Addresses recently greeted because an IRC line named them.
struct ReflectEntry {
  NetAddress address;
  uint32_t firstMs;      // when a peer's line named it as a new address (0: never)
  uint32_t lastMs;       // last greeted
};

// The key blocks: sent while a movement key is held and kKeyTailMs after the last release.
struct KeyRepeat {
  uint8_t anyHeld;
  uint8_t tail;          // a release happened; repeat until releasedMs + kKeyTailMs
  uint32_t releasedMs;
};
