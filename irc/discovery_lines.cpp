// QIVRA members found over IRC, and our details traded with them.
//
// Who learns what: a client joining a channel sends "\x01QIVRA\x01" to it, once a day per
// channel (the one line an ordinary user ever gets from it; it names no address). A member that
// runs QIVRA has then shown itself, and so has one whose announcement, details, hello datagram,
// ":Q"/":A" line or relayed move we have seen: only such members are sent our details, privately,
// with "ask" while theirs have not come, again after 2, 4, 8 ... up to 60 s for as long as both
// stay. The other side answers with its own; each side's answer waits in the answer queue, its
// asks in the look-up queue, and a line names as many members as the server takes, so a channel
// of twenty costs each client a few lines, not one per member.
#include "irc/discovery_lines.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/irc_case.h"
#include "irc/handshake.h"
#include "irc/irc_client.h"
#include "irc/line_pacing.h"
#include "irc/peer_reach.h"
#include "platform/ticks.h"
#include "presence/details_text.h"
#include "presence/relay_state.h"

namespace {

constexpr std::size_t kTargetBytes = 300;   // room for the targets of one line
constexpr int kMostTargets = 20;            // no server we know takes more in one line
constexpr uint32_t kDayMs = 24u * 60u * 60u * 1000u;
constexpr int kAnnounced = 16;              // channels remembered as announced
constexpr int kRemembered = 64;             // members remembered as QIVRA's

// One line of ours whose targets wait to hear whether it has gone (and whether the server
// took all of them).
struct LineOut {
  uint32_t ticket;
  bool waiting;
  int count;
  int slots[kMostTargets];
};

// The targets of the last line handed to the server, for a refusal that names one of them.
struct LastTargets {
  char kind;  // 'm' move, 'd' details, 0 none
  int count;
  int slots[kMostTargets];
  char nicks[kMostTargets][64];
};

struct Announcement {
  char channel[128];
  uint32_t atMs;
  bool used;
};

struct RememberedMember {
  char nick[64];
  uint32_t atMs;
  bool used;
};

// What the link thread keeps about finding members: the lines in flight and the server's target
// limit (reset at each 001), where we announced and who showed that they run QIVRA (kept across
// connections: a reconnect is the same day), and the details read or written, 1 KB of addresses
// each, kept off the stack.
struct Discovery {
  LineOut answers;   // details without "ask", in the answer queue
  LineOut asks;      // details with "ask", in the look-up queue
  LastTargets last;
  int targetLimit = kRelayNearest;
  bool limitFrom005 = false;
  uint32_t random = 0;
  Announcement announced[kAnnounced];
  RememberedMember remembered[kRemembered];
  QivraDetails own;    // ours, as FormatOwnDetails writes them
  QivraDetails heard;  // a member's, as TakeQivraText reads them
};
Discovery State;

uint32_t Random() {
  if (State.random == 0) State.random = TickCountMs() * 2654435761u ^ 0x9e3779b9u;
  uint32_t x = State.random;
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  State.random = x ? x : 1;
  return State.random;
}

bool WithinDay(uint32_t now, uint32_t then) { return static_cast<uint32_t>(now - then) < kDayMs; }

void CopyName(char* out, std::size_t size, const char* text) {
  std::size_t n = strnlen(text, size - 1);
  std::memcpy(out, text, n);
  out[n] = '\0';
}

void RememberMember(const char* nick) {
  const uint32_t now = TickCountMs();
  RememberedMember* use = &State.remembered[0];
  for (RememberedMember& r : State.remembered) {
    if (r.used && SameIrcName(r.nick, nick)) {
      r.atMs = now;
      return;
    }
    if (!r.used || !WithinDay(now, r.atMs)) use = &r;
  }
  CopyName(use->nick, sizeof use->nick, nick);
  use->atMs = now;
  use->used = true;
}

bool RememberedToday(const char* nick) {
  const uint32_t now = TickCountMs();
  for (const RememberedMember& r : State.remembered)
    if (r.used && WithinDay(now, r.atMs) && SameIrcName(r.nick, nick)) return true;
  return false;
}

// True (and noted) when the channel was not announced in the last day.
bool TakeAnnouncement(const char* channel) {
  const uint32_t now = TickCountMs();
  Announcement* use = nullptr;
  for (Announcement& a : State.announced) {
    if (a.used && SameIrcName(a.channel, channel) && WithinDay(now, a.atMs)) return false;
    if (!use || !a.used || (use->used && static_cast<uint32_t>(now - a.atMs) > static_cast<uint32_t>(now - use->atMs)))
      use = &a;
  }
  CopyName(use->channel, sizeof use->channel, channel);
  use->atMs = now;
  use->used = true;
  return true;
}

bool AddTarget(char* list, std::size_t* used, const char* nick) {
  std::size_t n = strnlen(nick, kNickLength);
  if (n == 0 || n >= 64 || *used + n + 2 > kTargetBytes) return false;
  if (*used) list[(*used)++] = ',';
  std::memcpy(list + *used, nick, n);
  *used += n;
  list[*used] = '\0';
  return true;
}

// Our details as a member of the given kind gets them: with "ask" or not, with our address on
// the local network (a member behind our own router) or those peers anywhere can reach.
bool FormatOwnDetails(bool ask, bool local, char* out, std::size_t size) {
  QivraDetails& d = State.own;
  std::memset(&d, 0, sizeof d);
  const PeerTable& t = Irc.peerTable;
  d.ask = ask;
  d.relay = !Irc.presenceOff;
  d.rooms = true;
  d.hasKey = t.ownSeal.made != 0;
  if (d.hasKey) std::memcpy(d.key, t.ownSeal.publicKey, sizeof d.key);
  d.fast = d.hasKey && SealFastCipherReady();
  d.look = t.ownLook;
  d.addressCount = OwnAddressesForDetails(local, d.addresses, kDetailAddresses);
  return FormatQivraDetails(d, out, size) > 0;
}

// The members whose details are due now and who take the line's kind, into one line of as many
// targets as the server takes; queued, with its ticket. False when none were due.
bool SendDetailsLine(bool ask, bool local, LineOut* out, uint32_t now) {
  PeerTable& t = Irc.peerTable;
  char targets[kTargetBytes];
  std::size_t used = 0;
  targets[0] = '\0';
  int count = 0;
  const int limit = State.targetLimit < kMostTargets ? State.targetLimit : kMostTargets;
  for (int i = 1; i < kPeerSlots && count < limit; ++i) {
    DiscoveryLink& d = t.links[i].discovery;
    if (!t.slots[i].known || !DetailsDue(d, now)) continue;
    if (WantsTheirs(d) != ask || (t.links[i].sameHouse != 0) != local) continue;
    if (!AddTarget(targets, &used, t.slots[i].nick)) continue;
    out->slots[count++] = i;
  }
  if (count == 0) return false;
  char text[kIrcLineLength];
  if (!FormatOwnDetails(ask, local, text, sizeof text)) return false;
  char line[kIrcLineLength];
  FormatInto(line, sizeof line, "NOTICE %s :%s\r\n", targets, text);
  if (SendPacedWithTicket(line, ask ? LookupLine : AnswerLine, &out->ticket) != 1) return false;
  out->waiting = true;
  out->count = count;
  for (int j = 0; j < count; ++j) NoteDetailsQueued(&t.links[out->slots[j]].discovery);
  NoteLineTargets('d', out->slots, count);
  return true;
}

// A line of ours has gone: its members' asks are timed from now.
void SettleLine(LineOut* line, LineKind kind, uint32_t now) {
  if (!line->waiting || !PacedLineGone(kind, line->ticket)) return;
  line->waiting = false;
  PeerTable& t = Irc.peerTable;
  for (int j = 0; j < line->count; ++j) {
    DiscoveryLink& d = t.links[line->slots[j]].discovery;
    if (d.inFlight) NoteDetailsGone(&d, now, Random() % 1000);  // not a newcomer in a slot since emptied
  }
}

// A member's details: its key agreed, its addresses greeted, what it takes kept.
void TakeDetails(int index, const char* sender, const QivraDetails& d) {
  PeerTable& t = Irc.peerTable;
  const uint32_t now = TickCountMs();
  const bool sealedBefore = t.SealsTo(index);
  if (d.hasKey) t.AgreeKeys(index, d.key, d.fast);
  NoteDetails(&t.links[index].discovery, DetailsHeard{d.ask, d.relay, d.rooms, d.look}, now);
  t.ShowSealing(index, sealedBefore);
  if (d.look) t.slots[index].look = d.look;
  if (d.rooms) t.slots[index].tellsRooms = 1;
  t.links[index].relay.announced = d.relay ? 1 : 0;
  for (int i = 0; i < d.addressCount; ++i) TakeNamedHost(index, sender, d.addresses[i]);
  RememberMember(sender);
}

}  // namespace

