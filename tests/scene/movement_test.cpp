// Movement: the motion rules, the key block, dead reckoning, the clamp and the position report.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <vector>

#include "core/app_state.h"
#include "scene/movement.h"
#include "scene/particles.h"
#include "scene/room_avatars.h"
#include "scene/scene.h"
#include "scene/world.h"

namespace {

std::set<int> heldKeys;
bool FakeKeyHeld(int moveKey) { return heldKeys.count(moveKey) > 0; }

class MovementTest : public testing::Test {
 protected:
  void SetUp() override {
    heldKeys.clear();
    Local.keyHeld = FakeKeyHeld;
    std::memset(&Local.pose, 0, sizeof Local.pose);
    AppState.isActive = true;
    AppState.viewHasFocus = true;
    AppState.positionDirty = false;
    AppState.frameScale = 1.0f;
    WorldBounds = WorldBoundsRecord{-5, 0, -6, 5, 1.6f, 6};
    std::memset(Local.keys, 0, sizeof Local.keys);
    ClearRoomAvatars();
  }
  void TearDown() override {
    Local.keyHeld = nullptr;
    ClearRoomAvatars();
  }
  // A room of members standing at the origin, each with its held keys; reach says who has an avatar.
  static void Room(std::vector<std::pair<MemberReach, std::set<int>>> members) {
    static RoomView view;
    std::memset(&view, 0, sizeof view);
    view.serial = RoomAvatars.serial + 1;
    for (const auto& [reach, keys] : members) {
      RoomMember& m = view.members[view.count];
      m.id = ++view.count;
      std::snprintf(m.nick, sizeof m.nick, "m%d", m.id);
      m.reach = reach;
      for (int k : keys) m.keys[k] = 1;
    }
    TakeRoomView(view);
  }
  static PlayerPose& Avatar(int i) { return RoomAvatars.avatars[i].pose; }
  void Turn(std::set<int> keys, int times = 1) {
    heldKeys = keys;
    for (int i = 0; i < times; ++i) UpdateMovement();
  }
};

const float kRad = 0.0174532924f;

TEST_F(MovementTest, TwentyFiveMillisecondStepWalksAnEighthWithOneBobStep) {
  AppState.frameScale = 2.5f;
  Turn({KeyForward});
  EXPECT_NEAR(Local.pose.z, -0.125f, 1e-6);
  EXPECT_NEAR(Local.pose.x, 0.0f, 1e-6);
  EXPECT_FLOAT_EQ(Local.pose.bobAngle, 15.0f) << "the bob moves a whole step, not scaled by frameScale";
  EXPECT_FLOAT_EQ(Local.pose.bob, std::sin(15.0f * kRad) / 30.0f);
  EXPECT_TRUE(AppState.positionDirty);
  EXPECT_EQ(Local.keys[KeyForward], 1) << "the held key is told to the peers";
}

TEST_F(MovementTest, BobWrapsForwardAfterReaching359AndBackwardAtOneOrLess) {
  std::vector<float> forward;
  for (int i = 0; i < 26; ++i) {
    BobForward(&Local.pose);
    forward.push_back(Local.pose.bobAngle);
  }
  EXPECT_FLOAT_EQ(forward[22], 345);
  EXPECT_FLOAT_EQ(forward[23], 360);
  EXPECT_FLOAT_EQ(forward[24], 0);
  EXPECT_FLOAT_EQ(forward[25], 15);

  Local.pose.bobAngle = 0;
  std::vector<float> back;
  for (int i = 0; i < 28; ++i) {
    BobBackward(&Local.pose);
    back.push_back(Local.pose.bobAngle);
  }
  EXPECT_FLOAT_EQ(back[0], 359);
  EXPECT_FLOAT_EQ(back[1], 344);
  EXPECT_FLOAT_EQ(back[23], 14);
  EXPECT_FLOAT_EQ(back[24], -1);
  EXPECT_FLOAT_EQ(back[25], 359);
  EXPECT_FLOAT_EQ(Local.pose.bob, std::sin(back.back() * kRad) / 30.0f);
}

TEST_F(MovementTest, OpposingKeysCancelAndAnglesAreNeverWrapped) {
  Local.pose.heading = Local.pose.yaw = 30;
  Turn({KeyTurnLeft, KeyTurnRight});
  EXPECT_FLOAT_EQ(Local.pose.heading, 30);
  Turn({KeyForward, KeyBack});
  EXPECT_NEAR(Local.pose.x, 0, 1e-6);
  EXPECT_NEAR(Local.pose.z, 0, 1e-6);
  EXPECT_FLOAT_EQ(Local.pose.bobAngle, 0) << "a bob step forward, then one back";

  std::memset(&Local.pose, 0, sizeof Local.pose);
  AppState.frameScale = 10.0f;
  Turn({KeyTurnLeft}, 48);  // the ramp's half second (67.5 degrees), then 2.1 * 10 * 43 = 903
  EXPECT_NEAR(Local.pose.heading, 970.5f, 1e-2);
  EXPECT_FLOAT_EQ(Local.pose.yaw, Local.pose.heading);
  Turn({KeyLookDown}, 7);   // 1.5 * 10 * 7 = 105: past straight down
  EXPECT_NEAR(Local.pose.pitch, 105.0f, 1e-3);
}

TEST_F(MovementTest, StrafesAndTurnsFollowTheHeading) {
  Turn({KeyStrafeLeft});
  EXPECT_NEAR(Local.pose.x, -0.05f, 1e-6) << "facing -z, left is -x";
  EXPECT_FLOAT_EQ(Local.pose.bobAngle, 15);
  Turn({KeyStrafeRight}, 2);
  EXPECT_NEAR(Local.pose.x, 0.05f, 1e-6);
  EXPECT_FLOAT_EQ(Local.pose.bobAngle, 45) << "both strafes bob forward";

  std::memset(&Local.pose, 0, sizeof Local.pose);
  Turn({KeyTurnRight});
  EXPECT_FLOAT_EQ(Local.pose.heading, -0.615f) << "a turn key starts slow";
  Local.pose.heading = -90;
  Turn({KeyBack});
  EXPECT_NEAR(Local.pose.x, -0.05f, 1e-6) << "heading -90 faces +x; backward goes to -x";
  EXPECT_FLOAT_EQ(Local.pose.bobAngle, 359);
}

// The turning ramp: slow as the key goes down, 2.1 degrees per 10 ms after half a second, and
// the same turn after the same hold whether the passes are short or long.
TEST_F(MovementTest, TurnKeysSpeedUpAlikeAtEveryFrameRate) {
  EXPECT_LT(TurnDegrees(0, 1), 2.1f / 3) << "the first 10 ms";
  EXPECT_FLOAT_EQ(TurnDegrees(kTurnRampUnits, 1), 2.1f);
  for (float step : {0.5f, 1.0f, 2.5f, 7.5f, 30.0f}) {
    std::memset(&Local.pose, 0, sizeof Local.pose);
    AppState.frameScale = step;
    Turn({KeyTurnRight}, static_cast<int>(150 / step));  // a second and a half
    EXPECT_NEAR(Local.pose.heading, -(67.5f + 2.1f * 100), 0.01f) << "passes of " << step * 10 << " ms";
    Turn({});
    Turn({KeyTurnRight});
    EXPECT_NEAR(Local.pose.heading, -(277.5f + TurnDegrees(0, step)), 0.01f) << "a new press starts slow again";
    Turn({});
  }
}

TEST_F(MovementTest, LookKeysReportButLeaveThePositionClean) {
  Turn({KeyLookUp});
  EXPECT_FLOAT_EQ(Local.pose.pitch, -1.5f);
  EXPECT_FALSE(AppState.positionDirty);
  EXPECT_EQ(Local.keys[KeyLookUp], 1);
  Turn({});
  EXPECT_EQ(Local.keys[KeyLookUp], 0) << "the release is reported too";
  EXPECT_FALSE(AppState.positionDirty);
}

TEST_F(MovementTest, TheKeysActOnlyAfterTheFirstClickAndWhileActive) {
  AppState.viewHasFocus = false;
  Turn({KeyForward, KeyTurnLeft, KeyLookDown});
  EXPECT_FLOAT_EQ(Local.pose.z, 0);
  EXPECT_FLOAT_EQ(Local.pose.heading, 0);
  EXPECT_FLOAT_EQ(Local.pose.pitch, 0);
  EXPECT_FALSE(AppState.positionDirty);
  EXPECT_EQ(Local.keys[KeyForward], 0) << "without the click no key is reported";

  AppState.viewHasFocus = true;
  AppState.isActive = false;
  Room({{ReachDirect, {KeyForward}}});
  Turn({KeyForward});
  EXPECT_FLOAT_EQ(Local.pose.z, 0);
  EXPECT_EQ(Local.keys[KeyForward], 0) << "an inactive window reports no key";
  EXPECT_LT(Avatar(0).z, 0) << "the peers walk on behind other windows";
}

TEST_F(MovementTest, TypingStopsTheWalkAndReportsTheHeldKeysLetGo) {
  Turn({KeyForward, KeyTurnLeft});
  ASSERT_EQ(Local.keys[KeyForward], 1);
  PlayerPose before = Local.pose;
  AppState.viewHasFocus = false;  // the input line took the keyboard; the keys are still down
  Turn({KeyForward, KeyTurnLeft}, 3);
  EXPECT_FLOAT_EQ(Local.pose.z, before.z) << "a key held while typing walked";
  EXPECT_FLOAT_EQ(Local.pose.heading, before.heading);
  EXPECT_EQ(Local.keys[KeyForward], 0) << "the peers were not told the key is let go";
  EXPECT_EQ(Local.keys[KeyTurnLeft], 0);
}

TEST_F(MovementTest, PeersWalkByTheirReportedKeysAtTheLocalRate) {
  AppState.viewHasFocus = false;  // dead reckoning does not need the click
  AppState.frameScale = 2.0f;
  Room({{ReachDirect, {KeyForward}},
        {ReachRelayed, {KeyTurnLeft, KeyStrafeRight}},
        {ReachNone, {KeyForward}},  // no avatar
        {ReachDirect, {0, 9}}});
  Turn({}, 3);
  EXPECT_NEAR(Avatar(0).z, -0.3f, 1e-6);
  EXPECT_FLOAT_EQ(Avatar(0).bobAngle, 45);
  EXPECT_NEAR(Avatar(1).heading, 4.14f, 1e-5) << "reckoned with the local turning ramp";
  EXPECT_NE(Avatar(1).x, 0.0f);
  EXPECT_FLOAT_EQ(Avatar(2).z, 0);
  EXPECT_FLOAT_EQ(Avatar(3).x, 0);
  EXPECT_FLOAT_EQ(Avatar(3).z, 0) << "flags 0 and 9 move nobody";
  EXPECT_FLOAT_EQ(Local.pose.z, 0);

  // A newer view without a new pose keeps where the avatar has walked; a new pose replaces it.
  static RoomView view;
  view = RoomView{};
  view.serial = RoomAvatars.serial + 1;
  view.count = 1;
  view.members[0] = RoomAvatars.avatars[0].member;
  TakeRoomView(view);
  EXPECT_NEAR(Avatar(0).z, -0.3f, 1e-6) << "the walk was lost with a view that brought no new pose";
  view.serial++;
  view.members[0].poseSerial++;
  view.members[0].pose.z = 2.0f;
  TakeRoomView(view);
  EXPECT_FLOAT_EQ(Avatar(0).z, 2.0f) << "a reported pose wins over the walk";
  view.serial++;
  std::snprintf(view.members[0].nick, sizeof view.members[0].nick, "newcomer");
  view.members[0].pose.z = -1.0f;
  TakeRoomView(view);
  EXPECT_FLOAT_EQ(Avatar(0).z, -1.0f) << "a slot another member took starts afresh";
}

TEST_F(MovementTest, ClampKeepsEveryoneAQuarterInsideTheBox) {
  Local.pose.x = -9;
  Local.pose.z = 9;
  Room({{ReachDirect, {}}, {ReachNone, {}}});
  Avatar(0).x = 4.9f;
  Avatar(0).z = -7;
  Avatar(0).pitch = 33;
  Avatar(1).x = 100;  // no avatar: left alone
  ClampToWorld();
  EXPECT_FLOAT_EQ(Local.pose.x, -4.75f);
  EXPECT_FLOAT_EQ(Local.pose.z, 5.75f);
  EXPECT_FLOAT_EQ(Avatar(0).x, 4.75f);
  EXPECT_FLOAT_EQ(Avatar(0).z, -5.75f);
  EXPECT_FLOAT_EQ(Avatar(0).pitch, 33);
  EXPECT_FLOAT_EQ(Avatar(1).x, 100);

  // A room 0.4 wide: the upper limit wins for everybody.
  WorldBounds.minX = -0.2f;
  WorldBounds.maxX = 0.2f;
  Local.pose.x = -0.2f;
  Avatar(0).x = 0.1f;
  ClampToWorld();
  EXPECT_FLOAT_EQ(Local.pose.x, -0.05f);
  EXPECT_FLOAT_EQ(Avatar(0).x, -0.05f);

  WorldBounds = WorldBoundsRecord{};  // no room: pinned at -0.25
  ClampToWorld();
  EXPECT_FLOAT_EQ(Local.pose.x, -0.25f);
  EXPECT_FLOAT_EQ(Local.pose.z, -0.25f);
}

TEST_F(MovementTest, PositionReportsGoOutOnlyWhenDirtyAndStrictlyAfterTheInterval) {
  EXPECT_FALSE(PositionReportDue(100, 0, 10, true)) << "exactly the interval is not enough";
  EXPECT_TRUE(PositionReportDue(101, 0, 10, true));
  EXPECT_FALSE(PositionReportDue(5000, 0, 10, false)) << "nothing moved";
  EXPECT_FALSE(PositionReportDue(4000000000u, 0, 0, true)) << "no PACKETS line: never";
  EXPECT_FALSE(PositionReportDue(4000000000u, 0, -5, true)) << "a negative rate: never";
  EXPECT_TRUE(PositionReportDue(0x10, 0xFFFFFF00u, 5, true)) << "272 ms across the tick wrap";
  EXPECT_FALSE(PositionReportDue(0x10, 0xFFFFFFF0u, 5, true)) << "32 ms across the tick wrap";
}

}  // namespace

TEST_F(MovementTest, TheSceneAnimatesWhileSomebodyWalksOrSparksBurn) {
  EXPECT_FALSE(SceneAnimating()) << "nobody walks, nothing burns";
  heldKeys = {KeyLookUp};
  EXPECT_TRUE(SceneAnimating()) << "the local user looks up";
  AppState.isActive = false;
  EXPECT_FALSE(SceneAnimating()) << "keys held for another window";
  Room({{ReachNone, {KeyTurnLeft}}});
  EXPECT_FALSE(SceneAnimating()) << "a member without an avatar";
  Room({{ReachDirect, {KeyTurnLeft}}});
  EXPECT_TRUE(SceneAnimating()) << "a peer reckoned on by a held key, behind other windows too";
  ClearRoomAvatars();
  AllocateParticles();
  SpawnParticle(0, 1, 0, 0, 0, 0, 3);
  EXPECT_TRUE(SceneAnimating()) << "a burning spark";
  ParticlePool.liveList->life = 0;
  EXPECT_FALSE(SceneAnimating()) << "a spark burnt out";
  FreeParticles();
}
