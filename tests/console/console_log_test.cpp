// The seven console lines, the panel text built from them, and text longer than a line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "console/console_log.h"
#include "console/settings.h"

namespace {

// The rows joined as the panel shows them: a line feed between rows, the marker after a tab.
std::string panelText;
int panelUpdates = 0;
std::vector<ConsoleRow> panelRows;
void CapturePanel(const ConsoleRow* rows, int count, const char* marker) {
  panelText.clear();
  panelRows.assign(rows, rows + count);
  for (int i = 0; i < count; ++i) panelText += (i ? "\n" : "") + std::string(rows[i].text);
  if (marker[0]) panelText += "\t" + std::string(marker);
  ++panelUpdates;
}

class ConsoleLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ConsolePanelHooks.showRows = CapturePanel;
    ConsoleClear();
    panelUpdates = 0;
  }
  void TearDown() override { ConsolePanelHooks.showRows = nullptr; }
  static std::string Line(int i) { return ConsoleLog.lines[i]; }
};

TEST_F(ConsoleLogTest, EightLinesLeaveTheLastSeven) {
  for (int i = 1; i <= 8; ++i) ConsoleAppend(("line " + std::to_string(i)).c_str());
  for (int i = 0; i < 7; ++i) EXPECT_EQ("line " + std::to_string(i + 2), Line(i));
  EXPECT_EQ("line 2\nline 3\nline 4\nline 5\nline 6\nline 7\nline 8", panelText);
  EXPECT_EQ(8, panelUpdates);  // the panel is set once per append
}

TEST_F(ConsoleLogTest, PanelTextAlwaysHasSixLineFeeds) {
  ConsoleAppend("Welcome To qivra!");
  ConsoleAppend("Beta Version 1");
  EXPECT_EQ("\n\n\n\n\nWelcome To qivra!\nBeta Version 1", panelText);
  ConsoleAppend("");  // an empty text scrolls by one empty row
  EXPECT_EQ("\n\n\n\nWelcome To qivra!\nBeta Version 1\n", panelText);
  EXPECT_EQ("", Line(6));
}

TEST_F(ConsoleLogTest, OwnLineFeedsStayInOneConsoleLine) {
  ConsoleAppend("one\ntwo");
  EXPECT_EQ("one\ntwo", Line(6));
  EXPECT_EQ(7, static_cast<int>(std::count(panelText.begin(), panelText.end(), '\n')));
}

TEST_F(ConsoleLogTest, ClearEmptiesEveryByte) {
  ConsoleAppend("something");
  ConsoleClear();
  for (const auto& line : ConsoleLog.lines)
    for (char c : line) ASSERT_EQ('\0', c);
  EXPECT_EQ("\n\n\n\n\n\n", panelText);
}

TEST_F(ConsoleLogTest, LongTextIsCarriedOverWithoutLoss) {
  std::string text;
  for (int i = 0; text.size() < 300; ++i) text += "word" + std::to_string(i) + " ";
  ConsoleAppend(text.c_str());
  std::string joined;
  int used = 0;
  for (int i = 0; i < 7; ++i) {
    std::string line = Line(i);
    if (line.empty()) continue;
    ++used;
    EXPECT_LE(line.size(), 127u);
    joined += line;
  }
  EXPECT_EQ(3, used);
  EXPECT_EQ(text, joined);
  // Pieces are broken after a blank, so no word is split between two rows.
  for (int i = 7 - used; i < 6; ++i) EXPECT_EQ(' ', Line(i).back()) << "row " << i;
}

TEST_F(ConsoleLogTest, TextWithoutBlanksIsCutEvery127Characters) {
  std::string text(300, 'z');
  ConsoleAppend(text.c_str());
  EXPECT_EQ(std::string(127, 'z'), Line(4));
  EXPECT_EQ(std::string(127, 'z'), Line(5));
  EXPECT_EQ(std::string(46, 'z'), Line(6));
}