void AnnounceInChannel(const char* channel) {
  PeerTable& t = Irc.peerTable;
  if (Irc.presenceOff) return;
  const int8_t room = t.rooms.Find(channel);
  bool anyone = false;
  for (int i = 1; i < kPeerSlots && !anyone; ++i) anyone = t.slots[i].known && (t.slots[i].rooms & RoomBit(room));
  if (!anyone) return;  // alone: whoever comes later announces itself
  if (TakeAnnouncement(channel)) {
    SendLookupLine("PRIVMSG %s :%s", channel, kQivraAnnouncement);
    return;
  }
  // Announced today already: only the members known then as QIVRA's are asked, privately.
  for (int i = 1; i < kPeerSlots; ++i)
    if (t.slots[i].known && (t.slots[i].rooms & RoomBit(room)) && RememberedToday(t.slots[i].nick))
      t.ShowQivra(i, SignRemembered, true, Random() % kAnswerSpreadMs);
}

bool TakeQivraText(const char* sender, const char* target, const char* text) {
  QivraDetails& d = State.heard;
  const QivraTextKind kind = ReadQivraText(text, &d);
  if (kind == QivraTextNone) return false;
  PeerTable& t = Irc.peerTable;
  const int index = t.FindByNick(sender);
  // "PRESENCE off" takes part in nothing; someone outside our channels is nobody to us.
  if (Irc.presenceOff || !index || kind == QivraTextMalformed) return true;
  if (kind == QivraTextAnnouncement) {
    // To a channel we share, or to us alone (a client that announced to the channel before).
    if (IsChannelName(target) && t.rooms.Find(target) == kNoRoom) return true;
    t.ShowQivra(index, SignAnnounced, true, Random() % kAnswerSpreadMs);
    RememberMember(sender);
    return true;
  }
  if (IsChannelName(target)) return true;  // details are private; nobody reads them in a channel
  t.ShowQivra(index, SignDetails, true);
  TakeDetails(index, sender, d);
  return true;
}

