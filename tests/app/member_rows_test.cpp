// The member list's words for each member, their order and heading, and the turn that faces one.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/member_rows.h"
#include "core/irc_case.h"

namespace {

RoomMember Member(const char* nick, char status, MemberReach reach, bool elsewhere = false, const char* in = "") {
  RoomMember m = {};
  std::snprintf(m.nick, sizeof m.nick, "%s", nick);
  std::snprintf(m.elsewhereIn, sizeof m.elsewhereIn, "%s", in);
  m.status = status, m.reach = reach, m.elsewhere = elsewhere, m.away = status == '%', m.id = nick[0];
  return m;
}

PlayerPose At(float x, float z, float heading = 0.0f) { return PlayerPose{heading, x, z, heading, 0, 0, 0}; }

TEST(MemberRows, EachSaysHowTheMemberIsHereAndHowFar) {
  const std::string longest(kRoomNickLength - 1, 'n');
  const struct { RoomMember member; PlayerPose at; std::string name, state; bool standing; } cases[] = {
      {Member("alice", '@', ReachDirect), At(4, 5), "@alice", "direct \xC2\xB7 5.0 m", true},
      {Member("bob", '+', ReachRelayed), At(1, -1.3f), "+bob", "through the server \xC2\xB7 2.3 m", true},
      {Member("carol", 0, ReachNone), At(9, 9), "carol", "chat only", false},
      {Member("dave", 0, ReachDirect, true, "#kitchen"), At(1, 2), "dave", "in #kitchen", false},
      {Member("erin", '@', ReachRelayed, true, ""), At(1, 2), "@erin", "elsewhere", false},
      {Member("fay", '%', ReachDirect), At(1, 1), "fay", "direct \xC2\xB7 0.0 m", true},  // away; no other marks
      {Member(longest.c_str(), '+', ReachNone), At(1, 1), "+" + longest, "chat only", false},
  };
  for (const auto& c : cases) {
    MemberRow row;
    MakeMemberRow(c.member, c.at, At(1, 1), &row);
    EXPECT_EQ(c.name + " | " + c.state, std::string(row.name) + " | " + row.state);
    EXPECT_TRUE(c.standing == row.standing && c.member.away == row.away && c.member.id == row.id) << c.member.nick;
    const NickRgb want = NickColour(c.member.nick);
    EXPECT_TRUE(want.r == row.colour.r && want.g == row.colour.g && want.b == row.colour.b) << c.member.nick;
  }
}

TEST(MemberRows, OperatorsThenVoicedThenTheRestByNameAsTheServerComparesThemAndTheTitle) {
  SetIrcCaseMapping(CaseRfc1459);
  std::vector<MemberRow> rows;
  for (const char* name : {"zed", "+Amy", "Bob", "@carl", "alice", "@Al", "{x}", "[w]", "+ben"}) {
    rows.push_back(MemberRow{});
    std::snprintf(rows.back().name, sizeof rows.back().name, "%s", name);
  }
  SortMemberRows(rows.data(), static_cast<int>(rows.size()));
  std::vector<std::string> order(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) order[i] = rows[i].name;
  // Without case; "[" is the capital of "{", which follows the letters.
  EXPECT_EQ((std::vector<std::string>{"@Al", "@carl", "+Amy", "+ben", "alice", "Bob", "zed", "[w]", "{x}"}), order);

  const struct { const char* channel; int others; std::size_t size; const char* title; } titles[] = {
      {"#room", 3, 64, "#room \xC2\xB7 3 others"}, {"#room", 1, 64, "#room \xC2\xB7 1 other"},
      {"#room", 0, 64, "#room \xC2\xB7 only you"}, {"", 2, 64, "Not in a channel"}, {"#a-long-one", 12, 6, "#a-lo"}};
  for (const auto& t : titles) {
    char title[64];
    FormatMemberListTitle(t.channel, t.others, title, t.size);
    EXPECT_STREQ(t.title, title);
  }
}

TEST(MemberRows, TheHeadingTowardAMemberFacesItWithTheShorterTurn) {
  const struct { PlayerPose from; float x, z, heading; } cases[] = {
      {At(0, 0, 0), 0, -2, 0},     {At(0, 0, 0), 2, 0, -90},   {At(0, 0, 0), -2, 0, 90},      {At(0, 0, 10), 0, 2, 180},
      {At(0, 0, -10), 0, 2, -180}, {At(0, 0, 350), 0, -2, 360}, {At(0, 0, -700), 2, 0, -810}, {At(1, 1, 0), 2, 0, -45},
  };
  for (const auto& c : cases) {
    float heading = 1234.0f;
    ASSERT_TRUE(HeadingToward(c.from, c.x, c.z, &heading)) << c.x << "," << c.z;
    EXPECT_NEAR(c.heading, heading, 1e-3) << "from heading " << c.from.heading << " to " << c.x << "," << c.z;
    // A step forward along it goes straight at the point (scene/movement.cpp's rule).
    const float r = heading * 0.0174532925f, dx = c.x - c.from.x, dz = c.z - c.from.z;
    EXPECT_NEAR(0.0, -std::sin(r) * dz + std::cos(r) * dx, 1e-4);
    EXPECT_GT(-std::sin(r) * dx - std::cos(r) * dz, 0.0f);
  }
  float heading = 5.0f;
  EXPECT_FALSE(HeadingToward(At(2, 3), 2, 3, &heading) || heading != 5.0f) << "no direction to where one stands";
}

}  // namespace
