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
  table.rooms.standing = here;
  const float pose[5] = {1.0f, -2.0f, 90.0f, 90.0f, 0.0f};
  const struct {
    const char* nick;
    const char* standsIn;  // the room its position names; null: an older client names none
    bool elsewhere;
    const char* shown;
  } cases[] = {
      {"alice", "#room", false, ""},
      {"bob", "#OTHER-room", true, "#other-room"},  // named in another case: the one we know
      {"carol", "#not-ours", true, ""},             // a room we are not in has no name to show
      {"dave", nullptr, false, ""},
  };
  for (const auto& c : cases) {
    const int slot = table.AddPeer(c.nick, false, here);
    ASSERT_GT(slot, 0) << c.nick;
    table.AddPeer(c.nick, false, other);
    table.ApplyPosition(slot, pose, c.standsIn, c.standsIn ? static_cast<int>(std::strlen(c.standsIn)) : 0);
  }
  PublishRoomView(table);
  static RoomView view;
  ASSERT_TRUE(CopyRoomView(&view));
  EXPECT_STREQ("#room", view.channel);
  ASSERT_EQ(4, view.count);
  for (const auto& c : cases) {
    const RoomMember* m = nullptr;
    for (int i = 0; i < view.count; ++i)
      if (std::strcmp(view.members[i].nick, c.nick) == 0) m = &view.members[i];
    ASSERT_NE(nullptr, m) << c.nick;
    EXPECT_EQ(c.elsewhere, m->elsewhere) << c.nick;
    EXPECT_STREQ(c.shown, m->elsewhereIn) << c.nick;
  }

  // A name longer than the field is cut between characters, never inside one.
  table.rooms.Remove(other);
  const std::string longName = "#" + std::string(60, 'a') + "\xC3\xA9\xC3\xA9";  // 61 + two 2-byte letters
  table.rooms.Add(longName.c_str());
  const int bob = table.FindByNick("bob");
  table.AddPeer("bob", false, table.rooms.Find(longName.c_str()));
  table.ApplyPosition(bob, pose, longName.c_str(), static_cast<int>(longName.size()));
  PublishRoomView(table);
  ASSERT_TRUE(CopyRoomView(&view));
  for (int i = 0; i < view.count; ++i) {
    if (std::strcmp(view.members[i].nick, "bob") != 0) continue;
    EXPECT_EQ(longName.substr(0, 63), std::string(view.members[i].elsewhereIn)) << "61 bytes and one whole letter";
  }
}

}  // namespace
