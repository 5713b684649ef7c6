// Which log a chat event goes to, and the hint for a plain connection a TLS port closed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/chat_log_choice.h"
#include "app/shell.h"
#include "app/tls_port_hint.h"
#include "irc/irc_event.h"
#include "irc/words/chat_lines.h"

namespace {

// "target: line" for an event (its kind, channel or partner, nick and text) with its console
// line as the client words it, or "(none)".
std::string Chosen(int kind, const char* channel, const char* nick, const char* text) {
  static IrcEvent e;
  e = IrcEvent{};
  e.kind = kind;
  std::snprintf(e.channel, sizeof e.channel, "%s", channel);
  std::snprintf(e.nick, sizeof e.nick, "%s", nick);
  std::snprintf(e.text, sizeof e.text, "%s", text);
  char shown[512], target[256], line[512];
  if (!FormatEventLine(e, shown, sizeof shown)) shown[0] = '\0';
  if (!ChooseChatLog(kind, channel, nick, text, shown, target, sizeof target, line, sizeof line)) return "(none)";
  return std::string(target) + ": " + line;
}

// Logs are chosen by an event's kind and channel, never by its wording.
TEST(ChatLogChoice, ChannelEventsToTheChannelPrivateOnesToThePartnerServerTextNowhere) {
  struct Case {
    int kind;
    const char* channel;
    const char* nick;
    const char* text;
    const char* logged;
  };
  const Case cases[] = {
      {EventChannelMessage, "#room", "alice", "hello", "#room: <alice> hello"},
      {EventAction, "#room", "alice", "waves", "#room: * alice waves"},
      {EventPrivateMessage, "Alice", "Alice", "just for you", "Alice: <Alice> just for you"},
      {EventAction, "Alice", "Alice", "winks", "Alice: * Alice winks"},
      {EventJoin, "#club", "bob", "#club", "#club: bob has joined the channel"},
      {EventPart, "#room", "bob", "lunch", "#room: bob has left the channel (lunch)"},
      {EventKick, "#room", "keeper", "bobby", "#room: bobby was kicked by keeper"},
      {EventNotice, "", "alice", "a notice for you", "alice: -alice- a notice for you"},
      {EventNotice, "#room", "alice", "to all", "#room: -alice:#room- to all"},
      {EventText, "", "", "-server- Welcome to the test network", "(none)"},
      {EventText, "#room", "", "keeper sets mode +m on #room", "#room: keeper sets mode +m on #room"},
      {EventText, "#room", "", "Topic set by alice", "#room: Topic set by alice"},
      {EventText, "", "", "Topic of #room: read as a server's line", "(none)"},
      {EventMemberList, "#room", "", "alice, bob", "(none)"},
      {EventLeft, "#room", "keeper", "enough", "#room: You have left #room (enough): /join #room to go back"},
      {EventModeChange, "#room", "keeper", "#room +o bob", "#room: keeper sets mode +o bob"},
      {EventModeChange, "#other", "keeper", "#other +m", "#other: keeper sets mode +m on #other"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.logged, Chosen(c.kind, c.channel, c.nick, c.text)) << c.kind << " " << c.text;
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
