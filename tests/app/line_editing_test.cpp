// The input line's editing rules: history, nickname completion, word moves and deletes.
#include <gtest/gtest.h>

#include <string>

#include "app/attention.h"
#include "app/line_editing.h"
#include "app/line_history.h"
#include "app/nick_completion.h"

namespace {

TEST(LineHistory, UpWalksBackDownReturnsToWhatWasBeingTyped) {
  static LineHistory history;
  char out[kHistoryLineBytes];
  EXPECT_FALSE(HistoryBack(&history, "typed", out, sizeof out)) << "nothing sent yet";
  for (const char* line : {"first", "second", "second", "", "third"}) HistoryRemember(&history, line);
  EXPECT_FALSE(HistoryForward(&history, out, sizeof out)) << "down without browsing";
  const char* expected[] = {"third", "second", "first"};  // the repeat and the empty line not kept
  for (const char* line : expected) {
    ASSERT_TRUE(HistoryBack(&history, "half typ", out, sizeof out));
    EXPECT_STREQ(line, out);
  }
  EXPECT_FALSE(HistoryBack(&history, "first", out, sizeof out)) << "no line before the oldest";
  ASSERT_TRUE(HistoryForward(&history, out, sizeof out));
  EXPECT_STREQ("second", out);
  ASSERT_TRUE(HistoryForward(&history, out, sizeof out));
  ASSERT_TRUE(HistoryForward(&history, out, sizeof out));
  EXPECT_STREQ("half typ", out) << "down past the newest gives back the own line";
  EXPECT_FALSE(HistoryForward(&history, out, sizeof out));
}

TEST(LineHistory, KeepsTheNewestHundredAndTwentyEight) {
  static LineHistory history;
  for (int i = 0; i < 300; ++i) HistoryRemember(&history, std::to_string(i).c_str());
  char out[kHistoryLineBytes];
  int steps = 0;
  while (HistoryBack(&history, "", out, sizeof out)) ++steps;
  EXPECT_EQ(kHistoryLines, steps);
  EXPECT_STREQ(std::to_string(300 - kHistoryLines).c_str(), out);
}

std::string Complete(NickCompletion* state, std::string* line, int* cursor) {
  static const char* const members[] = {"bob", "Alice", "alfred", "carol", "al"};
  char text[kCompletionLineBytes];
  std::snprintf(text, sizeof text, "%s", line->c_str());
  if (!CompleteNick(state, text, sizeof text, cursor, members, 5)) return "(none)";
  *line = text;
  return text;
}

TEST(NickCompletion, CompletesAnyCaseAndCyclesOnRepeatedTabs) {
  NickCompletion state;
  std::string line = "AL";
  int cursor = 2;
  EXPECT_EQ("al: ", Complete(&state, &line, &cursor)) << "at the line's start: \"nick: \"";
  EXPECT_EQ(4, cursor);
  EXPECT_EQ("alfred: ", Complete(&state, &line, &cursor));
  EXPECT_EQ("Alice: ", Complete(&state, &line, &cursor));
  EXPECT_EQ("al: ", Complete(&state, &line, &cursor)) << "after the last match the first again";

  NickCompletion middle;
  line = "thanks ca and more";
  cursor = 9;
  EXPECT_EQ("thanks carol and more", Complete(&middle, &line, &cursor)) << "in the line: the nick alone";
  EXPECT_EQ(13, cursor);
  line = "x";  // an edit between Tabs starts afresh
  cursor = 1;
  EXPECT_EQ("(none)", Complete(&middle, &line, &cursor));
  line = "hi ";
  cursor = 3;
  EXPECT_EQ("(none)", Complete(&middle, &line, &cursor)) << "nothing typed of a nick";
}

TEST(LineEditing, WordMovesAndDeletesAsInATerminal) {
  const char* text = "say  hello world";
  EXPECT_EQ(11, WordStartBefore(text, 16));
  EXPECT_EQ(5, WordStartBefore(text, 11)) << "blanks before the cursor are skipped first";
  EXPECT_EQ(10, WordEndAfter(text, 3));
  EXPECT_EQ(16, WordEndAfter(text, 99)) << "a cursor beyond the end stays at the end";

  struct Case {
    const char* before;
    int cursor;
    bool toStart;
    const char* after;
    int newCursor;
  };
  const Case cases[] = {
      {"say hello world", 15, false, "say hello ", 10},
      {"say hello   ", 12, false, "say ", 4},
      {"say hello world", 9, false, "say  world", 4},
      {"word", 0, false, "word", 0},
      {"say hello world", 9, true, " world", 0},
      {"", 0, true, "", 0},
  };
  for (const Case& c : cases) {
    char line[64];
    std::snprintf(line, sizeof line, "%s", c.before);
    int cursor = c.toStart ? DeleteToLineStart(line, c.cursor) : DeleteWordBefore(line, c.cursor);
    EXPECT_STREQ(c.after, line) << "\"" << c.before << "\" at " << c.cursor;
    EXPECT_EQ(c.newCursor, cursor) << "\"" << c.before << "\" at " << c.cursor;
  }
}

TEST(Attention, MarkedLinesAndTheTitle) {
  EXPECT_EQ(MarkAttention, EventMark(1, "bob", "alice: lunch?", "alice"));
  EXPECT_EQ(MarkAttention, EventMark(2, "bob", "waves at Alice", "alice"));
  EXPECT_EQ(MarkAttention, EventMark(3, "bob", "no name here", "alice")) << "a private message";
  EXPECT_EQ(MarkPlain, EventMark(1, "bob", "malice", "alice"));
  EXPECT_EQ(MarkPlain, EventMark(1, "alice", "I am alice", "alice")) << "the own words";
  EXPECT_EQ(MarkPlain, EventMark(20, "", "-bob- alice: notice", "alice")) << "only chat lines";
  char title[96];
  FormatWindowTitle("", "alice", 0, title, sizeof title);
  EXPECT_STREQ("alice - QIVRA", title) << "offline";  // in a channel: the whole-program test
}

}  // namespace
