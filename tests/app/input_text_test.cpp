// Pastes placed in the input line, pasted text split into lines, and chat text into messages.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/input_text.h"

namespace {

struct InputLine {
  char line[kInputLineBytes + 1] = {};
  char rest[kPasteHold + 1] = {};
  std::size_t lost = 0;
  int Paste(const std::string& text, int from, int to) {
    return PlacePaste(line, rest, from, to, text.data(), text.size(), &lost);
  }
  std::string Whole() const { return std::string(line) + rest; }
};

std::vector<std::string> Taken;
void Take(const char* line) { Taken.emplace_back(line); }

std::vector<std::string> LinesOf(const std::string& text) {
  Taken.clear();
  ForEachInputLine(text.c_str(), Take);
  return Taken;
}

std::string Words(std::size_t atLeast) {
  std::string words;
  for (int i = 0; words.size() < atLeast; ++i) words += (i ? " w" : "w") + std::to_string(i);
  return words;
}

TEST(Paste, GoesInPlaceOfTheSelectionWithItsBreaksMadeLfAndNulDropped) {
  InputLine input;
  std::strcpy(input.line, "abXXcd");
  int cursor = input.Paste(std::string("one\r\ntwo\rthree\n\0!", 17), 2, 4);
  EXPECT_STREQ("abone\ntwo\nthree\n!cd", input.line);
  EXPECT_EQ(17, cursor) << "the cursor follows the paste";
  EXPECT_STREQ("", input.rest);
  EXPECT_EQ(0u, input.lost);
  EXPECT_EQ((std::vector<std::string>{"abone", "two", "three", "!cd"}), LinesOf(input.line));
}

TEST(Paste, BeyondTheLineWaitsInTheRestInOrder) {
  InputLine input;
  std::strcpy(input.line, "<>");
  const std::string first = Words(600);
  input.Paste(first, 1, 1);
  EXPECT_EQ(kInputLineBytes, std::strlen(input.line));
  EXPECT_EQ("<" + first + ">", input.Whole()) << "line and rest are the whole text";

  // A second paste at the line's start comes before everything that waited.
  int cursor = input.Paste("zero\n", 0, 0);
  EXPECT_EQ(5, cursor);
  EXPECT_EQ("zero\n<" + first + ">", input.Whole());

  // A character cut in two stays whole: the line ends before it.
  InputLine utf;
  std::string e;
  for (int i = 0; i < 200; ++i) e += "\xC3\xA9";  // é, two bytes each
  utf.Paste(e, 0, 0);
  EXPECT_EQ(kInputLineBytes - 1, std::strlen(utf.line));
  EXPECT_EQ(e, utf.Whole());
}

TEST(Paste, TooMuchIsCountedAsLost) {
  InputLine input;
  input.Paste(std::string(kPasteHold + 1000, 'a'), 0, 0);
  EXPECT_EQ(kPasteHold + kInputLineBytes, input.Whole().size());
  EXPECT_EQ(1000u - kInputLineBytes, input.lost);
  const std::string before = input.Whole();
  input.Paste("bcd", 0, 0);
  EXPECT_EQ(3u, input.lost) << "no room: the new paste is what is dropped";
  EXPECT_EQ(before, input.Whole());
}

TEST(InputLines, EachLineInOrderEmptyOnesSkippedLongOnesInPiecesAtBlanks) {
  EXPECT_EQ((std::vector<std::string>{"a", "b c", "NICK x"}), LinesOf("\na\r\n\r\nb c\rNICK x\n"));
  const std::string long_line = Words(2500);
  std::vector<std::string> pieces = LinesOf(long_line + "\nlast");
  ASSERT_EQ(4u, pieces.size());
  EXPECT_EQ("last", pieces.back());
  pieces.pop_back();
  std::string joined;
  for (const std::string& piece : pieces) {
    EXPECT_LE(piece.size(), kLongestInputLine);
    joined += (joined.empty() ? "" : " ") + piece;
  }
  EXPECT_EQ(long_line, joined);
}

TEST(MessagePieces, BreakAtTheLastBlankThatFitsElseAtTheRoom) {
  std::size_t next = 0;
  const char* text = "aaa bbb ccc";
  EXPECT_EQ(7u, NextMessagePiece(text, 11, 8, &next));
  EXPECT_EQ(8u, next) << "the blank at the break is left out";
  EXPECT_EQ(7u, NextMessagePiece(text, 11, 7, &next)) << "a blank just past the room still breaks there";
  EXPECT_EQ(3u, NextMessagePiece(text, 11, 6, &next));
  EXPECT_EQ(11u, NextMessagePiece(text, 11, 11, &next));
  EXPECT_EQ(11u, next);
  EXPECT_EQ(5u, NextMessagePiece("abcdefgh", 8, 5, &next)) << "no blank: cut at the room";
  EXPECT_EQ(5u, NextMessagePiece(" bcdefgh", 8, 5, &next)) << "a leading blank is no break";
  EXPECT_EQ(3u, NextMessagePiece("abc\xC3\xA9" "xyz", 8, 4, &next)) << "cut before a two-byte character";
  EXPECT_EQ(3u, next);
}

TEST(MessagePieces, RoomLeavesSpaceForThePrefixTheServerAdds) {
  // ":ann!" + 10 + "@" + 63 + " " + "PRIVMSG #room :" + text + "\r\n" <= 512
  EXPECT_EQ(512u - 2 - (1 + 3 + 1 + 10 + 1 + 63 + 1) - 15, MessageTextRoom("#room", "ann", 0));
  EXPECT_EQ(MessageTextRoom("#room", "ann", 0) - 9, MessageTextRoom("#room", "ann", 9));
  EXPECT_EQ(64u, MessageTextRoom(std::string(600, 'c').c_str(), "ann", 0)) << "never less than 64";
}

}  // namespace