void ServiceDiscovery(uint32_t now) {
  SettleLine(&State.answers, AnswerLine, now);
  SettleLine(&State.asks, LookupLine, now);
  if (Irc.presenceOff) return;
  // One line at a time, queued only when it can go at once: whoever comes due meanwhile is in
  // it, rather than in a line of its own behind it.
  for (int local = 0; local < 2; ++local) {
    if (!State.answers.waiting && PacedLineMayGoNow()) SendDetailsLine(false, local != 0, &State.answers, now);
    if (!State.asks.waiting && PacedLineMayGoNow()) SendDetailsLine(true, local != 0, &State.asks, now);
  }
}

void RetellDetails() {
  PeerTable& t = Irc.peerTable;
  const uint32_t now = TickCountMs();
  for (int i = 1; i < kPeerSlots; ++i)
    if (t.slots[i].known && t.links[i].discovery.heardDetails) OweDetailsAgain(&t.links[i].discovery, now);
}

void NoteTargetLimit(const IrcMessage& m) {
  if (std::strcmp(m.command, "001") == 0) {  // a new connection
    State.answers = LineOut{};
    State.asks = LineOut{};
    State.last = LastTargets{};
    State.targetLimit = kRelayNearest;
    State.limitFrom005 = false;
  }
  if (std::strcmp(m.command, "005") != 0) return;
  for (int i = 1; i < m.count; ++i) {
    const char* token = Param(m, i);
    long limit = -1;
    if (std::strncmp(token, "TARGMAX=", 8) == 0) {
      // Moves go in PRIVMSG, details in NOTICE: the smaller limit of the two, one for a command
      // it leaves out (its targets are then not known to be many).
      long both = kRelayNearest;
      static const char* const kCommands[] = {"PRIVMSG:", "NOTICE:"};
      for (const char* command : kCommands) {
        const char* at = std::strstr(token, command);
        long one = 1;
        if (at) {
          at += std::strlen(command);
          one = (*at == ',' || *at == '\0') ? kRelayNearest : std::strtol(at, nullptr, 10);
        }
        if (one < both) both = one;
      }
      limit = both;
    } else if (std::strncmp(token, "MAXTARGETS=", 11) == 0) {
      if (State.limitFrom005) continue;  // TARGMAX says it for the commands themselves: it wins
      limit = std::strtol(token + 11, nullptr, 10);
    } else if (std::strcmp(token, "IRCD=ngIRCd") == 0) {
      // ngircd takes 25 targets but charges a second for each beyond the first (measured on
      // ngircd 26: a line to n targets holds the sender's next line back n - 1 seconds): two a
      // line keep up with a line a second. A limit the server states outright wins.
      if (State.limitFrom005 || State.targetLimit < 2) continue;
      limit = 2;
    } else {
      continue;
    }
    if (limit < 1) limit = 1;
    if (limit > kRelayNearest) limit = kRelayNearest;
    State.targetLimit = static_cast<int>(limit);
    if (std::strncmp(token, "TARGMAX=", 8) == 0) State.limitFrom005 = true;
  }
}