TEST_F(ConsoleLogTest, TwoMaximalChatStringsNeverOverrunALine) {
  std::string huge = std::string(2047, 'a') + " " + std::string(2047, 'b');
  ConsoleAppend(huge.c_str());
  std::string visible;
  for (const auto& line : ConsoleLog.lines) {
    EXPECT_LE(strnlen(line, sizeof line), 127u);
    visible += line;
  }
  // The seven rows still on the console are the end of the text, in order.
  ASSERT_GT(visible.size(), 127u * 6);
  EXPECT_EQ(huge.substr(huge.size() - visible.size()), visible);
}

TEST_F(ConsoleLogTest, ScrollbackKeeps2000LinesAndAScrolledViewStays) {
  for (int i = 1; i <= 2100; ++i) ConsoleAppend(("line " + std::to_string(i)).c_str());
  EXPECT_EQ(kConsoleHistory, ConsoleHistoryCount());
  EXPECT_STREQ("line 2100", ConsoleHistoryLine(0));
  EXPECT_STREQ("line 101", ConsoleHistoryLine(kConsoleHistory - 1));
  ConsoleScroll(3);
  EXPECT_EQ("line 2091\nline 2092\nline 2093\nline 2094\nline 2095\nline 2096\nline 2097\t[3 more below]",
            panelText);
  ConsoleAppend("news");  // a view scrolled back keeps its lines; the marker counts what came
  EXPECT_EQ(4, ConsoleScrollBack());
  EXPECT_EQ("line 2091", panelText.substr(0, 9));
  EXPECT_NE(std::string::npos, panelText.find("\t[4 more below]"));
  EXPECT_EQ("news", Line(6)) << "the seven newest lines are kept as ever";
  ConsoleScroll(100000);
  EXPECT_EQ(kConsoleHistory - kConsoleLines, ConsoleScrollBack());
  EXPECT_EQ("line 102\n", panelText.substr(0, 9)) << "the oldest kept lines at the top";
  ConsoleScroll(-100000);
  EXPECT_EQ(0, ConsoleScrollBack());
  EXPECT_EQ("line 2095\nline 2096\nline 2097\nline 2098\nline 2099\nline 2100\nnews", panelText);
  ConsoleAppend("at the bottom");  // the view follows new text again
  EXPECT_EQ(std::string::npos, panelText.find('\t'));
  EXPECT_EQ("at the bottom", panelText.substr(panelText.size() - 13));
}

TEST_F(ConsoleLogTest, CodesAreStrippedLatin1ReadAndTimeStamped) {
  ConsoleAppend("\x02" "bold\x02 \x03" "4,12red\x03 \x1Fu\x0F \x03" "5,x \x04" "FF00AA,000000hex \tcaf\xE9");
  EXPECT_EQ("bold red u ,x hex  caf\xC3\xA9", Line(6));
  Settings.timestamps = true;
  ConsoleAppend("stamped");
  Settings.timestamps = false;
  std::string stamped = Line(6);
  ASSERT_EQ(15u, stamped.size()) << stamped;
  EXPECT_EQ('[', stamped[0]);
  EXPECT_EQ(':', stamped[3]);
  EXPECT_EQ("] stamped", stamped.substr(6));
  // A long line of two-byte characters is never cut inside one.
  std::string wide;
  for (int i = 0; i < 100; ++i) wide += "\xC3\xA9";
  ConsoleAppend(wide.c_str());
  EXPECT_EQ(126u, Line(5).size());
  EXPECT_EQ(wide, Line(5) + Line(6));
}

TEST_F(ConsoleLogTest, EchoesUseTheCurrentNickname) {
  std::strcpy(Settings.nickname, "alice");
  EchoOwnMessage(0, "#room", "hello there");
  EXPECT_EQ("<alice> hello there", Line(6));
  EchoOwnAction(0, "#room", "waves");
  EXPECT_EQ("* alice waves", Line(6));
  EchoOwnAction(0, "#room", "");
  EXPECT_EQ("* alice ", Line(6));
}

}  // namespace

