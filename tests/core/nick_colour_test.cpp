// Nickname colours: one member one colour whatever the case, and different members mostly apart.
#include "core/nick_colour.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

static int Key(NickRgb c) { return c.r << 16 | c.g << 8 | c.b; }

TEST(NickColour, SameMemberSameColourAcrossCaseAndIrcFolding) {
  EXPECT_EQ(Key(NickColour("alice")), Key(NickColour("ALICE")));
  EXPECT_EQ(Key(NickColour("bob[away]")), Key(NickColour("BOB{AWAY}")));
  std::set<int> seen;
  for (const char* nick : {"alice", "bob", "carol", "dave", "erin", "frank", "grace", "heidi"})
    seen.insert(Key(NickColour(nick)));
  EXPECT_GE(seen.size(), 5u) << "eight names should not crowd into a few colours";
  NickRgb none = NickColour(nullptr);
  EXPECT_GT(none.r + none.g + none.b, 300) << "every colour reads on a dark background";
}
