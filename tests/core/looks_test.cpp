// Looks: IMAGE names pick their look in any case; "default" and unknown names pick one by nickname.
#include "core/looks.h"

#include <gtest/gtest.h>

#include <set>

TEST(Looks, NamesNumbersAndTheNicknamesChoice) {
  for (int look = 1; look <= kLookCount; ++look) {
    EXPECT_EQ(look, LookFromImage(LookName(look), "anyone")) << LookName(look);
    EXPECT_STRNE("default", LookName(look));
  }
  EXPECT_EQ(LookFromImage("red", "x"), LookFromImage("RED", "y"));
  EXPECT_STREQ("default", LookName(0));
  EXPECT_STREQ("default", LookName(kLookCount + 1));
  std::set<int> picked;
  for (const char* nick : {"alice", "bob", "carol", "dave", "erin", "frank", "grace", "heidi", "ivan", "judy"}) {
    int look = LookFromImage("default", nick);
    EXPECT_GE(look, 1) << nick;
    EXPECT_LE(look, kLookCount) << nick;
    EXPECT_EQ(look, LookFromImage("", nick)) << "an empty IMAGE is the default";
    EXPECT_EQ(look, LookFromImage("reddish", nick)) << "an unknown name is the default";
    picked.insert(look);
  }
  EXPECT_EQ(LookFromImage("default", "Alice"), LookFromImage("default", "alice")) << "one member, one look";
  EXPECT_GE(picked.size(), 4u) << "ten nicknames should not crowd into a few looks";
}
