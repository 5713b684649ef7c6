// The link thread's turn with the session's doors: the commands and own moves the other threads
// handed over, the presence upkeep, and the room's view handed back.
#pragma once
#include <cstdint>

#include "core/player_pose.h"

// The user's latest moves as the window handed them over.
struct OwnMoves {
  uint8_t keys[kKeyFlagCount];
  PlayerPose pose;
  bool positionDue;  // a position datagram is due (the window keeps the PACKETS rate)
  bool fresh;        // not yet taken
};

// Wakes the link thread for a queued line or command.
void WakeLinkThread();
// Link thread: applies the commands waiting, oldest first.
void TakeSessionCommands();
// Link thread: the latest moves when they are new.
bool TakeOwnMoves(OwnMoves* moves);
// Link thread: the room's floor as the window set it (min x, max x, min z, max z; zeros: none).
void TakeSessionRoom(float room[4]);
// Link thread: the nickname the server knows us by, for the window.
void ShowOwnNick(const char* nick);

// Link thread, each turn once registered: the own moves to the peers, hellos, keep-alives, key
// blocks, relayed moves, the lines about links, and the room's view when it changed.
void RunSessionTurn(uint32_t nowMs);
// Link thread: a new connection's session starts with no room.
void ForgetRoom();
// The commands' work on the link thread.
void ChangeOwnNick(const char* nick);
void EnterRoom(const char* channel);
