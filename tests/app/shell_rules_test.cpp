// The window's layout, the event table's lines and the dialog's field checks.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <utility>
#include <string>

#include "app/shell.h"

namespace {

TEST(ViewLayout, ClientAreaOf640By480) {
  ViewLayout l = ComputeViewLayout(640, 480);
  EXPECT_EQ(0, l.inputX);
  EXPECT_EQ(460, l.inputY);
  EXPECT_EQ(640, l.inputWidth);
  EXPECT_EQ(20, l.inputHeight);
  EXPECT_EQ(0, l.panelX);
  EXPECT_EQ(348, l.panelY);  // panel 348..461 overlaps the input line by one row
  EXPECT_EQ(640, l.panelWidth);
  EXPECT_EQ(113, l.panelHeight);
  EXPECT_EQ(0, l.viewportX);
  EXPECT_EQ(132, l.viewportY);
  EXPECT_EQ(640, l.viewportWidth);
  EXPECT_EQ(348, l.viewportHeight);
  EXPECT_DOUBLE_EQ(static_cast<double>(640.0f / 350.0f), l.aspect);  // not the viewport's 348
}

TEST(ViewLayout, HeightZeroOfAMinimisedWindowCountsAsOne) {
  ViewLayout l = ComputeViewLayout(640, 0);
  EXPECT_EQ(-19, l.inputY);
  EXPECT_EQ(-131, l.viewportHeight);
  EXPECT_DOUBLE_EQ(static_cast<double>(640.0f / -129.0f), l.aspect);
}

TEST(ViewLayout, ConsoleRowsLeaveTheViewSixtyPixels) {
  const struct { int height, rows; } cases[] = {{480, 25}, {768, 43}, {200, 7}, {156, 4}, {95, 0}, {79, -1}, {0, -1}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.rows, ConsoleRowsRoom(c.height)) << "window " << c.height << " pixels high";
    if (c.rows < 1) continue;
    ViewLayout l = ComputeViewLayout(640, c.height, c.rows);
    EXPECT_GE(l.viewportHeight, kLeastViewHeight) << "window " << c.height;
    EXPECT_LT(l.viewportHeight, kLeastViewHeight + 16) << "one more row would have fitted in " << c.height;
  }
}

std::string Event(int code, const char* rn, const char* rm) {
  char t[kEventLineSize];
  if (!FormatEventLine(code, rn, rm, t, sizeof t)) return "(none)";
  return t;
}

TEST(EventLines, EachCodeHasItsLine) {
  EXPECT_EQ("(none)", Event(0, "alice", "hi"));
  EXPECT_EQ("<alice> hi", Event(1, "alice", "hi"));
  EXPECT_EQ("* alice waves", Event(2, "alice", "waves"));
  EXPECT_EQ("<alice> [Private] psst", Event(3, "alice", "psst"));
  EXPECT_EQ("alice has joined the channel", Event(4, "alice", "ignored"));
  EXPECT_EQ("alice has left the channel", Event(5, "alice", ""));
  EXPECT_EQ("alice has quit irc", Event(6, "alice", ""));
  EXPECT_EQ("alice is now known as alicia", Event(9, "alice", "alicia"));
  EXPECT_EQ("(none)", Event(11, "alice", "+o bob"));
  EXPECT_EQ("-bob- a notice", Event(20, "", "-bob- a notice"));
}

TEST(EventLines, PartAndQuitReasonsFollowInParentheses) {
  EXPECT_EQ("alice has left the channel (lunch)", Event(5, "alice", "lunch"));
  EXPECT_EQ("alice has quit irc (Quit: bye)", Event(6, "alice", "Quit: bye"));
}

TEST(EventLines, KickNamesTheKickedUserFirst) {
  EXPECT_EQ("bob was kicked by alice", Event(10, "alice", "bob"));
}

TEST(EventLines, TwoLongestStringsFitWhole) {
  std::string rn(2047, 'n'), rm(2047, 'm');
  std::string line = Event(3, rn.c_str(), rm.c_str());
  EXPECT_EQ("<" + rn + "> [Private] " + rm, line);
}

TEST(EventLines, ASmallBufferIsNeverOverrun) {
  char t[8];
  std::memset(t, 'x', sizeof t);
  ASSERT_TRUE(FormatEventLine(1, "alice", "a long line of chat", t, 6));
  EXPECT_STREQ("<alic", t);
  EXPECT_EQ('x', t[6]);
}

TEST(LeakReport, OnlyForANonZeroCount) {
  char j[256];
  EXPECT_FALSE(FormatLeakReport(0, j, sizeof j));
  ASSERT_TRUE(FormatLeakReport(1, j, sizeof j));
  EXPECT_STREQ("WARNING: 1 blocks left (should be 0)", j);
}

TEST(DialogFields, PortIsANumberFrom1To65535) {
  int port = -1;
  for (const char* good : {"6667", " 1 ", "\t65535", "+6697", "007"}) {
    EXPECT_TRUE(ReadPortField(good, &port)) << good;
  }
  EXPECT_EQ(7, port);
  for (const char* bad : {"abc", "", "  ", "0", "65536", "99999", "6667abc", "++80", "-12",
                          "66 67", "99999999999999999999"}) {
    port = -1;
    EXPECT_FALSE(ReadPortField(bad, &port)) << bad;
    EXPECT_EQ(-1, port) << bad << ": a refused port is not stored";
  }
}

TEST(DialogFields, NamesAreNotEmptyAndHaveNoBlankAndChannelsGetTheirHash) {
  EXPECT_TRUE(NameFieldAcceptable("ann|qivra"));
  for (const char* bad : {"", "ann b", " ann", "ann\t"}) EXPECT_FALSE(NameFieldAcceptable(bad)) << bad;

  char channel[8];
  for (auto [given, wanted] : {std::pair<const char*, const char*>{"room", "#room"}, {"#room", "#room"},
                               {"&local", "&local"}, {"abcdefg", "#abcdef"}}) {
    std::snprintf(channel, sizeof channel, "%s", given);
    PrefixChannel(channel, sizeof channel);
    EXPECT_STREQ(wanted, channel) << given;
  }
}

}  // namespace
