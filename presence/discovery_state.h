// Which channel members have shown that they run QIVRA, and how two of them trade their details
// (addresses, key, what each takes) over IRC: owed answers, asks retried with backoff (pure rules:
// the callers give the time and the spread).
//
// Nothing about an address goes to a member before it has shown that it runs QIVRA; a member of
// the version before this one (which knows no details) is never sent them.
#pragma once
#include <cstdint>

// How a member showed that it runs QIVRA; the first sign is kept.
enum QivraSign : uint8_t {
  SignNone = 0,
  SignAnnounced = 1,    // its announcement to a channel we share ("\x01QIVRA\x01")
  SignDetails = 2,      // its details in a private message ("\x01QIVRA ... key=...\x01")
  SignHello = 3,        // a hello datagram
  SignAddressLine = 4,  // an older client's ":Q" or ":A" address message
  SignMove = 5,         // a move relayed through the server
  SignRemembered = 6,   // it showed itself earlier today, before we joined this time
};

constexpr uint32_t kFirstAskMs = 2000;      // an ask unanswered is repeated after 2 s, 4 s, 8 s ...
constexpr uint32_t kLongestAskMs = 60000;   // ... and then once a minute, while both stay
constexpr uint32_t kAnswerSpreadMs = 1500;  // an answer waits up to this long (a random share)

// Per slot, inside PeerLink, so it is zeroed whenever the slot's link is.
struct DiscoveryLink {
  uint8_t shown;         // a QivraSign
  uint8_t speaks;        // it takes part in the details exchange: ours are sent to it
  uint8_t heardDetails;  // its details came (with its key, when it seals)
  uint8_t hasOurKey;     // its details came without "ask", or a datagram it sealed opened
  uint8_t owed;          // our details are due to it from dueMs on
  uint8_t inFlight;      // our details to it wait in a queued line
  uint8_t asks;          // our details with "ask" sent while its own have not come
  uint8_t relay;         // its details say that it takes relayed moves
  uint8_t rooms;         // ... that its positions name their room
  uint8_t look;          // ... its look (0: not told)
  uint32_t dueMs;        // owed: not before; asking: the next ask
  uint32_t shownMs;      // when it was first shown
};

// The delay before ask number `asks` + 1: 2 s after the first, doubling, at most a minute.
uint32_t AskBackoff(int asks);

// A sign that the member runs QIVRA. speaks: the sign shows a client that trades details (an
// announcement, details, a hello that names "seal"): our details are then owed to it, from
// now + spreadMs on, unless they have gone or are on their way. True when newly shown.
bool NoteQivraSign(DiscoveryLink* d, QivraSign sign, bool speaks, uint32_t now, uint32_t spreadMs);

// What a member's details said, as NoteDetails takes it.
struct DetailsHeard {
  bool ask;    // it lacks ours
  bool relay;
  bool rooms;
  uint8_t look;
};
// Its details came: shown, its words kept; an ask makes ours owed at once (unless a line of
// ours is on its way, which answers it), no ask says it has our key. Asks stop.
void NoteDetails(DiscoveryLink* d, const DetailsHeard& heard, uint32_t now);

// Our details are due to it now: owed and their time has come, or an ask is due again.
bool DetailsDue(const DiscoveryLink& d, uint32_t now);
// Whether our details to it carry "ask": its own have not come.
inline bool WantsTheirs(const DiscoveryLink& d) { return !d.heardDetails; }
// Our details to it were queued ...
void NoteDetailsQueued(DiscoveryLink* d);
// ... and have gone: while its details have not come, the next ask is due after the backoff
// (with jitterMs more, so that members who came together do not ask at one instant).
void NoteDetailsGone(DiscoveryLink* d, uint32_t now, uint32_t jitterMs);
// Our details changed (a new address, our look): they are owed again to whoever has them.
void OweDetailsAgain(DiscoveryLink* d, uint32_t now);
