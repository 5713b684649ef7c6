// Handing the room's view from the peer table's owner to the window: made apart, copied under a
// short lock of its own, never while anyone draws.
#include "irc/room_publish.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "console/display_text.h"
#include "core/looks.h"
#include "platform/net.h"
#include "presence/peer_table.h"

namespace {

struct Published {
  std::mutex lock;      // held only to copy a view in or out
  RoomView view = {};   // the newest
  RoomView making = {};  // the owner's next one, made outside the lock
  int signal = NetOpenWakeSignal();  // raised with each new view, for a window at rest
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

// The member as the room shows it: where it stands, or where it last stood here.
void Show(PeerTable& t, int i, int8_t room, RoomMember* m) {
  const PeerSlot& slot = t.slots[i];
  std::memset(m, 0, sizeof *m);
  m->id = i;
  CopyNick(m->nick, slot.nick);
  m->reach = ReachOf(t, i);
  m->status = room != kNoRoom ? slot.status[room] : 0;
  m->away = slot.away != 0;
  m->poseSerial = slot.poseSerial;
  m->look = slot.look <= kLookCount ? slot.look : kLookNotTold;
  // A typing mark only while its datagrams come: a member gone quiet is typing no longer.
  m->typing = slot.typing && m->reach == ReachDirect;
  m->elsewhere = room != kNoRoom && slot.standsIn != kStandsAnywhere && slot.standsIn != room;
  m->pose = m->elsewhere && (slot.posedIn & RoomBit(room)) ? slot.poseIn[room] : slot.pose;
  const char* other = m->elsewhere ? t.rooms.Name(slot.standsIn) : "";  // "" for a room we are not in
  std::memcpy(m->elsewhereIn, other, Utf8Prefix(other, std::strlen(other), sizeof m->elsewhereIn - 1));
  if (!m->elsewhere) std::memcpy(m->keys, slot.keys, sizeof m->keys);  // one elsewhere walks here no more
}

}  // namespace

void PublishRoomView(PeerTable& t) {
  RoomView& v = Shared.making;
  const int8_t room = t.rooms.standing;
  std::memset(v.channel, 0, sizeof v.channel);
  std::snprintf(v.channel, sizeof v.channel, "%s", t.rooms.Name(room));
  int count = 0;
  for (int i = 1; i < kPeerSlots && count < kRoomMembers; ++i) {
    const PeerSlot& slot = t.slots[i];
    if (!slot.known || (room != kNoRoom && !(slot.rooms & RoomBit(room)))) continue;
    Show(t, i, room, &v.members[count++]);
  }
  v.count = count;
  std::lock_guard<std::mutex> hold(Shared.lock);
  if (SameMembers(v, Shared.view)) return;
  v.serial = Shared.view.serial + 1;
  std::memcpy(&Shared.view, &v, sizeof v);
  NetRaiseWakeSignal(Shared.signal);
}

int RoomViewSignal() { return Shared.signal; }

bool CopyRoomView(RoomView* view) {
  std::lock_guard<std::mutex> hold(Shared.lock);
  if (view->serial == Shared.view.serial) return false;
  std::memcpy(view, &Shared.view, sizeof *view);
  return true;
}
