// The relay's IRC side: sending and taking moves as private CTCP messages.
//
// Who takes relayed moves is known from the details members trade (irc/discovery_lines.cpp: the
// "relay" word); a member of the version before this one asks "\x01VERSION\x01" at its own "No
// direct link" moment, and our answer's text ends with the word "relay/1" (irc/words/
// ctcp_lines.cpp), after which its first move shows that it relays. Moves go only to members
// relayed this way, as "PRIVMSG a,b :\x01QIVRA-MOVE <keys> <x> <z> <yaw> <pitch>\x01"
// (presence/relay_state.h), and are taken only from members relayed on our side too.
// They use only the line allowance that typed chat leaves over, at most one a second: a move
// that cannot go yet is not queued, it is formed afresh from the newest state when it can.
#include "irc/relay_lines.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "irc/discovery_lines.h"
#include "irc/irc_client.h"
#include "irc/receive_thread.h"
#include "irc/irc_message.h"
#include "irc/line_pacing.h"
#include "irc/peer_reach.h"
#include "platform/ticks.h"
#include "presence/datagram_intake.h"
#include "presence/relay_state.h"

const char kRelayWord[] = "relay/1";

namespace {

constexpr std::size_t kTargetBytes = 300;  // room for the targets of one line

// The sending side's state: our pose and keys as last noted and sent.
struct RelaySender {
  PlayerPose pose;
  PlayerPose sentPose;   // the pose of the last move sent
  RelayOwnKeys keys;
  uint32_t lastLineMs;
  bool sentAny;
};

// What the relay keeps on the link thread: the sending side (reset for each connection), and
// each turn's scratch, kept off the stack: which relayed members are among the kRelayNearest
// nearest (they see us walk; the others get our state when the relay starts and once a minute,
// so that with several targets a line a room of twenty all see one another), the members owed
// a move in the order they are served, and the line about members shown through the server.
struct RelayRecord {
  RelaySender sender;
  bool nearest[kPeerSlots];
  float distance2[kPeerSlots];
  RelayCandidate near[kPeerSlots];
  int owed[kPeerSlots];
  NoLinkLine shown;
};
RelayRecord Relay;

bool StartsWith(const char* text, const char* word) { return std::strncmp(text, word, std::strlen(word)) == 0; }

bool DirectLink(int i) {
  const PeerTable& t = Irc.peerTable;
  return t.slots[i].active && t.links[i].confirmed;
}

// A member that has shown that it runs QIVRA and has had no direct link since the "No direct
// link" time passed.
bool NoLink(int i) {
  const PeerTable& t = Irc.peerTable;
  const bool late = static_cast<uint32_t>(TickCountMs() - t.links[i].enteredMs) >= t.noLinkReportMs;
  return t.links[i].discovery.shown && late && !DirectLink(i);
}

// Appends nick to a target list "a,b"; false when it would not fit.
bool AddTarget(char* list, std::size_t* used, const char* nick) {
  std::size_t n = strnlen(nick, kNickLength);
  if (n == 0 || *used + n + 2 > kTargetBytes) return false;
  if (*used) list[(*used)++] = ',';
  std::memcpy(list + *used, nick, n);
  *used += n;
  list[*used] = '\0';
  return true;
}

// A pose changed with no key held (placed, not walked): it goes like a key change.
bool Jumped(const PlayerPose& a, const PlayerPose& b) {
  return std::fabs(a.x - b.x) > 0.005f || std::fabs(a.z - b.z) > 0.005f || std::fabs(a.yaw - b.yaw) > 0.05f ||
         std::fabs(a.pitch - b.pitch) > 0.05f;
}

bool GateOpen(uint32_t now) {
  return !Relay.sender.sentAny || static_cast<uint32_t>(now - Relay.sender.lastLineMs) >= kRelayGapMs;
}

bool SendLine(const char* targets, const char* text, uint32_t now) {
  char line[kIrcLineLength];
  FormatInto(line, sizeof line, "PRIVMSG %s :\x01%s\x01\r\n", targets, text);
  if (SendSpareLine(line, kRelayReserveLines) != 1) return false;
  Relay.sender.lastLineMs = now;
  Relay.sender.sentAny = true;
  return true;
}

void MarkNearest() {
  PeerTable& t = Irc.peerTable;
  RelayCandidate* near = Relay.near;
  int count = 0;
  for (int i = 1; i < kPeerSlots; ++i) {
    Relay.nearest[i] = false;
    if (!t.slots[i].known || !t.links[i].relay.relayed) continue;
    float dx = t.slots[i].pose.x - Relay.sender.pose.x, dz = t.slots[i].pose.z - Relay.sender.pose.z;
    Relay.distance2[i] = dx * dx + dz * dz;
    near[count++] = {i, Relay.distance2[i]};
  }
  count = KeepNearest(near, count, kRelayNearest);
  for (int j = 0; j < count; ++j) Relay.nearest[near[j].index] = true;
}

// How long since our last move to the member (the longest for one that has had none).
uint32_t MoveAge(const RelayLink& r, uint32_t now) { return r.sentMs == 0 ? 0xFFFFFFFFu : now - r.sentMs; }

// Whether member a's move is due before b's: the one waiting longest, then the nearest eight,
// then the nearer.
bool DueBefore(int a, int b, uint32_t now) {
  const PeerTable& t = Irc.peerTable;
  const uint32_t ageA = MoveAge(t.links[a].relay, now), ageB = MoveAge(t.links[b].relay, now);
  if (ageA != ageB) return ageA > ageB;
  if (Relay.nearest[a] != Relay.nearest[b]) return Relay.nearest[a];
  return Relay.distance2[a] <= Relay.distance2[b];
}

// Our state to the owed ones, as many a line as the server takes, the one whose last move went
// longest ago first, so that where a line names fewer than are owed each has its turn. True
// when a line went.
bool SendMoves(uint32_t now) {
  PeerTable& t = Irc.peerTable;
  int* owed = Relay.owed;
  int waiting = 0;
  for (int i = 1; i < kPeerSlots; ++i) {
    if (!t.slots[i].known || !t.links[i].relay.relayed || !t.links[i].relay.owed) continue;
    int at = waiting++;
    for (; at > 0 && !DueBefore(owed[at - 1], i, now); --at) owed[at] = owed[at - 1];
    owed[at] = i;
  }
  char targets[kTargetBytes];
  std::size_t used = 0;
  int picked[kRelayNearest];
  int n = 0;
  targets[0] = '\0';
  // A line is for the nearest or for the others: those see only where we stand, with no key
  // held, since nothing walks them on until our next move a minute later.
  const bool near = waiting > 0 && Relay.nearest[owed[0]];
  for (int j = 0; j < waiting && n < LineTargetLimit(); ++j) {
    RelayLink& r = t.links[owed[j]].relay;
    if (Relay.nearest[owed[j]] != near) break;
    if (!AddTarget(targets, &used, t.slots[owed[j]].nick)) {
      if (n == 0) r.owed = 0;  // a name too long for any line: nothing can reach it this way
      continue;
    }
    picked[n++] = owed[j];
  }
  if (n == 0) return false;
  RelayMove move = {};
  if (near) std::memcpy(move.keys, t.self.keys, sizeof move.keys);
  move.x = Relay.sender.pose.x;
  move.z = Relay.sender.pose.z;
  move.yaw = Relay.sender.pose.yaw;
  move.pitch = Relay.sender.pose.pitch;
  char text[kRelayMoveLength];
  if (!FormatRelayMove(move, text, sizeof text)) return false;
  if (!SendLine(targets, text, now)) return false;
  NoteLineTargets('m', picked, n);
  Relay.sender.sentPose = Relay.sender.pose;
  for (int j = 0; j < n; ++j) {
    t.links[picked[j]].relay.owed = 0;
    t.links[picked[j]].relay.sentMs = now;
  }
  return true;
}

bool FormatShownLine(const NoLinkLine& line, char* out, std::size_t size) {
  if (line.count == 0) return false;
  if (line.count == 1) {
    std::snprintf(out, size, "%s is shown through the server (no direct link)", line.names);
  } else if (line.count <= kNoLinkNamed) {
    std::snprintf(out, size, "%s are shown through the server (no direct link)", line.names);
  } else {
    std::snprintf(out, size, "%s and %d more are shown through the server (no direct link)", line.names,
                  line.count - kNoLinkNamed);
  }
  return true;
}

}  // namespace

