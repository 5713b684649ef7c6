// The own nickname named in a line: as a word of its own, in any case, wherever it stands.
#include <gtest/gtest.h>

#include "console/mention.h"

namespace {

TEST(Mention, TheNicknameCountsOnlyAsAWordOfItsOwn) {
  struct Case {
    const char* text;
    const char* nick;
    bool named;
  };
  const Case cases[] = {
      {"alice: are you there?", "alice", true},
      {"thanks @alice, see you", "alice", true},
      {"ALICE!", "alice", true},
      {"alice's turn", "alice", true},
      {"malice aforethought", "alice", false},
      {"alice_ is someone else", "alice", false},
      {"alice2 and alice-bot", "alice", false},
      {"malice, then alice", "alice", true},  // a later word counts
      {"\xC3\xA9" "alice", "alice", false},     // a letter of UTF-8 before it
      {"ask [bob]", "{bob}", true},             // IRC's case rule: [] are the capitals of {}
      {"Unnamed|qivra: hi", "unnamed|qivra", true},
      {"", "alice", false},
      {"alice", "", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.named, NamesNick(c.text, c.nick)) << "\"" << c.text << "\" naming \"" << c.nick << "\"";
  EXPECT_FALSE(NamesNick(nullptr, "alice"));
  EXPECT_FALSE(NamesNick("alice", nullptr));
}

}  // namespace
