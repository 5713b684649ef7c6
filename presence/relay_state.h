// Members shown through the IRC server when no direct link was found: who is relayed, what is
// owed to whom and when, the nearest ones, and the text form of a relayed move (pure rules).
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/player_pose.h"

constexpr uint32_t kRelayMovingMs = 1000;         // our pose this often while a key is held
constexpr uint32_t kRelayStillMs = 60000;         // and this often standing still
constexpr uint32_t kRelayGapMs = 1000;            // relay lines at most this often
constexpr int kRelayNearest = 8;                  // members our moves are relayed to
constexpr int kRelayKeyFirst = 1;                 // the movement keys a move carries: 1 to 8
constexpr int kRelayKeyCount = 8;
constexpr std::size_t kRelayMoveLength = 64;      // room for the longest move text

// Per slot, inside PeerLink, so it is zeroed whenever the slot's link is.
struct RelayLink {
  uint8_t announced;     // the member takes relayed moves (its details said so, or its move)
  uint8_t relayed;       // moves travel through the server, both ways
  uint8_t shown;         // a relayed move came from it: its avatar is drawn
  uint8_t reported;      // the console said so
  uint8_t owed;          // our current state is due to it
  uint32_t sentMs;       // our last move to it
};

// One relayed move: the held movement keys and the pose (heading follows yaw).
struct RelayMove {
  uint8_t keys[kKeyFlagCount];
  float x, z, yaw, pitch;
};

// "QIVRA-MOVE <8 key digits> <x> <z> <yaw> <pitch>", x and z with two decimals, the angles
// with one, folded into -180..180. Returns the length, 0 when it does not fit or a place is
// beyond +-99999.
std::size_t FormatRelayMove(const RelayMove& move, char* out, std::size_t size);
// The whole text of a private message, "\x01" + the form above + "\x01" and nothing else;
// anything malformed, too long or out of range is refused.
bool ParseRelayMove(const char* text, RelayMove* move);

// The first move from a relayed member: true once, and our state is owed to it in answer. A
// move of ours that came before the member took us up was dropped there; this one is not.
bool NoteFirstRelayMove(RelayLink* r);

enum RelayChange { RelayUnchanged, RelayStarted, RelayStopped };
// Starts relaying to an announced member without a direct link (our state is owed at once);
// a direct link found later stops it (the member is shown by its own datagrams again).
RelayChange UpdateRelay(RelayLink* r, bool noLink, bool directLink);
// Marks our state owed to a relayed member: at once after a key change, every kRelayMovingMs
// while moving, and every kRelayStillMs anyway.
void MarkRelayOwed(RelayLink* r, bool keysChanged, bool moving, uint32_t now);

// A candidate for our moves: a slot and its squared distance from us.
struct RelayCandidate {
  int index;
  float distance2;
};
// Sorts the nearest `limit` of them to the front (nearest first); returns how many that is.
int KeepNearest(RelayCandidate* candidates, int count, int limit);

// Our key flags as last relayed: true (and noted) when the current ones differ.
struct RelayOwnKeys {
  uint8_t keys[kKeyFlagCount];
};
bool NoteOwnKeys(RelayOwnKeys* own, const uint8_t keys[kKeyFlagCount]);
bool AnyMoveKey(const uint8_t keys[kKeyFlagCount]);
