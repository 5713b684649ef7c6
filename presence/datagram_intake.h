// Taking every waiting datagram in one go, with the limits that keep a flood from crowding out
// the channel's members: a bound per call, a rate limit per source and per proven member,
// sane positions only.
#pragma once
#include <cstdint>

#include "presence/socket_address.h"

class PeerTable;
struct SealPair;

constexpr int kDatagramsPerCall = 512;        // at most this many datagrams per call ...
constexpr int kIntakeMicroseconds = 2000;     // ... and at most this long
constexpr int kSourceDatagramsPerSecond = 400;  // a source sending more is ...
constexpr uint32_t kSourceQuietMs = 10000;      // ... ignored this long

// Applies the datagrams waiting on the table's link (PeerTable::ReceiveDatagram for each),
// within the bounds above; the rest wait for the next call. Returns how many were taken.
int TakeWaitingDatagrams(PeerTable& table);

// The check at the front of PeerTable::ReceiveDatagram, for a datagram just taken from
// `source`: false when the source is being ignored for sending too many. nowMs: tick count.
bool AdmitSource(const SocketAddress& source, uint32_t nowMs);
// A position datagram's x, z, yaw, heading and pitch: all finite, the angles within
// kLargestAngle either way, and the place within the accepted area.
bool IsSanePosition(const float pose[5]);
// A user who keeps turning sends ever larger headings (210 degrees a second while the key is
// held): this is 13 hours of turning one way. About here a float stops holding whole degrees.
constexpr float kLargestAngle = 1e7f;

// Positions outside this area are dropped, whether they came in a datagram or through the
// server. The window sets it from the room's box with a unit of margin; without a room (the
// headless peer) it reaches 10,000 units every way.
struct AcceptedArea {
  float minX, maxX, minZ, maxZ;
};
constexpr AcceptedArea kWidestPositionArea = {-10000.0f, 10000.0f, -10000.0f, 10000.0f};
extern AcceptedArea PositionArea;  // the link thread's
void SetPositionAreaAround(float minX, float maxX, float minZ, float maxZ);

// Forgets every source's and member's count (a new connection starts afresh).
void ResetDatagramIntake();

// Sealed datagrams (presence/sealed_datagram.h) prove their member. One that does not open
// (a forgery, a repeat) is dropped before it counts against anyone; one that opens counts
// against its member, wherever it came from, so a flood from a member's address cannot
// silence the member. Whatever proves no member counts by its address, apart from the plain
// datagrams that AdmitSource counts. Only the link thread calls these (through the peer table).
constexpr int kIntakeMembers = 200;  // member indices 1..199, as the peer table numbers its slots

// False when the member has sent more than kSourceDatagramsPerSecond and is being ignored for
// kSourceQuietMs, or memberIndex is outside 1..kIntakeMembers-1.
bool AdmitMember(int memberIndex, uint32_t nowMs);
// The same by address, for datagrams that prove no member: sealed ones no agreed pair names,
// and plain ones from an address no member is bound to.
bool AdmitUnknown(const SocketAddress& source, uint32_t nowMs);
// A member index given to another member starts with a clean count.
void ForgetMemberIntake(int memberIndex);

// TakeSealedDatagram's results besides the inner length and SealOpenResult's.
enum SealedIntakeResult {
  SealedOverRate = -4,    // it opened, but its member is over its rate (its counter is taken)
  SealedFromNobody = -5,  // no agreed pair names it (pair null, or another pair's id)
};
// A sealed datagram from source, and the pair (and member index) that its header names
// (FindSealingPair), or null when none does. Opens it, then counts it against its member;
// a datagram no pair names, or too malformed to name one, counts against source by
// AdmitUnknown. The inner datagram's length with the inner datagram in inner (apply it as the
// member's, whatever address it came from), or a SealOpenResult or SealedIntakeResult.
int TakeSealedDatagram(SealPair* pair, int memberIndex, const char* data, int length,
                       const SocketAddress& source, uint32_t nowMs, char* inner, int innerCapacity);
