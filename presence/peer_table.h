// The remote users of the channel: slots, lookups, and the presence datagrams. The link thread
// owns the table: nothing here is locked.
#pragma once
#include <cstdint>
#include "presence/host_lookup.h"
#include "presence/peer_links.h"
#include "presence/rooms.h"
#include "presence/seal_keys.h"
#include "presence/socket_address.h"
#include "core/player_pose.h"

constexpr int kPeerSlots = 200;     // indices 1..199 are used
constexpr int kNickLength = 2048;

// Where a member's user stands, as its positions say.
constexpr int8_t kStandsAnywhere = -1;   // an older client: its one room is every room we share with it
constexpr int8_t kStandsElsewhere = -2;  // a room we are not in

struct PeerSlot {
  SocketAddress address;
  uint8_t active;
  uint8_t known;
  char nick[kNickLength];
  float reportedPose[5];            // x, z, yaw, heading, pitch as received
  uint32_t poseSerial;              // grows with each reported pose
  uint8_t keys[kKeyFlagCount];
  PlayerPose pose;                  // the last reported, wherever it stands
  // Its rooms: the channels both are in (RoomBit), its status in each ('@', '+' or 0), and away.
  uint32_t rooms;
  char status[kMaxRooms];
  uint8_t away;
  // Its client names the room of each position (a newer client, told in its hello): it stands
  // in standsIn, and where it last stood in each room we share is kept.
  uint8_t tellsRooms;
  int8_t standsIn;
  uint32_t posedIn;                 // RoomBit of each room with a pose in poseIn
  PlayerPose poseIn[kMaxRooms];
  uint8_t look;                     // the look its hello or details named (0: not told)
  uint8_t typing;                   // its user is typing a line (a typing datagram said so)
  uint32_t typingHeardMs;           // when a typing datagram last said so
};

class DatagramLink;

class PeerTable {
 public:
  PeerSlot slots[kPeerSlots];
  PeerSlot self;                    // own nick and own key states
  RoomTable rooms;                  // the channels we are in, and where we stand

  // How each slot's peer is reached (presence/peer_links.cpp), and what goes to every peer.
  PeerLink links[kPeerSlots];
  ReflectEntry reflected[kReflectEntries];
  uint32_t reflectAdmitted[kReflectNewPerMinute];  // when the latest new addresses were admitted
  int reflectNext;
  KeyRepeat keyRepeat;
  char lastPosition[21];            // the last position datagram sent, for a peer just bound
  uint8_t havePosition;
  // Sealed datagrams: this session's key pair, and the keys agreed with each member.
  SealIdentity ownSeal;
  SealPair seals[kPeerSlots];
  uint8_t serverFamily = 0;         // the family of our IRC link's address (0: not known)
  uint8_t ownLook = 0;              // our look, named in hellos (0: none)
  uint8_t ownTyping = 0;            // our user is typing
  uint32_t typingChangedMs = 0;
  uint32_t typingSentMs = 0;
  uint8_t typingRepeated = 1;
  uint32_t noLinkReportMs = kNoLinkReportMs;  // QIVRA_NO_LINK_MS may shorten it for tests

  // Given by the chat client that owns the table: the link every datagram travels on, the
  // client's kNickLength-byte output buffer that datagrams are formatted into, and how a new
  // peer's host is asked for over IRC (1 when the request went out).
  DatagramLink* datagramLink = nullptr;
  char* line = nullptr;
  int (*requestHost)(const char* nick) = nullptr;

  int IsActive(int index);
  int IsKnown(int index);
  int GetNick(int index, char* out);
  int FindByNick(const char* nick);
  int FindByAddress(const SocketAddress& address);
  // The member leaves every room (a quit).
  void RemovePeer(const char* nick);
  // The member leaves one room (a part or a kick); it stays while it shares another.
  void RemovePeerFrom(const char* nick, int8_t room);
  // We leave a room: every member leaves it with us.
  void LeaveRoom(int8_t room);
  void Clear();

