// The arrival rule: a free place on a grid inside the walls, in an order drawn from the nickname.
#include "scene/arrival.h"

#include <cmath>
#include <cstdint>

#include "core/irc_case.h"

namespace {

constexpr int kMostPerSide = 32;  // a room of any size gives at most 32 x 32 places to try
constexpr float kFar = 1.0e30f;

// The places along one side: from gap inside one wall to gap inside the other, about a metre
// apart; the side's middle alone when the room is narrower than two gaps.
struct Side {
  float first, step;
  int count;
};

Side SideOf(float low, float high) {
  if (!(high >= low)) return Side{0.0f, 0.0f, 1};
  const float inner = (high - kArrivalWallGap) - (low + kArrivalWallGap);
  if (!(inner > 0.0f)) return Side{0.5f * (low + high), 0.0f, 1};
  int count = static_cast<int>(inner / kArrivalClearance) + 1;
  if (count > kMostPerSide) count = kMostPerSide;
  return Side{low + kArrivalWallGap, count > 1 ? inner / static_cast<float>(count - 1) : 0.0f, count};
}

uint32_t NickHash(const char* nick) {
  uint32_t h = 2166136261u;  // FNV-1a over the nickname as IRC compares it
  for (const char* p = nick ? nick : ""; *p; ++p) {
    h ^= static_cast<uint8_t>(IrcLowerCase(*p));
    h *= 16777619u;
  }
  return h;
}

int CommonDivisor(int a, int b) {
  while (b) {
    const int r = a % b;
    a = b;
    b = r;
  }
  return a;
}

}  // namespace

float NearestSpotDistance(float x, float z, const FloorSpot* spots, int count) {
  float nearest = kFar;
  for (int i = 0; i < count; ++i) {
    const float dx = spots[i].x - x, dz = spots[i].z - z;
    const float d = std::sqrt(dx * dx + dz * dz);
    if (d < nearest) nearest = d;
  }
  return nearest;
}

PlayerPose ArrivalPose(const WorldBoundsRecord& bounds, const char* nick, const FloorSpot* others, int count) {
  const Side across = SideOf(bounds.minX, bounds.maxX), along = SideOf(bounds.minZ, bounds.maxZ);
  const int places = across.count * along.count;
  const float middleX = 0.5f * (bounds.minX + bounds.maxX), middleZ = 0.5f * (bounds.minZ + bounds.maxZ);
  const FloorSpot middle = {middleX, middleZ};
  // Every place is visited once: a start and a step that shares no divisor with the count.
  const uint32_t hash = NickHash(nick);
  const int start = static_cast<int>(hash % static_cast<uint32_t>(places));
  int step = 1;
  if (places > 2) {
    step = 1 + static_cast<int>((hash / static_cast<uint32_t>(places)) % static_cast<uint32_t>(places - 1));
    while (CommonDivisor(step, places) != 1) step = step % (places - 1) + 1;
  }
  FloorSpot chosen = {middleX, middleZ};
  float roomiest = -1.0f;
  for (int k = 0, c = start; k < places; ++k, c = (c + step) % places) {
    const FloorSpot spot = {across.first + across.step * static_cast<float>(c % across.count),
                            along.first + along.step * static_cast<float>(c / across.count)};
    const float room = NearestSpotDistance(spot.x, spot.z, others, count < 0 ? 0 : count);
    if (room >= kArrivalClearance && NearestSpotDistance(spot.x, spot.z, &middle, 1) >= kArrivalMiddleGap) {
      chosen = spot;
      break;
    }
    if (room > roomiest) {  // the first of the roomiest, should every place be taken
      roomiest = room;
      chosen = spot;
    }
  }
  PlayerPose pose = {};
  pose.x = chosen.x;
  pose.z = chosen.z;
  // Heading 0 looks along -z; a place at the middle itself keeps it.
  const float dx = middleX - chosen.x, dz = middleZ - chosen.z;
  pose.heading = dx == 0.0f && dz == 0.0f ? 0.0f : std::atan2(-dx, -dz) * 57.29578f;
  pose.yaw = pose.heading;
  return pose;
}

bool GivesWay(const char* ownNick, const char* otherNick, ArrivalOrder order) {
  if (order == OtherCameFirst) return true;
  if (order == OtherCameLater) return false;
  return CompareIrcNames(ownNick ? ownNick : "", otherNick ? otherNick : "") > 0;
}
