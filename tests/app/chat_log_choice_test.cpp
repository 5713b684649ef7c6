// Which log a chat event goes to, and the hint for a plain connection a TLS port closed.
#include <gtest/gtest.h>

#include <string>

#include "app/chat_log_choice.h"
#include "app/shell.h"
#include "app/tls_port_hint.h"
#include "irc/irc_client.h"

namespace {

// "target: line" for an event as the main loop shows it, or "(none)".
std::string Chosen(int code, const char* rn, const char* rm, const char* shown = nullptr) {
  char console[512], target[256], line[512];
  if (!shown) {
    if (!FormatEventLine(code, rn, rm, console, sizeof console)) return "(no console line)";
    shown = console;
  }
  if (!ChooseChatLog(code, rn, rm, shown, "#room", target, sizeof target, line, sizeof line)) return "(none)";
  return std::string(target) + ": " + line;
}

TEST(ChatLogChoice, ChannelEventsToTheChannelPrivateOnesToThePartnerServerTextNowhere) {
  struct Case {
    int code;
    const char* rn;
    const char* rm;
    const char* shown;  // null: the console line FormatEventLine makes
    const char* logged;
  };
  const Case cases[] = {
      {EventChannelMessage, "alice", "hello", nullptr, "#room: <alice> hello"},
      {EventAction, "alice", "waves", nullptr, "#room: * alice waves"},
      {EventPrivateMessage, "Alice", "just for you", nullptr, "Alice: <Alice> just for you"},
      {EventJoin, "bob", "#room", nullptr, "#room: bob has joined the channel"},
      {EventPart, "bob", "lunch", nullptr, "#room: bob has left the channel (lunch)"},
      {EventQuit, "bob", "", nullptr, "#room: bob has quit irc"},
      {EventNickChange, "bob", "bobby", nullptr, "#room: bob is now known as bobby"},
      {EventKick, "keeper", "bobby", nullptr, "#room: bobby was kicked by keeper"},
      // Lines the dispatcher words itself (EventText).
      {EventText, "", "", "-alice- a notice for you", "alice: -alice- a notice for you"},
      {EventText, "", "", "-server- Welcome to the test network", "(none)"},
      {EventText, "", "", "keeper changed the topic of #room to: news", "#room: keeper changed the topic of #room to: news"},
      {EventText, "", "", "keeper removed the topic of #room", "#room: keeper removed the topic of #room"},
      {EventText, "", "", "Topic of #room: news", "#room: Topic of #room: news"},
      {EventText, "", "", "Topic set by keeper on 2026-12-07 13:05", "#room: Topic set by keeper on 2026-12-07 13:05"},
      {EventText, "", "", "bobby was kicked by keeper (enough)", "#room: bobby was kicked by keeper (enough)"},
      {EventText, "", "", "You are now known as me2", "#room: You are now known as me2"},
      {EventText, "", "", "In #room: alice, bob (2)", "(none)"},
      {EventText, "", "", "CTCP VERSION from alice (answered)", "(none)"},
      {EventText, "", "", "- not a notice", "(none)"},
      {EventText, "", "", "-two words- text", "(none)"},
      {EventModeChange, "", "#room +o bob", "", "(none)"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.logged, Chosen(c.code, c.rn, c.rm, c.shown)) << "event " << c.code << " " << c.rn << " " << c.rm;

  char target[64], line[64];
  EXPECT_FALSE(ChooseChatLog(EventChannelMessage, "a", "b", "<a> b", "", target, sizeof target, line, sizeof line))
      << "no channel, no channel log";
}

TEST(TlsPortHint, APlainLinkClosedSilentlyOrWithATlsRecordGetsTheHint) {
  struct Case {
    bool overTls;
    const char* bytes;
    std::size_t n;
    const char* reason;
  };
  const char* kHint = "closed by the server; this port may want TLS: try +6697";
  const Case cases[] = {
      {false, "", 0, kHint},                    // not a byte before the close
      {false, "\x15\x03", 2, kHint},            // a TLS alert
      {false, "\x16\x03", 2, kHint},            // a TLS handshake record
      {false, "\x15", 1, kHint},
      {false, "\x15\x02", 2, "closed by the server"},
      {false, "ER", 2, "closed by the server"},  // "ERROR :Closing link"
      {false, ":i", 2, "closed by the server"},
      {true, "", 0, "closed by the server"},     // TLS already
  };
  char out[96];
  for (const Case& c : cases) {
    ClosedByServerReason(c.overTls, reinterpret_cast<const unsigned char*>(c.bytes), c.n, 6697, out, sizeof out);
    EXPECT_STREQ(c.reason, out) << "bytes " << c.n << (c.overTls ? " over TLS" : "");
  }
  ClosedByServerReason(false, nullptr, 0, 6697, out, 20);
  EXPECT_STREQ("closed by the serve", out) << "bounded by the buffer";
}

}  // namespace