TEST_F(ConsoleLogTest, AMarkStaysWithEveryRowOfItsLine) {
  ConsoleAppend("plain");
  ConsoleAppendMarked(std::string(200, 'x').c_str(), MarkAttention);  // carried over: two rows
  ConsoleAppend("after");
  EXPECT_EQ(MarkPlain, ConsoleHistoryMark(0));
  EXPECT_EQ(MarkAttention, ConsoleHistoryMark(1));
  EXPECT_EQ(MarkAttention, ConsoleHistoryMark(2));
  EXPECT_EQ(MarkPlain, ConsoleHistoryMark(3));
  EXPECT_EQ(MarkPlain, ConsoleHistoryMark(kConsoleHistory + 5));
}

TEST_F(ConsoleLogTest, RowsCarryTheirMarkAndOnlyTheFirstRowItsSpeaker) {
  ConsoleAppendSpoken(("<bob> " + std::string(200, 'y')).c_str(), MarkAttention, "bob", 1);
  ASSERT_EQ(7u, panelRows.size());
  EXPECT_EQ(MarkPlain, panelRows[4].mark);  // an empty row above the line
  for (int i : {5, 6}) EXPECT_EQ(MarkAttention, panelRows[i].mark) << "row " << i;
  ASSERT_EQ(1, panelRows[5].spanCount);
  EXPECT_EQ(SpanNick, panelRows[5].spans[0].kind);
  EXPECT_EQ(1, panelRows[5].spans[0].from);
  EXPECT_EQ(4, panelRows[5].spans[0].to);
  EXPECT_EQ(0, panelRows[6].spanCount) << "a carried-over row has no speaker";
}

TEST_F(ConsoleLogTest, TheNumberOfRowsShownFollowsThePanelAndStaysInRange) {
  for (int i = 1; i <= 30; ++i) ConsoleAppend(("line " + std::to_string(i)).c_str());
  ConsoleSetRows(12);
  EXPECT_EQ(12u, panelRows.size());
  EXPECT_EQ("line 19", std::string(panelRows[0].text));
  ConsoleScroll(1000);  // the view stops with the oldest line at the top
  EXPECT_EQ("line 1", std::string(panelRows[0].text));
  EXPECT_EQ(18, ConsoleScrollBack());
  ConsoleSetRows(1000);
  EXPECT_EQ(kMaxConsoleRows, ConsoleRows());
  EXPECT_EQ(0, ConsoleScrollBack()) << "all 30 lines fit: nothing is below";
  ConsoleSetRows(0);
  EXPECT_EQ(kMinConsoleRows, ConsoleRows());
  ConsoleSetRows(kConsoleLines);
}

TEST_F(ConsoleLogTest, ASmallWindowShowsFewerRowsAndTheChosenHeightComesBack) {
  for (int i = 1; i <= 30; ++i) ConsoleAppend(("line " + std::to_string(i)).c_str());
  ConsoleSetRows(20);
  ConsoleScroll(3);
  ConsoleSetRoom(5);  // the window made smaller
  EXPECT_EQ(5, ConsoleRows());
  EXPECT_EQ(5u, panelRows.size());
  EXPECT_EQ("line 27", std::string(panelRows[4].text)) << "the view keeps its last row";
  EXPECT_EQ(20, ConsoleChosenRows());
  ConsoleSetRoom(-1);  // too small even for the view: the least the panel shows
  EXPECT_EQ(kMinConsoleRows, ConsoleRows());
  ConsoleSetRows(12);  // dragged while small: still only what fits
  EXPECT_EQ(kMinConsoleRows, ConsoleRows());
  ConsoleSetRoom(kMaxConsoleRows);  // the window grown again
  EXPECT_EQ(12, ConsoleRows());
  EXPECT_EQ(12u, panelRows.size());
  ConsoleSetRows(kConsoleLines);
}

