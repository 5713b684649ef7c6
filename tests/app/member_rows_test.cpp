// The member list's words for each member, their order and heading, and the turn that faces one.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "app/member_rows.h"
#include "core/irc_case.h"

namespace {

RoomMember Member(const char* nick, char status, MemberReach reach, bool elsewhere = false, const char* in = "") {
  RoomMember m;
  std::memset(&m, 0, sizeof m);
  std::snprintf(m.nick, sizeof m.nick, "%s", nick);
  m.status = status;
  m.reach = reach;
  m.elsewhere = elsewhere;
  std::snprintf(m.elsewhereIn, sizeof m.elsewhereIn, "%s", in);
  return m;
}

PlayerPose At(float x, float z, float heading = 0.0f) {
  PlayerPose p = {};
  p.x = x, p.z = z, p.heading = p.yaw = heading;
  return p;
}

TEST(MemberRows, EachSaysHowTheMemberIsHereAndHowFar) {
  const PlayerPose user = At(1.0f, 1.0f);
  const struct {
    RoomMember member;
    PlayerPose at;
    const char* name;
    const char* state;
    bool standing;
  } cases[] = {
      {Member("alice", '@', ReachDirect), At(4.0f, 5.0f), "@alice", "direct \xC2\xB7 5.0 m", true},
      {Member("bob", '+', ReachRelayed), At(1.0f, -1.3f), "+bob", "through the server \xC2\xB7 2.3 m", true},
      {Member("carol", 0, ReachNone), At(9.0f, 9.0f), "carol", "chat only", false},
      {Member("dave", 0, ReachDirect, true, "#kitchen"), At(1.0f, 2.0f), "dave", "in #kitchen", false},
      {Member("erin", '@', ReachRelayed, true, ""), At(1.0f, 2.0f), "@erin", "elsewhere", false},
      {Member("fay", '%', ReachDirect), At(1.0f, 1.0f), "fay", "direct \xC2\xB7 0.0 m", true},  // no other marks
  };
  for (const auto& c : cases) {
    MemberRow row;
    MakeMemberRow(c.member, c.at, user, &row);
    EXPECT_STREQ(c.name, row.name) << c.member.nick;
    EXPECT_STREQ(c.state, row.state) << c.member.nick;
    EXPECT_EQ(c.standing, row.standing) << c.member.nick;
    const NickRgb want = NickColour(c.member.nick), got = row.colour;
    EXPECT_TRUE(want.r == got.r && want.g == got.g && want.b == got.b) << c.member.nick << ": the tag's colour";
  }
  RoomMember away = Member(std::string(kRoomNickLength - 1, 'n').c_str(), '@', ReachDirect);
  away.away = true;
  away.id = 42;
  MemberRow row;
  MakeMemberRow(away, At(0.0f, 0.0f), user, &row);
  EXPECT_TRUE(row.away);
  EXPECT_EQ(42, row.id);
  EXPECT_EQ(std::string("@") + away.nick, row.name) << "the longest nickname whole after its mark";
}

TEST(MemberRows, OperatorsThenVoicedThenTheRestByNameAsTheServerComparesThem) {
  SetIrcCaseMapping(CaseRfc1459);
  const char* given[] = {"zed", "+Amy", "Bob", "@carl", "alice", "@Al", "{x}", "[w]", "+ben"};
  std::vector<MemberRow> rows;
  for (const char* name : given) {
    MemberRow row = {};
    std::snprintf(row.name, sizeof row.name, "%s", name);
    rows.push_back(row);
  }
  SortMemberRows(rows.data(), static_cast<int>(rows.size()));
  std::vector<std::string> order;
  for (const MemberRow& row : rows) order.push_back(row.name);
  // Without case; and "[" is the capital of "{", which follows the letters.
  EXPECT_EQ((std::vector<std::string>{"@Al", "@carl", "+Amy", "+ben", "alice", "Bob", "zed", "[w]", "{x}"}), order);
}

TEST(MemberRows, TheTitleNamesTheChannelAndCountsTheOthers) {
  const struct {
    const char* channel;
    int others;
    const char* title;
  } cases[] = {{"#room", 3, "#room \xC2\xB7 3 others"}, {"#room", 1, "#room \xC2\xB7 1 other"},
               {"#room", 0, "#room \xC2\xB7 only you"}, {"", 2, "Not in a channel"}};
  for (const auto& c : cases) {
    char title[64];
    FormatMemberListTitle(c.channel, c.others, title, sizeof title);
    EXPECT_STREQ(c.title, title);
  }
  char small[6];
  FormatMemberListTitle("#a-long-channel", 12, small, sizeof small);
  EXPECT_STREQ("#a-lo", small) << "cut to the buffer";
}

TEST(MemberRows, TheHeadingTowardAMemberFacesItWithTheShorterTurn) {
  const struct {
    PlayerPose from;
    float x, z, heading;
  } cases[] = {
      {At(0, 0, 0), 0, -2, 0},      {At(0, 0, 0), 2, 0, -90},    {At(0, 0, 0), -2, 0, 90},
      {At(0, 0, 10), 0, 2, 180},    {At(0, 0, -10), 0, 2, -180}, {At(0, 0, 350), 0, -2, 360},
      {At(0, 0, -700), 2, 0, -810}, {At(1, 1, 0), 2, 0, -45},
  };
  for (const auto& c : cases) {
    float heading = 1234.0f;
    ASSERT_TRUE(HeadingToward(c.from, c.x, c.z, &heading)) << c.x << "," << c.z;
    EXPECT_NEAR(c.heading, heading, 1e-3) << "from heading " << c.from.heading << " to " << c.x << "," << c.z;
    EXPECT_LE(std::fabs(heading - c.from.heading), 180.0f + 1e-3f) << "never the long way round";
    // A step forward along it goes straight at the point (scene/movement.cpp's rule).
    const float r = heading * 0.0174532925f, dx = c.x - c.from.x, dz = c.z - c.from.z;
    EXPECT_NEAR(0.0, -std::sin(r) * dz + std::cos(r) * dx, 1e-4);
    EXPECT_GT(-std::sin(r) * dx - std::cos(r) * dz, 0.0f);
  }
  float heading = 5.0f;
  EXPECT_FALSE(HeadingToward(At(2, 3, 0), 2, 3, &heading)) << "no direction to where one stands";
  EXPECT_EQ(5.0f, heading);
}

}  // namespace
