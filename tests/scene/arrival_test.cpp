// The arrival rule: a free place away from the walls and others, facing the middle, and who gives way.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "scene/arrival.h"

namespace {

const WorldBoundsRecord kRoom = {-6, 0, -6, 6, 1.6f, 6};  // the shipped room's floor

float Nearest(const PlayerPose& p, const std::vector<FloorSpot>& others) {
  return NearestSpotDistance(p.x, p.z, others.data(), static_cast<int>(others.size()));
}

// Facing the middle: heading 0 looks along -z, 90 along -x; level.
void ExpectFacesMiddle(const PlayerPose& p, const WorldBoundsRecord& b, const std::string& what) {
  const float toward = std::atan2(p.x - 0.5f * (b.minX + b.maxX), p.z - 0.5f * (b.minZ + b.maxZ)) * 57.29578f;
  EXPECT_NEAR(toward, p.heading, 1e-3) << what;
  EXPECT_TRUE(p.yaw == p.heading && p.pitch == 0) << what;
}

TEST(Arrival, AFreePlaceAwayFromWallsAndMembersFacingTheMiddle) {
  struct Case {
    const char* what;
    WorldBoundsRecord room;
    std::vector<FloorSpot> others;
    float leastRoom;  // nearest member at least this far
  };
  std::vector<FloorSpot> crowd;  // every place of the grid but (3, -2)
  for (int i = 0; i < 121; ++i)
    if (i != 8 * 11 + 3) crowd.push_back({static_cast<float>(i / 11 - 5), static_cast<float>(i % 11 - 5)});
  const Case cases[] = {
      {"empty room", kRoom, {}, 100},
      {"members near the middle", kRoom, {{0.5f, 0.5f}, {-1, 0}, {2, 2}}, 1},
      {"the one free place", kRoom, crowd, 1},
      {"a narrow room", {-0.8f, 0, -5, 0.8f, 2, 5}, {{0, 3}, {0, -3}}, 1},
  };
  for (const Case& c : cases) {
    const int count = static_cast<int>(c.others.size());
    const PlayerPose p = ArrivalPose(c.room, "alice", c.others.data(), count);
    EXPECT_GE(Nearest(p, c.others), c.leastRoom) << c.what;
    const float gapX = std::fmin(1.0f, 0.5f * (c.room.maxX - c.room.minX));
    EXPECT_GE(p.x, c.room.minX + gapX - 1e-4) << c.what;
    EXPECT_LE(p.x, c.room.maxX - gapX + 1e-4) << c.what;
    EXPECT_GE(p.z, c.room.minZ + 1 - 1e-4) << c.what;
    EXPECT_LE(p.z, c.room.maxZ - 1 - 1e-4) << c.what;
    if (c.room.maxX - c.room.minX > 2) {
      ExpectFacesMiddle(p, c.room, c.what);
      EXPECT_GE(std::hypot(p.x, p.z), kArrivalMiddleGap) << c.what << ": in the channel's name";
    }
    const PlayerPose again = ArrivalPose(c.room, "ALICE", c.others.data(), count);
    EXPECT_TRUE(again.x == p.x && again.z == p.z) << c.what << ": the nickname in another case went elsewhere";
  }
  const PlayerPose last = ArrivalPose(kRoom, "alice", crowd.data(), static_cast<int>(crowd.size()));
  EXPECT_FLOAT_EQ(last.x, 3);
  EXPECT_FLOAT_EQ(last.z, -2);
}

TEST(Arrival, AFullOrTinyRoomStillGivesAPlaceInside) {
  std::vector<FloorSpot> everywhere;
  for (int i = 0; i < 121; ++i) everywhere.push_back({static_cast<float>(i % 11 - 5), static_cast<float>(i / 11 - 5)});
  const PlayerPose full = ArrivalPose(kRoom, "bob", everywhere.data(), 121);
  EXPECT_TRUE(std::fabs(full.x) <= 5 && std::fabs(full.z) <= 5) << full.x << ", " << full.z;
  const FloorSpot there = {0.2f, 1.6f};
  const PlayerPose tiny = ArrivalPose({-0.5f, 0, 1, 0.9f, 1, 2.2f}, "bob", &there, 1);
  EXPECT_TRUE(std::hypot(tiny.x - 0.2f, tiny.z - 1.6f) < 1e-5f && tiny.heading == 0) << "the middle, its only place";
}

// Two members arriving at once, neither seeing the other: they rarely choose the same place,
// and one seeing the other never stands within the clearance.
TEST(Arrival, TwoArrivalsRarelyMeetAndNeverWhenOneSeesTheOther) {
  int together = 0, pairs = 0;
  for (int a = 0; a < 40; ++a) {
    const std::string first = "user" + std::to_string(a);
    const PlayerPose p = ArrivalPose(kRoom, first.c_str(), nullptr, 0);
    const FloorSpot spot = {p.x, p.z};
    for (int b = a + 1; b < 40; ++b) {
      const std::string second = "user" + std::to_string(b);
      const PlayerPose blind = ArrivalPose(kRoom, second.c_str(), nullptr, 0);
      together += std::hypot(blind.x - p.x, blind.z - p.z) < kArrivalClearance;
      ++pairs;
      const PlayerPose seeing = ArrivalPose(kRoom, second.c_str(), &spot, 1);
      EXPECT_GE(std::hypot(seeing.x - p.x, seeing.z - p.z), kArrivalClearance) << first << ", " << second;
    }
  }
  EXPECT_LT(together * 10, pairs) << together << " of " << pairs << " pairs met";
}

TEST(Arrival, TheLaterArrivalGivesWayAndTheNicknamesDecideWhenNobodyKnows) {
  EXPECT_TRUE(GivesWay("alice", "bob", OtherCameFirst));
  EXPECT_FALSE(GivesWay("bob", "alice", OtherCameLater));
  const char* pairs[][2] = {{"alice", "bob"}, {"Zed", "adam"}, {"x[1]", "X{2}"}, {"ab", "abc"}};
  for (const auto& pair : pairs)
    EXPECT_NE(GivesWay(pair[0], pair[1], OrderUnknown), GivesWay(pair[1], pair[0], OrderUnknown))
        << pair[0] << " and " << pair[1] << ": exactly one moves";
  EXPECT_TRUE(GivesWay("bob", "alice", OrderUnknown)) << "the later name gives way";
  EXPECT_TRUE(GivesWay("Zed", "adam", OrderUnknown)) << "IRC's case rule, not the bytes";
}

}  // namespace
