// The seven console lines, the panel text built from them, and text longer than a line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "console/console_log.h"
#include "console/settings.h"

namespace {

std::string panelText;
int panelUpdates = 0;
void CapturePanel(const char* text) {
  panelText = text;
  ++panelUpdates;
}

class ConsoleLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ConsolePanelSink = CapturePanel;
    ConsoleClear();
    panelUpdates = 0;
  }
  void TearDown() override { ConsolePanelSink = nullptr; }
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

TEST_F(ConsoleLogTest, EchoesUseTheCurrentNickname) {
  std::strcpy(Settings.nickname, "alice");
  EchoOwnMessage("hello there");
  EXPECT_EQ("<alice> hello there", Line(6));
  EchoOwnAction("waves");
  EXPECT_EQ("* alice waves", Line(6));
  EchoOwnAction("");
  EXPECT_EQ("* alice ", Line(6));
}

}  // namespace