void ReadRelaySeams() {
  Relay.sender = RelaySender{};  // a new connection: nothing sent yet
  const char* ms = std::getenv("QIVRA_NO_LINK_MS");
  if (!ms || !*ms) return;
  long value = std::strtol(ms, nullptr, 10);
  if (value >= 1000 && value <= 600000) {
    Irc.peerTable.noLinkReportMs = static_cast<uint32_t>(value);
  }
}

void NoteOwnPose(const PlayerPose& pose) {
  Relay.sender.pose = pose;
}

void ServiceRelay(uint32_t now) {
  NoLinkLine& shown = Relay.shown;
  shown = NoLinkLine{};
  {
    PeerTable& t = Irc.peerTable;
    const bool keysChanged = NoteOwnKeys(&Relay.sender.keys, t.self.keys);
    const bool moving = AnyMoveKey(t.self.keys);
    const bool changed = keysChanged || (!moving && Jumped(Relay.sender.pose, Relay.sender.sentPose));
    for (int i = 1; i < kPeerSlots; ++i)
      if (t.slots[i].known) UpdateRelay(&t.links[i].relay, NoLink(i), DirectLink(i));
    MarkNearest();
    for (int i = 1; i < kPeerSlots; ++i) {
      if (!t.slots[i].known) continue;
      RelayLink& r = t.links[i].relay;
      MarkRelayOwed(&r, changed && Relay.nearest[i], moving && Relay.nearest[i], now);
      if (r.shown && !r.reported) {
        r.reported = 1;
        NoLinkLineAdd(&shown, t.slots[i].nick);
      }
    }
    if (GateOpen(now)) SendMoves(now);
  }
  char text[sizeof shown.names + 96];
  if (FormatShownLine(shown, text, sizeof text)) HandOverPresenceText(text);
}

