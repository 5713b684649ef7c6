// The window's layout, the event table's lines and the dialog's field checks.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <utility>
#include <string>

#include "app/escape_twice.h"
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

TEST(ViewLayout, AWideWindowShowsTheMemberListBesideTheViewAndANarrowOneDoesNot) {
  const struct { int width, height, list; } cases[] = {
      {640, 480, 0}, {799, 600, 0}, {800, 600, 200}, {1024, 768, 204}, {1280, 700, 256}, {1920, 1080, 280}};
  for (const auto& c : cases) {
    const ViewLayout l = ComputeViewLayout(c.width, c.height);
    const ViewLayout narrow = ComputeViewLayout(640, c.height);
    EXPECT_EQ(c.list > 0, l.listShown) << c.width;
    EXPECT_EQ(c.list, l.listWidth) << c.width;
    EXPECT_EQ(c.width - c.list, l.viewportWidth) << c.width << ": the view gives way to the list";
    if (c.list == 0) continue;
    EXPECT_TRUE(l.listX == l.viewportWidth && l.listY == 0 && l.listHeight == l.panelY) << c.width << ": beside the view";
    EXPECT_EQ(c.width, l.panelWidth) << "the console stays as wide as the window";
    EXPECT_NEAR(narrow.aspect * (c.width - c.list) / 640.0, l.aspect, 1e-6) << c.width << ": the view's own shape";
  }
  EXPECT_FALSE(ComputeViewLayout(1024, 0).listShown) << "a minimised window has no room for it";
}

TEST(ViewLayout, TheBarTakesItsHeightFromTheViewAndNothingElse) {
  const ViewLayout plain = ComputeViewLayout(640, 480, 7), barred = ComputeViewLayout(640, 480, 7, 18);
  EXPECT_EQ((std::pair<int, int>(plain.panelY, plain.panelY - 18)), (std::pair<int, int>(barred.panelY, barred.barY)));
  EXPECT_EQ(barred.barY, barred.viewportHeight) << "the view ends where the bar begins";
  EXPECT_EQ(ConsoleRowsRoom(480 - 18), ConsoleRowsRoom(480, 18));
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
  // A list of channels: each gets its "#"; empty items go; what does not fit gives way at the end.
  char list[16];
  for (auto [given, wanted] : {std::pair<const char*, const char*>{"a,#b", "#a,#b"}, {"a,,&b,", "#a,&b"},
                               {",", ""}, {"abc,defgh,ij", "#abc,#defgh,#ij"}, {"abcdef,ghijklm,n", "#abcdef,#ghijkl"},
                               {"abcdefghij,k", "#abcdefghij,#k"}, {"abcdefghijk,lm", "#abcdefghijk,#l"},
                               {"abcdefghijkl,m", "#abcdefghijkl"}}) {
    std::snprintf(list, sizeof list, "%s", given);
    PrefixChannel(list, sizeof list);
    EXPECT_STREQ(wanted, list) << given;
  }
}

// Escape in a channel: a press warns, a second within 3 s leaves, a later one warns again;
// elsewhere a press leaves at once. Times near the tick count's wrap count as well.
TEST(EscapeTwice, AWarningFirstInAChannelOnlyAndForThreeSeconds) {
  struct Press {
    uint32_t at;
    bool inChannel;
    EscapeResult result;
  };
  const Press presses[] = {
      {1000, true, EscapeWarns},   {3999, true, EscapeLeaves},  // within the 3 s
      {5000, true, EscapeWarns},   {8000, true, EscapeWarns},   // 3 s later: a warning again
      {8100, false, EscapeLeaves}, {9000, false, EscapeLeaves}, // connecting: at once
      {9500, true, EscapeWarns},   {0xFFFFFF00u, true, EscapeWarns}, {0x100, true, EscapeLeaves},
  };
  EscapeWarning warning = {};
  for (const Press& p : presses) {
    EXPECT_EQ(p.result, TakeEscape(&warning, p.inChannel, p.at)) << "at " << p.at;
    EXPECT_EQ(p.result == EscapeWarns, warning.shown) << "at " << p.at;
  }
  TakeEscape(&warning, true, 20000);
  EXPECT_FALSE(EscapeWarningOver(&warning, 22999));
  EXPECT_TRUE(EscapeWarningOver(&warning, 23000)) << "the notice goes when its time is over";
  EXPECT_FALSE(EscapeWarningOver(&warning, 23001)) << "once";
}

}  // namespace