namespace {

// A stand-in for the panel's measure: one pixel a byte, broken after the last blank that fits.
std::size_t fakeWidth = 40;
std::size_t FakeFit(const char* text, std::size_t length) {
  if (length <= fakeWidth) return length;
  for (std::size_t i = fakeWidth; i > 0; --i)
    if (text[i - 1] == ' ') return i;
  return fakeWidth;
}

// The kept rows from oldest to newest, and their marks.
std::vector<std::string> KeptRows() {
  std::vector<std::string> rows;
  for (int back = ConsoleHistoryCount() - 1; back >= 0; --back) rows.push_back(ConsoleHistoryLine(back));
  return rows;
}

}  // namespace

TEST_F(ConsoleLogTest, RowsFollowThePanelsWidthAndARewrapKeepsLinesMarksAndOrder) {
  std::string words;
  for (int i = 0; words.size() < 150; ++i) words += "word" + std::to_string(i) + " ";
  fakeWidth = 40;
  ConsolePanelHooks.rowFit = FakeFit;
  ConsoleAppend("first");
  ConsoleAppendMarked(words.c_str(), MarkAttention);
  ConsoleAppend("last");
  std::vector<std::string> rows = KeptRows();
  ASSERT_GE(rows.size(), 6u);
  std::string joined;
  for (std::size_t i = 1; i + 1 < rows.size(); ++i) {
    EXPECT_LE(rows[i].size(), 40u) << rows[i];
    EXPECT_EQ(' ', rows[i].back()) << "a word was split: " << rows[i];
    joined += rows[i];
  }
  EXPECT_EQ(words, joined);

  fakeWidth = 25;  // the panel made narrower: the same lines, more rows
  ConsoleRewrap();
  rows = KeptRows();
  EXPECT_EQ("first", rows.front());
  EXPECT_EQ("last", rows.back());
  joined.clear();
  for (std::size_t i = 1; i + 1 < rows.size(); ++i) {
    EXPECT_LE(rows[i].size(), 25u) << rows[i];
    joined += rows[i];
    EXPECT_EQ(MarkAttention, ConsoleHistoryMark(static_cast<int>(rows.size() - 1 - i))) << rows[i];
  }
  EXPECT_EQ(words, joined);
  EXPECT_EQ(MarkPlain, ConsoleHistoryMark(0));
  EXPECT_EQ("last", Line(6)) << "the seven newest rows follow";

  fakeWidth = 2000;  // wider than a row's bytes: a row still ends within them
  ConsoleAppend(std::string(3000, 'z').c_str());
  EXPECT_EQ(static_cast<std::size_t>(kConsoleLineLength - 1), std::string(ConsoleHistoryLine(1)).size());
  ConsolePanelHooks.rowFit = [](const char*, std::size_t) -> std::size_t { return 0; };  // a measure that fails
  ConsoleAppend("still shown");
  EXPECT_EQ("still shown", Line(6));
  ConsolePanelHooks.rowFit = nullptr;
}

TEST_F(ConsoleLogTest, ARewrapKeepsAScrolledViewWithinTheRows) {
  fakeWidth = 10;
  ConsolePanelHooks.rowFit = FakeFit;
  for (int i = 1; i <= 39; ++i) ConsoleAppend(("line number " + std::to_string(i)).c_str());
  ConsoleAppend("");  // an empty line stays a row of its own
  ConsoleAppend("line number 40");
  ConsoleScroll(50);
  const int back = ConsoleScrollBack();
  EXPECT_GT(back, 0);
  fakeWidth = 100;  // wider: fewer rows than the view was scrolled back
  ConsoleRewrap();
  EXPECT_EQ(41, ConsoleHistoryCount());
  EXPECT_STREQ("", ConsoleHistoryLine(1));
  EXPECT_EQ(41 - kConsoleLines, ConsoleScrollBack()) << "the oldest rows at the top";
  EXPECT_EQ("line number 1", std::string(panelRows[0].text));
  ConsoleScroll(-1000);
  ConsoleRewrap();  // at the bottom it stays there
  EXPECT_EQ(0, ConsoleScrollBack());
  EXPECT_EQ("line number 40", Line(6));
  ConsolePanelHooks.rowFit = nullptr;
}
