// The lines the client sends, byte for byte, and the registration on the link thread.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <string>

#include "console/console_log.h"
#include "console/settings.h"
#include "irc/chat_commands.h"
#include "irc/irc_client.h"
#include "irc/session.h"
#include "irc/motd_rule.h"
#include "irc/receive_thread.h"
#include "irc/registration.h"
#include "presence/host_lookup.h"
#include "tests/irc/net_test_support.h"

namespace {

class IrcCommandsTest : public ClientTest {
 protected:
  std::string Next() {
    std::string line;
    EXPECT_TRUE(server.NextLine(&line)) << "expected a line from the client";
    return line;
  }
  const char* LastConsoleLine() { return ConsoleLog.lines[kConsoleLines - 1]; }
};

// Lets the link thread read, and applies its events to the console as the window's thread
// does, for about ms or until registration ends (then true).
static bool ApplyEvents(int ms, bool untilRegistered) {
  // A held thread looks at the link again within one wait (50 ms).
  if (Receive.held.exchange(0)) std::this_thread::sleep_for(std::chrono::milliseconds(60));
  auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  static IrcEvent event;
  while (std::chrono::steady_clock::now() < limit) {
    if (!TakeIrcEvent(&event)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    SessionStatus status;  // a nickname the server gave reaches the echoes, as the window has it
    CopySessionStatus(&status);
    if (status.ownNick[0]) std::snprintf(Settings.nickname, kSettingLength, "%s", status.ownNick);
    if (event.text[0]) ConsoleAppend(event.text);
    if (event.kind == EventRegistered && untilRegistered) return true;
  }
  return false;
}

static int PollUntilRegistered(int* polls) {
  *polls = 0;
  return ApplyEvents(2000, true) ? 1 : 0;
}

static void PollFor(int ms) { ApplyEvents(ms, false); }

TEST_F(IrcCommandsTest, EveryCommandSendsItsLineByteForByte) {
  Irc.SetNick("abc");
  std::string nick = Next();
  EXPECT_EQ("NICK abc\n", nick);
  EXPECT_EQ(9u, nick.size());
  EXPECT_STREQ("abc", Irc.peerTable.self.nick);

  SessionRegister("abc", "user", "host", "Full Name");
  EXPECT_EQ("NICK abc\n", Next()) << "the nickname first";
  EXPECT_EQ("USER user host 127.0.0.1 :Full Name\n", Next()) << "realname must follow a ':'";
  SessionRegister("abc", "user", "::1", "Full Name");
  Next();
  EXPECT_EQ("USER user 0::1 127.0.0.1 :Full Name\n", Next()) << "no parameter but the last begins with ':'";

  JoinChannel("#qivra");
  EXPECT_EQ("JOIN #qivra\r\n", Next());
  SayTo("#qivra", "hello there");
  EXPECT_EQ("PRIVMSG #qivra :hello there\r\n", Next());
  SayTo("alice", "psst");
  EXPECT_EQ("PRIVMSG alice :psst\r\n", Next());
  PartChannel("#a", nullptr);
  EXPECT_EQ("PART #a\r\n", Next());
  PartChannel("#a", "bye now");
  EXPECT_EQ("PART #a :bye now\r\n", Next());
  AskTopic("#a", "");
  EXPECT_EQ("TOPIC #a\r\n", Next());
  AskWhois("bob");
  EXPECT_EQ("WHOIS bob\r\n", Next());

  Irc.peerTable.AddPeer("alice");
  EXPECT_EQ("WHOIS alice\r\n", Next());

  EndSession("Quit");
  EXPECT_EQ("QUIT :Quit\r\n", Next());
}

TEST_F(IrcCommandsTest, ALineBreakInTheTextNeverEndsTheLine) {
  SayTo("#qivra", "look at this\r\nNICK pasted");
  SayTo("bob\n", "a\rb");
  EXPECT_EQ("PRIVMSG #qivra :look at this  NICK pasted\r\n", Next());
  EXPECT_EQ("PRIVMSG bob  :a b\r\n", Next());
  EXPECT_TRUE(server.NothingWithin(50));
}

// The own JOIN adds a room and its members are looked up by one WHO; the own PART or a kick
// empties that room only; a disconnect empties the table.
TEST_F(IrcCommandsTest, OwnJoinsAndLeavesChangeOnlyTheirRoom) {
  Pass(":me!u@h JOIN #a\r\n");
  Pass(":srv 353 me = #a :me @alice bob\r\n");
  Pass(":srv 366 me #a :End of NAMES list\r\n");
  EXPECT_EQ("WHO #a\r\n", Next()) << "the names after the own JOIN are looked up together";
  EXPECT_EQ("PRIVMSG #a :\x01QIVRA\x01\r\n", Next()) << "and QIVRA announced, once";
  Pass(":me!u@h JOIN #b\r\n");
  Pass(":srv 353 me = #b :me bob carol\r\n");
  Pass(":srv 366 me #b :End of NAMES list\r\n");
  EXPECT_EQ("WHO #b\r\n", Next());
  EXPECT_EQ("PRIVMSG #b :\x01QIVRA\x01\r\n", Next());
  const int bob = Irc.peerTable.FindByNick("BOB");
  ASSERT_NE(0, bob) << "a nickname is found in any case";
  EXPECT_EQ(bob, Irc.peerTable.FindByNick("bob")) << "one slot for a member of two rooms";
  EXPECT_EQ('@', Irc.peerTable.slots[Irc.peerTable.FindByNick("alice")].status[Irc.peerTable.rooms.Find("#a")]);

  std::string nick, text;
  EXPECT_EQ(EventLeft, Pass(":me!u@h PART #A :later\r\n", &nick, &text));
  EXPECT_EQ(0, Irc.peerTable.FindByNick("alice")) << "alice shared only #a";
  EXPECT_NE(0, Irc.peerTable.FindByNick("bob")) << "bob is in #b too";
  EXPECT_EQ(kNoRoom, Irc.peerTable.rooms.Find("#a"));
  EXPECT_EQ(EventLeft, Pass(":op!o@h KICK #b me :out\r\n", &nick, &text));
  EXPECT_EQ("op", nick);
  EXPECT_EQ("out", text);
  EXPECT_EQ(0, Irc.peerTable.FindByNick("bob"));
  AddKnown("dave");
  EndSession("x");
  EXPECT_EQ(0, Irc.peerTable.FindByNick("dave"));
}

TEST_F(IrcCommandsTest, OverlongTextIsCutButTheLineKeepsItsEnd) {
  std::string text(3000, 'w');
  SayTo("#qivra", text.c_str());
  std::string line = Next();
  EXPECT_EQ(2047u, line.size());
  EXPECT_EQ("\r\n", line.substr(line.size() - 2));
  std::string nick(2047, 'n');
  Irc.SetNick(nick.c_str());
  line = Next();
  EXPECT_EQ(2047u, line.size());
  EXPECT_EQ('\n', line.back());
}

TEST_F(IrcCommandsTest, NoticeIsShownThenPingCompletesRegistration) {
  server.Send("NOTICE AUTH :hello\r\n");
  EXPECT_FALSE(ApplyEvents(200, true)) << "a shown line does not complete registration";
  EXPECT_STREQ("-server- hello", LastConsoleLine());
  server.Send("PING :123\r\n");
  int polls = 0;
  ASSERT_EQ(1, PollUntilRegistered(&polls));
  EXPECT_STREQ("-server- hello", LastConsoleLine()) << "the PING itself is not shown";
  EXPECT_EQ("PONG :123\r\n", Next());
}

TEST_F(IrcCommandsTest, EndOfMotdCompletesRegistrationAfterShowingIt) {
  server.Send(":srv 001 me :Welcome\r\n:srv 002 me :Your host\r\n:srv 375 me :- motd\r\n"
              ":srv 372 me :- hi\r\n:srv 376 me :End of MOTD\r\n:srv 251 me :later\r\n");
  int polls = 0;
  ASSERT_EQ(1, PollUntilRegistered(&polls));
  EXPECT_STREQ("-server- End of MOTD", LastConsoleLine());
  EXPECT_STREQ("-server- - hi", ConsoleLog.lines[kConsoleLines - 2]);
  EXPECT_TRUE(server.NothingWithin(30)) << "nothing is answered to the MOTD";
}

TEST_F(IrcCommandsTest, MissingMotdNumericCompletesRegistration) {
  server.Send(":srv 001 me :Welcome\r\n:srv 422 me :MOTD File is missing\r\n");
  int polls = 0;
  ASSERT_EQ(1, PollUntilRegistered(&polls));
  EXPECT_STREQ("-server- MOTD File is missing", LastConsoleLine());
}

// Shown once per run, then only its end's note, while registering or after it; whole per "/motd".
TEST_F(IrcCommandsTest, MessageOfTheDayShowsOncePerRunAndWhenAsked) {
  const std::string body = ":srv 372 me :- hello", end = ":srv 376 me :End of MOTD";
  const struct { bool registering, ask; std::string line; int kind; std::string text; } steps[] = {
      {true, false, body, EventText, "-server- - hello"},
      {true, false, end, EventRegistered, "-server- End of MOTD"},
      {true, false, body, EventNone, ""},
      {true, false, end, EventRegistered, "-server- (message of the day as before; /motd shows it)"},
      {true, false, ":srv 422 me :MOTD File is missing", EventRegistered, ""},
      {false, true, body, EventText, "-server- - hello"},
      {false, false, end, EventText, "-server- End of MOTD"},
      {false, false, body, EventNone, ""},
  };
  static IrcMessage m;  // static: 6 KB
  static IrcEvent event;
  for (const auto& s : steps) {
    if (s.ask) AskForMotd();
    std::string text;
    ParseIrcMessage(s.line.c_str(), &m);
    int kind = s.registering ? RegistrationLine(m, &event) : Pass(s.line + "\r\n", nullptr, &text);
    EXPECT_EQ(s.kind, kind) << s.line;
    EXPECT_EQ(s.text, s.registering ? std::string(event.text) : text) << s.line;
  }
}

TEST_F(IrcCommandsTest, EveryPingFormIsAnsweredAndEndsRegistration) {
  const struct {
    const char* ping;
    const char* pong;
  } cases[] = {
      {"PING abc\r\n", "PONG abc\r\n"},
      {":srv PING :abc\r\n", "PONG :abc\r\n"},
      {"PING\r\n", "PONG\r\n"},
      {"PING :x\n", "PONG :x\r\n"},
      {"PING a :b c\r\n", "PONG a :b c\r\n"},
  };
  static IrcMessage m;
  static IrcEvent event;
  for (const auto& c : cases) {
    ParseIrcMessage(c.ping, &m);
    EXPECT_EQ(EventRegistered, RegistrationLine(m, &event)) << c.ping;
    EXPECT_STREQ("", event.text) << "a PING is never shown: " << c.ping;
    EXPECT_EQ(c.pong, Next()) << c.ping;
  }
}

TEST_F(IrcCommandsTest, WordsThatOnlyBeginWithPingAreShownNotAnswered) {
  server.Send("PINGER x\r\n:srv PRIVMSG me :PING y\r\nPING :z\r\n");
  int polls = 0;
  ASSERT_EQ(1, PollUntilRegistered(&polls));
  EXPECT_STREQ("-server- PRIVMSG me PING y", LastConsoleLine());
  EXPECT_STREQ("-server- PINGER x", ConsoleLog.lines[kConsoleLines - 2]);
  EXPECT_EQ("PONG :z\r\n", Next()) << "only the real PING is answered";
}

static bool ConsoleHas(const std::string& text) {
  for (int back = 0; back < ConsoleHistoryCount(); ++back)
    if (std::strstr(ConsoleHistoryLine(back), text.c_str())) return true;
  return false;
}

TEST_F(IrcCommandsTest, TakenNicknameIsTriedWithUnderscoresThreeTimesThenLeftToTheUser) {
  ConsoleClear();
  for (const char* taken : {"me", "me_", "me__"}) {
    server.Send(std::string(":srv 433 * ") + taken + " :Nickname already in use\r\n");
    PollFor(20);
    EXPECT_EQ(std::string("NICK ") + taken + "_\n", Next());
    EXPECT_EQ(std::string("The nickname \"") + taken + "\" is in use: trying \"" + taken + "_\".",
              LastConsoleLine());
  }
  server.Send(":srv 433 * me___ :Nickname already in use\r\n");
  PollFor(50);
  EXPECT_STREQ("The nickname \"me___\" is in use too: choose another with /nick name.", LastConsoleLine());
  EXPECT_TRUE(server.NothingWithin(30)) << "three tries, no more";
  SessionChangeNick("other");  // before the welcome the name is taken on at once
  EXPECT_EQ("NICK other\n", Next());
  server.Send(":srv 001 other :Welcome\r\n:srv 422 other :MOTD File is missing\r\n");
  int polls = 0;
  ASSERT_EQ(1, PollUntilRegistered(&polls));
  EXPECT_STREQ("other", Settings.nickname) << "echoes use the name the server gave";
  EXPECT_STREQ("-server- Welcome", ConsoleLog.lines[kConsoleLines - 2]);
  SessionChangeNick("third");  // after it, the server's NICK line confirms a change
  EXPECT_EQ("NICK third\r\n", Next());
  EXPECT_STREQ("other", Irc.peerTable.self.nick);
}

TEST_F(IrcCommandsTest, SaslPlainAndServerPasswordNeverShowThePasswords) {
  char encoded[16];
  EXPECT_TRUE(EncodeBase64("foobar", 6, encoded, sizeof encoded));
  EXPECT_STREQ("Zm9vYmFy", encoded);
  EXPECT_TRUE(EncodeBase64("fo", 2, encoded, sizeof encoded));
  EXPECT_STREQ("Zm8=", encoded);
  EXPECT_FALSE(EncodeBase64("foobar", 6, encoded, 8)) << "no room for the NUL";

  ConsoleClear();
  std::snprintf(Irc.login.serverPassword, kLoginFieldLength, "door");
  std::snprintf(Irc.login.account, kLoginFieldLength, "acct");
  std::snprintf(Irc.login.password, kLoginFieldLength, "s3cret pw");
  StartLogin();
  EXPECT_EQ("PASS door\r\n", Next());
  EXPECT_EQ("CAP REQ :sasl\r\n", Next());
  server.Send(":srv CAP * ACK :sasl \r\n");
  PollFor(50);
  EXPECT_STREQ("Logging in as \"acct\" (SASL)...", LastConsoleLine());
  EXPECT_EQ("AUTHENTICATE PLAIN\r\n", Next());
  server.Send("AUTHENTICATE :+\r\n");
  PollFor(50);
  EXPECT_EQ("AUTHENTICATE YWNjdABhY2N0AHMzY3JldCBwdw==\r\n", Next());
  server.Send(":srv 900 me me!u@h acct :You are now logged in as acct\r\n"
              ":srv 903 me :SASL authentication successful\r\n");
  PollFor(50);
  EXPECT_EQ("CAP END\r\n", Next());
  EXPECT_STREQ("-server- SASL authentication successful", LastConsoleLine());
  EXPECT_STREQ("-server- You are now logged in as acct", ConsoleLog.lines[kConsoleLines - 2]);

  std::snprintf(Irc.login.password, kLoginFieldLength, "wrong");
  StartLogin();
  Next();
  Next();
  server.Send(":srv CAP me ACK :sasl\r\nAUTHENTICATE +\r\n:srv 904 me :SASL authentication failed\r\n");
  PollFor(100);
  EXPECT_EQ("AUTHENTICATE PLAIN\r\n", Next());
  EXPECT_EQ("AUTHENTICATE YWNjdABhY2N0AHdyb25n\r\n", Next());
  EXPECT_EQ("CAP END\r\n", Next());
  EXPECT_STREQ("Logging in as \"acct\" failed: the server refused the account name or password. "
               "Check the SASL line in config.txt.", LastConsoleLine());

  StartLogin();
  Next();
  Next();
  server.Send(":srv CAP * NAK :sasl\r\n");
  PollFor(50);
  EXPECT_EQ("CAP END\r\n", Next()) << "a server without SASL still finishes registering";
  EXPECT_STREQ("The server does not offer SASL: going on without logging in.", LastConsoleLine());
  for (const char* secret : {"s3cret", "wrong", "door", "YWNj"})
    EXPECT_FALSE(ConsoleHas(secret)) << secret << " reached the console";
  std::memset(&Irc.login, 0, sizeof Irc.login);
}

TEST(IrcConnect, HostThatDoesNotResolveIsReportedByTheThreadAndDisconnectIsHarmless) {
  HostLookupOverride.store(FakeLookup);
  SessionConfig config = TestSessionConfig(6667);
  std::snprintf(config.server, sizeof config.server, "nowhere.test");
  EXPECT_EQ(1, StartSession(config)) << "the thread looks the name up";
  static IrcEvent event;
  auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (!TakeIrcEvent(&event) && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(EventConnected, event.kind);
  EXPECT_EQ(-2, event.result);
  EXPECT_EQ(LinkFailNoSuchHost, event.report.failure);
  EndSession("Quit");
  EXPECT_FALSE(ReceiveThreadRunning());
}

TEST(IrcConnect, ASecondSessionConnectsAfresh) {
  HostLookupOverride.store(FakeLookup);
  FakeServer first, second;
  ASSERT_TRUE(first.Listen());
  ASSERT_TRUE(second.Listen());
  ASSERT_EQ(1, StartSession(TestSessionConfig(first.port)));
  ASSERT_TRUE(first.Accept());
  EndSession("Quit");
  ASSERT_EQ(1, StartSession(TestSessionConfig(second.port))) << "as \"/server\" does";
  ASSERT_TRUE(second.Accept());
  SessionChangeNick("again");
  std::string line;
  ASSERT_TRUE(second.NextLine(&line));
  EXPECT_EQ("NICK again\n", line);
  EndSession("Quit");
  Irc.SetBindAddress(nullptr);
}

TEST(IrcConnect, BindAddressMustBeDotted) {
  EXPECT_EQ(0, Irc.SetBindAddress("not-an-address"));
  EXPECT_EQ(1, Irc.SetBindAddress(""));
  EXPECT_EQ(0u, LinkBindAddress);
}

}  // namespace
