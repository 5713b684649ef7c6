// The speaker's nickname and the web addresses found in console rows, one real row per case.
#include <gtest/gtest.h>

#include <string>

#include "console/console_height.h"
#include "console/console_log.h"
#include "console/row_spans.h"

namespace {

// The spans of a row written out: "nick:bob" or "link:http://x".
std::string Spans(const char* row, bool carried = false) {
  RowSpan spans[kMaxRowSpans];
  int n = FindRowSpans(row, carried, spans, kMaxRowSpans);
  std::string out;
  for (int i = 0; i < n; ++i)
    out += std::string(i ? " " : "") + (spans[i].kind == SpanNick ? "nick:" : "link:") +
           std::string(row + spans[i].from, row + spans[i].to);
  return out;
}

TEST(RowSpans, ChatRowsNameTheirSpeaker) {
  const struct { const char* row; const char* spans; } cases[] = {
      {"<alice> hello", "nick:alice"},
      {"[12:34] <alice> hello", "nick:alice"},
      {"* bob waves", "nick:bob"},
      {"[09:05] * bob waves", "nick:bob"},
      {"-carol- a notice", "nick:carol"},
      {"[12:34] -carol:#room- a notice to the channel", "nick:carol"},
      {"<alice> [Private] psst", "nick:alice"},
      {"-server- Welcome to the network", ""},
      {"-> bob: hello", ""},
      {"-> -bob- a notice of mine", ""},
      {"alice has joined the channel", ""},
      {"<> empty", ""},
      {"<no end", ""},
      {"[12:34]<alice> no blank after the time", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.spans, Spans(c.row)) << c.row;
  EXPECT_EQ("", Spans("<alice> carried on", true));
}

TEST(RowSpans, AddressesEndAtABlankWithoutClosingPunctuation) {
  const struct { const char* row; const char* spans; } cases[] = {
      {"<a> see https://example.org/x?y=1.", "nick:a link:https://example.org/x?y=1"},
      {"(http://example.org/page) and www.example.com, too", "link:http://example.org/page link:www.example.com"},
      {"HTTPS://EXAMPLE.ORG", "link:HTTPS://EXAMPLE.ORG"},
      {"nowww.example.com and http:// alone", ""},
      {"www. is not one", ""},
      {"\xe4\xb8\xad https://example.org/\xe4\xb8\xad \xf0\x9f\x98\x80", "link:https://example.org/\xe4\xb8\xad"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.spans, Spans(c.row)) << c.row;
}

TEST(RowSpans, ANickTakesItsStableColour) {
  RowSpan spans[kMaxRowSpans];
  ASSERT_EQ(1, FindRowSpans("<Alice> hi", false, spans, kMaxRowSpans));
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
