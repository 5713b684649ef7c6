// Handing the room's view from the peer table's owner to the window: made apart, copied under a
// short lock of its own, never while anyone draws.
#include "irc/room_publish.h"

#include <cstring>
#include <mutex>

#include "presence/peer_table.h"

namespace {

struct Published {
  std::mutex lock;      // held only to copy a view in or out
  RoomView view = {};   // the newest
  RoomView making = {};  // the owner's next one, made outside the lock
};
Published Shared;

void CopyNick(char* out, const char* nick) {
  std::size_t n = strnlen(nick, kRoomNickLength - 1);
  std::memcpy(out, nick, n);
  out[n] = '\0';
}

MemberReach ReachOf(PeerTable& t, int i) {
  if (t.slots[i].active && t.links[i].confirmed) return ReachDirect;
  return t.links[i].relay.shown ? ReachRelayed : ReachNone;
}

bool SameMembers(const RoomView& a, const RoomView& b) {
  if (a.count != b.count || std::strncmp(a.channel, b.channel, kRoomChannelLength) != 0) return false;
  return std::memcmp(a.members, b.members, sizeof(RoomMember) * static_cast<std::size_t>(a.count)) == 0;
}

}  // namespace

void PublishRoomView(PeerTable& t, const char* channel) {
  RoomView& v = Shared.making;
  std::size_t n = strnlen(channel ? channel : "", kRoomChannelLength - 1);
  std::memset(v.channel, 0, sizeof v.channel);
  if (n) std::memcpy(v.channel, channel, n);
  int count = 0;
  for (int i = 1; i < kPeerSlots && count < kRoomMembers; ++i) {
    const PeerSlot& slot = t.slots[i];
    if (!slot.known) continue;
    RoomMember& m = v.members[count++];
    std::memset(&m, 0, sizeof m);
    m.id = i;
    CopyNick(m.nick, slot.nick);
    m.reach = ReachOf(t, i);
    m.poseSerial = slot.poseSerial;
    m.pose = slot.pose;
    std::memcpy(m.keys, slot.keys, sizeof m.keys);
  }
  v.count = count;
  std::lock_guard<std::mutex> hold(Shared.lock);
  if (SameMembers(v, Shared.view)) return;
  v.serial = Shared.view.serial + 1;
  std::memcpy(&Shared.view, &v, sizeof v);
}

bool CopyRoomView(RoomView* view) {
  std::lock_guard<std::mutex> hold(Shared.lock);
  if (view->serial == Shared.view.serial) return false;
  std::memcpy(view, &Shared.view, sizeof *view);
  return true;
}
