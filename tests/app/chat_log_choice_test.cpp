// Which log a chat event goes to, and the hint for a plain connection a TLS port closed.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/chat_log_choice.h"
#include "app/shell.h"
#include "app/tls_port_hint.h"
#include "irc/irc_client.h"
#include "irc/irc_event.h"
#include "irc/words/chat_lines.h"

namespace {

// "target: line" for an event with its console line (made by FormatEventLine when shown is
// null), or "(none)".
std::string Chosen(int code, const char* rn, const char* rm, const char* shown) {
  char console[512], target[256], line[512];
  if (!shown && FormatEventLine(code, rn, rm, console, sizeof console)) shown = console;
  if (!ChooseChatLog(code, rn, rm, shown, "#room", target, sizeof target, line, sizeof line)) return "(none)";
  return std::string(target) + ": " + line;
}

TEST(ChatLogChoice, ChannelEventsToTheChannelPrivateOnesToThePartnerServerTextNowhere) {
  struct Case {
    int code;
    const char* rn;
    const char* rm;
    const char* shown;
    const char* logged;
  };
  const Case cases[] = {
      {EventChannelMessage, "alice", "hello", nullptr, "#room: <alice> hello"},
      {EventAction, "alice", "waves", nullptr, "#room: * alice waves"},
      {EventPrivateMessage, "Alice", "just for you", nullptr, "Alice: <Alice> just for you"},
      {EventJoin, "bob", "#room", nullptr, "#room: bob has joined the channel"},
      {EventPart, "bob", "lunch", nullptr, "#room: bob has left the channel (lunch)"},
      {EventKick, "keeper", "bobby", nullptr, "#room: bobby was kicked by keeper"},
      {EventText, "", "", "-alice- a notice for you", "alice: -alice- a notice for you"},
      {EventText, "", "", "-alice:#Room- to all", "#Room: -alice:#Room- to all"},
      {EventText, "", "", "-server- Welcome to the test network", "(none)"},
      {EventText, "", "", "keeper changed the topic of #room to: news", "#room: keeper changed the topic of #room to: news"},
      {EventText, "", "", "Topic of #room: news", "#room: Topic of #room: news"},
      {EventText, "", "", "bobby was kicked by keeper (enough)", "#room: bobby was kicked by keeper (enough)"},
      {EventText, "", "", "In #room: alice, bob (2)", "(none)"},
      {EventModeChange, "keeper", "#room +o bob", nullptr, "#room: keeper sets mode +o bob"},
      {EventModeChange, "keeper", "#other +m", nullptr, "#other: keeper sets mode +m on #other"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.logged, Chosen(c.code, c.rn, c.rm, c.shown)) << c.code << " " << c.rm;
}

TEST(TlsPortHint, APlainLinkClosedSilentlyOrWithATlsRecordGetsTheHint) {
  const char* kHint = "closed by the server; this port may want TLS: try +6697";
  const struct {
    bool overTls;
    const char* bytes;  // the first two bytes read, or fewer
    const char* reason;
  } cases[] = {
      {false, "", kHint}, {false, "\x15\x03", kHint}, {false, "\x16\x03", kHint}, {false, "\x15", kHint},
      {false, "\x15\x02", "closed by the server"}, {false, "ER", "closed by the server"},
      {true, "", "closed by the server"},  // TLS already
  };
  char out[96];
  for (const auto& c : cases) {
    ClosedByServerReason(c.overTls, reinterpret_cast<const unsigned char*>(c.bytes), std::strlen(c.bytes), 6697,
                         out, sizeof out);
    EXPECT_STREQ(c.reason, out) << "bytes " << c.bytes << (c.overTls ? " over TLS" : "");
  }
}

}  // namespace