bool TakeRelayMove(const char* sender, const char* text) {
  if (!StartsWith(text, "\x01QIVRA-MOVE")) return false;
  PeerTable& t = Irc.peerTable;
  int index = t.FindByNick(sender);
  RelayMove move;
  // "PRESENCE off" takes no moves (and never said it would).
  if (!index || Irc.presenceOff || !ParseRelayMove(text, &move)) return true;
  t.ShowQivra(index, SignMove, false);  // only a QIVRA client sends one
  RelayLink& r = t.links[index].relay;
  // A member of the version before this one announces nothing: its first move, while no direct
  // link is found, shows that it relays; ours go to it from then on.
  if (!r.relayed && NoLink(index)) {
    r.announced = 1;
    UpdateRelay(&r, true, false);
  }
  if (!r.relayed) return true;
  const float reported[5] = {move.x, move.z, move.yaw, move.yaw, move.pitch};
  if (!IsSanePosition(reported)) return true;  // outside the room's area: the whole move is dropped
  if (NoteFirstRelayMove(&r) && PeerChangeHook) PeerChangeHook('r', index, 0);
  t.ApplyPosition(index, reported);  // the place first: the keys walk on from there
  t.ApplyKeyBlock(index, move.keys, kKeyFlagCount);
  return true;
}

bool IsQuietVersionRequest(const char* sender, const char* text) {
  if (std::strcmp(text, "\x01VERSION\x01") != 0) return false;
  PeerTable& t = Irc.peerTable;
  int index = t.FindByNick(sender);
  if (!index) return false;
  // An older QIVRA asks VERSION at its "No direct link" moment, near ours, give or take the
  // time between the two joins; anyone asking sooner after joining is shown as ever.
  const uint32_t since = TickCountMs() - t.links[index].enteredMs;
  return !DirectLink(index) && since >= t.noLinkReportMs / 2;
}
