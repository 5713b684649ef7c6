// The window's layout, the event table's lines and the dialog's port rule.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
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

TEST(PortText, FollowsTheAtolRules) {
  EXPECT_EQ(6667, ParsePortText("6667"));
  EXPECT_EQ(6667, ParsePortText("6667abc"));
  EXPECT_EQ(0, ParsePortText("abc"));
  EXPECT_EQ(0, ParsePortText(""));
  EXPECT_EQ(80, ParsePortText("  +80"));
  EXPECT_EQ(-12, ParsePortText("\t-12x"));
  EXPECT_EQ(INT_MAX, ParsePortText("99999999999999999999"));
  EXPECT_EQ(INT_MIN, ParsePortText("-99999999999"));
}

}  // namespace
