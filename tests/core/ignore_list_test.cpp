// The ignored nicknames: IRC's case folding, the list's bound, and a listing cut to its buffer.
#include <gtest/gtest.h>

#include <string>

#include "core/ignore_list.h"

TEST(IgnoreList, FoldsCaseHoldsABoundedListAndListsIntoAnyBuffer) {
  ClearIgnoredNicks();
  EXPECT_EQ(IgnoreAdded, IgnoreNick("Bob[away]"));
  EXPECT_TRUE(IsNickIgnored("bob{AWAY}")) << "[ ] are the capitals of { }";
  EXPECT_FALSE(IsNickIgnored("bob"));
  const std::string tooLong(kIgnoredNickLength, 'n');
  for (const char* bad : {"", "two words", "a,b", tooLong.c_str()})
    EXPECT_EQ(IgnoreBadName, IgnoreNick(bad)) << '"' << bad << '"';
  for (int i = 1; i < kIgnoredNicks; ++i) EXPECT_EQ(IgnoreAdded, IgnoreNick(("n" + std::to_string(i)).c_str()));
  EXPECT_EQ(IgnoreFull, IgnoreNick("onemore"));
  char small[10];
  EXPECT_EQ(kIgnoredNicks, ListIgnoredNicks(small, sizeof small));
  EXPECT_EQ("Bob[away]", std::string(small)) << "cut to the buffer, and terminated";
  EXPECT_EQ(IgnoreRemoved, UnignoreNick("N5"));
  EXPECT_EQ(IgnoreNotThere, UnignoreNick("n5"));
  EXPECT_EQ(IgnoreAdded, IgnoreNick("onemore")) << "a freed place is taken again";
  ClearIgnoredNicks();
  EXPECT_EQ(0, ListIgnoredNicks(small, sizeof small));
  EXPECT_EQ("", std::string(small));
}
