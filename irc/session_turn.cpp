// The link thread's turn: own moves out, presence upkeep, the room's view handed to the window.
#include "irc/session_turn.h"

#include <cstring>

#include "irc/irc_client.h"
#include "irc/line_pacing.h"
#include "irc/peer_reach.h"
#include "irc/registration.h"
#include "irc/relay_lines.h"
#include "irc/room_publish.h"
#include "platform/net.h"

namespace {

constexpr uint32_t kPublishGapMs = 5;  // the room's view at most this often

constexpr uint32_t kUpkeepGapMs = 10;  // hellos, keep-alives and relayed moves at most this often

// The link thread's own record of the pace of its upkeep.
struct TurnPace {
  uint32_t publishedMs, servicedMs;
  bool publishedAny, servicedAny;
};
TurnPace Pace;

bool Due(bool* any, uint32_t* lastMs, uint32_t now, uint32_t gapMs) {
  if (*any && static_cast<uint32_t>(now - *lastMs) < gapMs) return false;
  *any = true;
  *lastMs = now;
  return true;
}

void SendOwnMoves(const OwnMoves& m) {
  for (int key = 0; key < kKeyFlagCount; ++key) Irc.peerTable.SendKeyState(key, m.keys[key]);  // changes only
  NoteOwnPose(m.pose);  // for moves relayed through the server
  if (m.positionDue) Irc.peerTable.SendPosition(m.pose.x, m.pose.z, m.pose.yaw, m.pose.heading, m.pose.pitch);
}

}  // namespace

void WakeLinkThread() { NetRaiseWakeSignal(OutgoingLineSignal()); }

void RunSessionTurn(uint32_t now) {
  OwnMoves moves;
  if (TakeOwnMoves(&moves)) SendOwnMoves(moves);
  // Hellos, keep-alives, key blocks and relayed moves that are due.
  if (Due(&Pace.servicedAny, &Pace.servicedMs, now, kUpkeepGapMs)) ServicePresence();
  if (Due(&Pace.publishedAny, &Pace.publishedMs, now, kPublishGapMs)) PublishRoomView(Irc.peerTable);
}

void ForgetRoom() {
  Pace = TurnPace{};
  Irc.peerTable.rooms.Clear();
  PublishRoomView(Irc.peerTable);
}

void ChangeOwnNick(const char* nick) {
  if (!nick || !*nick) return;
  // While registering the server confirms nothing, so the name is taken on at once.
  if (!LoginWelcomed()) {
    Irc.SetNick(nick);
    return;
  }
  SendIrcLine("\r\n", "NICK %s", nick);
}

void EnterRoom(const char* channel) {
  Irc.peerTable.StandIn(Irc.peerTable.rooms.Find(channel));
  Pace.publishedAny = false;  // the new room's view goes at once
}
