// The speaker's nickname and the web addresses found in console rows, one real row per case.
#include <gtest/gtest.h>

#include <string>

#include "console/console_height.h"
#include "console/console_log.h"
#include "console/row_spans.h"

namespace {

// The spans of a row written out: "nick:bob" or "link:http://x"; the speaker at [from, to).
std::string Spans(const char* row, int from = 0, int to = 0) {
  RowSpan spans[kMaxRowSpans];
  int n = FindRowSpans(row, from, to, spans, kMaxRowSpans);
  std::string out;
  for (int i = 0; i < n; ++i)
    out += std::string(i ? " " : "") + (spans[i].kind == SpanNick ? "nick:" : "link:") +
           std::string(row + spans[i].from, row + spans[i].to);
  return out;
}

// The speaker is where the line's maker said, whatever the row's wording looks like: a user
// named "server" is a speaker, "<alice>" in server text is none.
TEST(RowSpans, TheSpeakerIsWhereTheLinesMakerSaid) {
  const struct { const char* row; int from, to; const char* spans; } cases[] = {
      {"<alice> hello", 1, 6, "nick:alice"},
      {"[12:34] * bob waves", 10, 13, "nick:bob"},
      {"-server- a notice from a user named server", 1, 7, "nick:server"},
      {"<alice> in a server's text", 0, 0, ""},
      {"<al", 1, 6, ""},  // a range beyond the row's end: none
      {"<alice> carried on", 4, 2, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.spans, Spans(c.row, c.from, c.to)) << c.row;
}

TEST(RowSpans, AddressesEndAtABlankWithoutClosingPunctuation) {
  const struct { const char* row; const char* spans; } cases[] = {
      {"see https://example.org/x?y=1.", "link:https://example.org/x?y=1"},
      {"(http://example.org/page) and www.example.com, too", "link:http://example.org/page link:www.example.com"},
      {"HTTPS://EXAMPLE.ORG", "link:HTTPS://EXAMPLE.ORG"},
      {"nowww.example.com and http:// alone", ""},
      {"www. is not one", ""},
      {"\xe4\xb8\xad https://example.org/\xe4\xb8\xad \xf0\x9f\x98\x80", "link:https://example.org/\xe4\xb8\xad"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.spans, Spans(c.row)) << c.row;
  EXPECT_EQ("nick:a link:http://x.org", Spans("<a> http://x.org", 1, 2));
}

TEST(RowSpans, ANickTakesItsStableColour) {
  RowSpan spans[kMaxRowSpans];
  ASSERT_EQ(1, FindRowSpans("<Alice> hi", 1, 6, spans, kMaxRowSpans));
  NickRgb expected = NickColour("alice");
  EXPECT_EQ(expected.r, spans[0].colour.r);
  EXPECT_EQ(expected.g, spans[0].colour.g);
  EXPECT_EQ(expected.b, spans[0].colour.b);
}

TEST(ConsoleHeight, RememberedAcrossStartsAndSevenWithoutAFile) {
  char folder[] = "/tmp/qivra-height-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(folder));
  setenv("XDG_CONFIG_HOME", folder, 1);
  EXPECT_EQ(kConsoleLines, LoadConsoleRows());
  ASSERT_TRUE(SaveConsoleRows(13));
  EXPECT_EQ(13, LoadConsoleRows());
  std::string path = std::string(folder) + "/qivra/console-lines.txt";
  for (const char* bad : {"999\n", "x\n", "1\n", ""}) {
    FILE* f = std::fopen(path.c_str(), "w");
    std::fputs(bad, f);
    std::fclose(f);
    EXPECT_EQ(kConsoleLines, LoadConsoleRows()) << "file holding '" << bad << "'";
  }
  std::remove(path.c_str());
  std::remove((std::string(folder) + "/qivra").c_str());
  std::remove(folder);
}

}  // namespace
