// Taking every waiting datagram in one go, with the limits that keep a flood from crowding out
// the channel's members: a bound per call, a rate limit per source, sane positions only.
#pragma once
#include <cstdint>

#include "presence/socket_address.h"

class PeerTable;

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
// A position datagram's x, z, yaw, heading and pitch: all finite, and the place within the
// accepted area. Angles have no range of their own: a user who keeps turning sends ever larger
// headings.
bool IsSanePosition(const float pose[5]);

// Positions outside this area are dropped. The scene sets it from the room's box with a wide
// margin once the room is loaded; until then it reaches 10,000 units every way.
struct AcceptedArea {
  float minX, maxX, minZ, maxZ;
};
constexpr AcceptedArea kWidestPositionArea = {-10000.0f, 10000.0f, -10000.0f, 10000.0f};
extern AcceptedArea PositionArea;  // the link thread's
void SetPositionAreaAround(float minX, float maxX, float minZ, float maxZ);

// Forgets every source's count (a new connection starts afresh).
void ResetDatagramIntake();
