// The room's view as the link thread publishes it: who stands here, and where the others stand.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "irc/room_publish.h"
#include "presence/peer_table.h"

namespace {

TEST(RoomPublish, AMemberStandingInAnotherSharedRoomIsElsewhereThereByName) {
  static PeerTable table;  // large: kept off the stack
  table.Clear();
  const int8_t here = table.rooms.Add("#room"), other = table.rooms.Add("#other-room");
  // A name longer than the view keeps is cut between characters: 61 bytes and one whole letter.
  const std::string longName = "#" + std::string(60, 'a') + "\xC3\xA9\xC3\xA9";
  const int8_t third = table.rooms.Add(longName.c_str());
  table.rooms.standing = here;
  const float pose[5] = {1.0f, -2.0f, 90.0f, 90.0f, 0.0f};
  const struct {  // standsIn: the room its position names; "": an older client names none
    const char* nick;
    std::string standsIn, shown;
    bool elsewhere;
  } cases[] = {
      {"alice", "#room", "", false}, {"bob", "#OTHER-room", "#other-room", true},  // the name as we know it
      {"carol", "#not-ours", "", true}, {"dave", "", "", false}, {"erin", longName, longName.substr(0, 63), true},
  };
  for (const auto& c : cases) {
    const int slot = table.AddPeer(c.nick, false, here);
    ASSERT_GT(slot, 0) << c.nick;
    table.AddPeer(c.nick, false, other);
    table.AddPeer(c.nick, false, third);
    const char* named = c.standsIn.empty() ? nullptr : c.standsIn.c_str();
    table.ApplyPosition(slot, pose, named, static_cast<int>(c.standsIn.size()));
  }
  PublishRoomView(table);
  static RoomView view;
  ASSERT_TRUE(CopyRoomView(&view));
  ASSERT_EQ(5, view.count);
  for (int i = 0; i < view.count; ++i) {
    const RoomMember& m = view.members[i];
    for (const auto& c : cases) {
      if (std::strcmp(m.nick, c.nick) != 0) continue;
      EXPECT_EQ(c.elsewhere, m.elsewhere) << c.nick;
      EXPECT_EQ(c.shown, std::string(m.elsewhereIn)) << c.nick;
    }
  }
}

}  // namespace
