// The remote users of the channel: slots, lookups, and the presence datagrams.
#pragma once
#include <cstdint>
#include <mutex>
#include "presence/host_lookup.h"
#include "presence/peer_links.h"
#include "presence/socket_address.h"
#include "core/player_pose.h"

constexpr int kPeerSlots = 200;     // indices 1..199 are used
constexpr int kNickLength = 2048;

struct PeerSlot {
  SocketAddress address;
  uint8_t active;
  uint8_t known;
  char nick[kNickLength];
  float reportedPose[5];            // x, z, yaw, heading, pitch as received
  uint32_t poseSerial;              // grows with each reported pose
  uint8_t keys[kKeyFlagCount];
  PlayerPose pose;
};

class DatagramLink;

class PeerTable {
 public:
  PeerSlot slots[kPeerSlots];
  PeerSlot self;                    // own nick and own key states

  // How each slot's peer is reached (presence/peer_links.cpp), and what goes to every peer.
  PeerLink links[kPeerSlots];
  ReflectEntry reflected[kReflectEntries];
  uint32_t reflectAdmitted[kReflectNewPerMinute];  // when the latest new addresses were admitted
  int reflectNext;
  KeyRepeat keyRepeat;
  char lastPosition[21];            // the last position datagram sent, for a peer just bound
  uint8_t havePosition;
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
  void RemovePeer(const char* nick);
  void Clear();

  // Enters a member; askHost: its host is asked for (requestHost), else the caller has it.
  int AddPeer(const char* nick, bool askHost = true);
  int SetPeerHost(int index, const char* host);
  // The same with the address already resolved: the peer may be reached there too (its
  // earlier addresses stay). namedByPeer: the address came from the peer's own ":Q"/":A"
  // line, so it counts against the bound on new addresses a minute (0 when over it).
  int AddPeerAddress(int index, const NetAddress& address, bool namedByPeer = false);
  // Each address of a host that may have several (IPv6 and IPv4): 1 when any was taken.
  int AddPeerAddresses(int index, const HostAddresses& found, bool namedByPeer = false);
  int SendKeyState(int index, int held);
  int SendPosition(float x, float z, float yaw, float heading, float pitch);
  int ReceiveDatagram();
  // A peer's position (x, z, yaw, heading, pitch) and key block, from a datagram or relayed
  // through the server: sane positions only. The lock held by the caller.
  void ApplyPosition(int index, const float reported[5]);
  void ApplyKeyBlock(int index, const uint8_t* keys, int count);

  // A hello "c" or hello reply "C" from source: binds, rebinds or answers. The result is
  // ReceiveDatagram's.
  int ApplyHello(const char* data, const SocketAddress& source);
  // A datagram of the exchange came from the slot's bound address and port.
  void NoteHeard(int index);
  // Main thread, every pass while in a channel: hellos that are due, keep-alives, key blocks.
  void ServiceLinks(uint32_t nowMs);
  // 1 and the nickname (kNickLength bytes) of a member that has had no direct link for
  // kNoLinkReportMs since it entered, once per member (call again for the next); else 0.
  int NextNoLinkReport(uint32_t nowMs, char* nick);
  // Book-keeping of the other operations (the lock held by the caller).
  void NoteSent(int index, uint32_t nowMs);
  void NoteKeyChange(int held, uint32_t nowMs);
  void ResetLink(int index, uint32_t nowMs);
  // 1 when the slot is active and its peer has shown that it hears us, or its moves come
  // through the server: the avatar is drawn.
  int IsLinked(int index);

  // Held around any direct reading or writing of slots by other modules
  // (movement, drawing); every operation above takes it itself. Recursive.
  void Lock();
  void Unlock();
};

// The one lock of the client's shared state: the slots and self record, the datagram link's
// current peer address with every send and poll, and the output line buffer with every
// format-and-send of an IRC line. Recursive; PeerTable::Lock takes this one.
std::recursive_mutex& ClientLock();

// Called, with ClientLock held, after a datagram changed a slot: kind 'a' the slot became
// active or moved to another port (hello or hello reply), 'd' a position, 'i' a key (key: its
// index), 'k' a key block, 'r' its moves began to come through the IRC server.
// Null: nobody listens.
extern void (*PeerChangeHook)(char kind, int index, int key);