  // Enters a member of room (kNoRoom: of no room yet); askHost: a new member's host is asked
  // for (requestHost), else the caller has it. A member already known joins the room.
  int AddPeer(const char* nick, bool askHost = true, int8_t room = kNoRoom);
  // The user stands in another room: the peers that do not know rooms and are not in it stop
  // walking us (a key block with every key let go).
  void StandIn(int8_t room);
  // Whether our moves go to the peer: a client that knows rooms always; an older one only
  // while we stand in a room it is in.
  bool SeesOurMoves(int index) const;
  int SetPeerHost(int index, const char* host);
  // The same with the address already resolved: the peer may be reached there too (its
  // earlier addresses stay). namedByPeer: the address came from the peer's own ":Q"/":A"
  // line, so it counts against the bound on new addresses a minute (0 when over it).
  int AddPeerAddress(int index, const NetAddress& address, bool namedByPeer = false);
  // Each address of a host that may have several (IPv6 and IPv4): 1 when any was taken.
  int AddPeerAddresses(int index, const HostAddresses& found, bool namedByPeer = false);
  int SendKeyState(int index, int held);
  int SendPosition(float x, float z, float yaw, float heading, float pitch);
  // Our user starts or stops typing: a typing datagram to every active member (sent once
  // more kTypingRepeatMs later, by ServiceLinks, in case one is lost, and every
  // kTypingRefreshMs while typing goes on, since the others let a mark lapse).
  void SendTyping(bool typing);
  void SendTypingState();  // the state as it stands, to every active member
  int ReceiveDatagram();
  // The datagram (from source) taken apart: a sealed one opened (its member proven), then the
  // plain one inside, or a plain one from source. The result is ReceiveDatagram's.
  int TakeDatagram(const char* data, int length, const SocketAddress& source);
  // A plain datagram (length bytes, then a zero) from source: proven is the slot whose sealed
  // datagram carried it, 0 for one that came plain.
  int ApplyDatagram(int proven, const char* data, int length, const SocketAddress& source);

  // The member has shown that it runs QIVRA (presence/discovery_state.h NoteQivraSign): its
  // addresses of the other family, and those it names, may be greeted from now on.
  bool ShowQivra(int index, QivraSign sign, bool speaks, uint32_t spreadMs = 0);
  // Whether an address of the member's may be greeted: once it has shown that it runs QIVRA,
  // any; before, only one the server named in the family of our own IRC link (which the
  // server shows everyone anyway).
  bool MayGreet(int index, const LinkAddress& address) const;
  // Agrees keys with the member from its public key (its details): 1, or 0 (not agreed).
  // fast: its details said "aes" and this machine has it too.
  int AgreeKeys(int index, const uint8_t theirKey[kSealPublicKeyLength], bool fast = false);
  // Whether our datagrams to the member are sealed: keys agreed, and it has ours.
  bool SealsTo(int index) const;
  // Our datagrams to the member have just turned sealed (sealedBefore: they were already): one
  // goes at once, not with the next keep-alive, so that the member learns that we have its key
  // and seals its own, whose plain ones are refused from then on.
  void ShowSealing(int index, bool sealedBefore);
  // Every datagram to a member goes here: sealed when SealsTo, plain otherwise. ttl > 0: that
  // IP time-to-live for this datagram.
  void SendToMember(int index, const SocketAddress& to, const char* data, int length, int ttl = 0);
  // A peer's position (x, z, yaw, heading, pitch) and key block, from a datagram or relayed
  // through the server: sane positions only.
  // room: the room the position names (roomLength bytes, not terminated); null: none named.
  void ApplyPosition(int index, const float reported[5], const char* room = nullptr, int roomLength = 0);
  void ApplyKeyBlock(int index, const uint8_t* keys, int count);

  // A hello "c" or hello reply "C" from source: binds, rebinds or answers. proven: the slot
  // whose sealed datagram carried it (0: plain). The result is ReceiveDatagram's.
  int ApplyHello(const char* data, int length, const SocketAddress& source, int proven = 0);
  // A datagram of the exchange came from the slot's bound address and port.
  void NoteHeard(int index);
  // Each turn of the owner while in a channel: hellos that are due, keep-alives, key blocks.
  void ServiceLinks(uint32_t nowMs);
  // 1 and the nickname (kNickLength bytes) of a member that has shown that it runs QIVRA and
  // has had no direct link for kNoLinkReportMs since it entered, once per member (call again
  // for the next); else 0.
  int NextNoLinkReport(uint32_t nowMs, char* nick);
  // Book-keeping of the other operations.
  void NoteSent(int index, uint32_t nowMs);
  void NoteKeyChange(int held, uint32_t nowMs);
  void ResetLink(int index, uint32_t nowMs);
  // 1 when the slot is active and its peer has shown that it hears us, or its moves come
  // through the server: the avatar is drawn.
  int IsLinked(int index);
};

// The last position sent ("d" and five floats) into out (kNickLength bytes), followed for a
// client that knows rooms by the name of the one we stand in. Returns the length.
int FormatPosition(const PeerTable& table, bool withRoom, char* out);

// Called on the thread that owns the table after a datagram changed a slot: kind 'a' the slot became
// active or moved to another port (hello or hello reply), 'd' a position, 'i' a key (key: its
// index), 'k' a key block, 'r' its moves began to come through the IRC server, 't' its typing
// mark changed, 's' its first sealed datagram opened.
// Null: nobody listens.
extern void (*PeerChangeHook)(char kind, int index, int key);