int LineTargetLimit() { return State.targetLimit; }

void NoteLineTargets(char kind, const int* slots, int count) {
  LastTargets& last = State.last;
  last.kind = count > 1 ? kind : 0;  // a single target cannot be one too many
  last.count = count < kMostTargets ? count : kMostTargets;
  for (int j = 0; j < last.count; ++j) {
    last.slots[j] = slots[j];
    CopyName(last.nicks[j], sizeof last.nicks[j], Irc.peerTable.slots[slots[j]].nick);
  }
}

// Where the server's refusal names one of our last line's targets: its place, or -1. hybrid
// names the first it refused ("407 me u5 :Too many recipients"), irc2 each one at the start of
// its text ("407 me Too many :u6 recipients"); a server that reads "a,b" as one name says 401.
int RefusedTarget(const IrcMessage& m) {
  const LastTargets& last = State.last;
  const int numeric = NumericOf(m);
  if (numeric == 401) {
    const char* about = Param(m, 1);
    const std::size_t n = std::strlen(last.nicks[0]);
    return std::strchr(about, ',') && IrcNameStartsWith(about, last.nicks[0], n) && about[n] == ',' ? 0 : -1;
  }
  if (numeric != 407) return -1;
  for (int j = 0; j < last.count; ++j) {
    const std::size_t n = std::strlen(last.nicks[j]);
    for (int p = 1; p < m.count; ++p) {
      const char* param = Param(m, p);
      if (SameIrcName(param, last.nicks[j])) return j;
      if (p == m.count - 1 && IrcNameStartsWith(param, last.nicks[j], n) && param[n] == ' ') return j;
    }
  }
  return -1;
}

bool TakeTargetRefusal(const IrcMessage& m) {
  LastTargets& last = State.last;
  if (!last.kind) return false;
  const int refused = RefusedTarget(m);
  if (refused < 0) return false;
  State.targetLimit = refused > 0 ? refused : 1;
  PeerTable& t = Irc.peerTable;
  const uint32_t now = TickCountMs();
  for (int j = refused; j < last.count; ++j) {
    const int i = last.slots[j];
    if (!t.slots[i].known || !SameIrcName(t.slots[i].nick, last.nicks[j])) continue;
    if (last.kind == 'm') t.links[i].relay.owed = 1;
    if (last.kind == 'd') OweDetailsAgain(&t.links[i].discovery, now);
  }
  last.kind = 0;
  return true;
}
