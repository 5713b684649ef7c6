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
  const std::string first = Words(kInputLineBytes + 345);
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
  for (std::size_t i = 0; i < kInputLineBytes / 3 + 100; ++i) e += "\xE2\x82\xAC";  // €, three bytes each
  static_assert(kInputLineBytes % 3 == 1, "the line's end falls inside a three-byte character");
  utf.Paste(e, 0, 0);
  EXPECT_EQ(kInputLineBytes - 1, std::strlen(utf.line));
  EXPECT_EQ(e, utf.Whole());
}

TEST(Paste, TooMuchIsCountedAsLost) {
  InputLine input;
  input.Paste(std::string(kPasteHold + kInputLineBytes + 1000, 'a'), 0, 0);
  EXPECT_EQ(kPasteHold + kInputLineBytes, input.Whole().size());
  EXPECT_EQ(1000u, input.lost);
  const std::string before = input.Whole();
  input.Paste("bcd", 0, 0);
  EXPECT_EQ(3u, input.lost) << "no room: the new paste is what is dropped";
  EXPECT_EQ(before, input.Whole());
}

TEST(InputLines, EachLineInOrderEmptyOnesSkippedLongOnesInPiecesAtBlanks) {
  EXPECT_EQ((std::vector<std::string>{"a", "b c", "NICK x"}), LinesOf("\na\r\n\r\nb c\rNICK x\n"));
  const std::string long_line = Words(kLongestInputLine * 5 / 2);
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
  EXPECT_EQ(6u, NextMessagePiece("ab xxxxxxxxxx", 13, 6, &next)) << "a word longer than a piece fills this one";
}

TEST(MessagePieces, RoomLeavesSpaceForThePrefixTheServerAdds) {
  EXPECT_EQ(MessageTextRoom("#room", "ann", 0) - 9, MessageTextRoom("#room", "ann", 9));
  EXPECT_EQ(MessageTextRoom("#r", "annabelle", 0), MessageTextRoom("#room", "ann", 0) - 3);
  EXPECT_EQ(64u, MessageTextRoom(std::string(600, 'c').c_str(), "ann", 0)) << "never less than 64";
}

// Long text sent as the interpreter sends it, piece after piece, and each piece as the server
// passes it on: ":nick!user@host PRIVMSG target :text\r\n" within 512 bytes with the longest user
// name (ngircd keeps 19 characters of it with its "~") and host (InspIRCd: 64) a server shows.
TEST(MessagePieces, EveryPieceFitsTheServersLineWithTheLongestPrefixAndTheTextStaysWhole) {
  std::string utf8;
  for (int i = 0; utf8.size() < 1500; ++i) utf8 += i % 3 ? "\xC3\xA9t\xC3\xA9 " : "\xE6\xBC\xA2\xF0\x9F\x98\x80";
  std::string glued;  // multi-byte characters and no blank for 1,200 bytes
  while (glued.size() < 1200) glued += "\xE2\x82\xAC\xF0\x9F\x98\x80x";
  const struct {
    const char* nick;
    std::string target;
    bool action;
    std::string text;
  } cases[] = {
      {"ann", "#room", false, Words(2000)},
      {"ann", "#room", true, Words(1000)},
      {"an-extremely-long-nickname-30", std::string("#") + std::string(49, 'c'), false, Words(1500)},
      {"an-extremely-long-nickname-30", std::string("#") + std::string(49, 'c'), true, utf8},
      {"bob", "alice", false, utf8},
      {"bob", "alice", false, std::string(1200, 'x')},  // one word longer than a piece
      {"bob", "#room", true, "start " + glued + " end"},
  };
  const std::string prefix = std::string(20, 'u') + "@" + std::string(64, 'h');
  for (const auto& c : cases) {
    const std::size_t framing = c.action ? std::strlen("\x01" "ACTION \x01") : 0;
    const std::size_t room = MessageTextRoom(c.target.c_str(), c.nick, framing);
    std::string rebuilt;
    std::size_t done = 0, pieces = 0;
    while (done < c.text.size()) {
      std::size_t next = 0;
      std::size_t n = NextMessagePiece(c.text.data() + done, c.text.size() - done, room, &next);
      ASSERT_GT(next, 0u) << c.nick << ": no progress at " << done;
      std::string piece = c.text.substr(done, n);
      std::string body = c.action ? "\x01" "ACTION " + piece + "\x01" : piece;
      std::string relayed = ":" + std::string(c.nick) + "!" + prefix + " PRIVMSG " + c.target + " :" + body + "\r\n";
      EXPECT_LE(relayed.size(), 512u) << c.nick << " piece " << pieces;
      if (n < c.text.size() - done) {
        EXPECT_GT(n, room - 40) << "piece " << pieces << " is short";
      }
      EXPECT_FALSE(n > 0 && (static_cast<unsigned char>(c.text[done + n - 1]) & 0xC0) == 0xC0) << "cut after a lead byte";
      EXPECT_FALSE(done + n < c.text.size() && (static_cast<unsigned char>(c.text[done + n]) & 0xC0) == 0x80)
          << "the next piece begins inside a character";
      rebuilt += piece + c.text.substr(done + n, next - n);
      EXPECT_TRUE(next == n || c.text.substr(done + n, next - n) == " ") << "only a blank is left out";
      done += next;
      ++pieces;
    }
    EXPECT_EQ(c.text, rebuilt) << c.nick << " to " << c.target;
    EXPECT_GT(pieces, 1u);
  }
}

}  // namespace
