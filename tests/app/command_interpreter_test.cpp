// Typed lines and "/" commands against a recording IRC client and explosion effect.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "app/command_interpreter.h"
#include "app/reconnect_plan.h"
#include "console/console_log.h"
#include "console/settings.h"
#include "console/trusted_certificates.h"
#include "irc/irc_client.h"
#include "platform/ticks.h"
#include "tests/app/irc_double.h"

struct SparkCall {
  float x, y, z;
};
static std::vector<SparkCall> Explosions;

void SpawnExplosion(float x, float y, float z) { Explosions.push_back({x, y, z}); }

namespace {

using Lines = std::vector<std::string>;

uint32_t FakeNow;
uint32_t FakeTicks() { return FakeNow; }

// The link thread's report on the connect under way, as the main loop hands it over.
void Linked() { ConnectFinished(IrcDouble.connectResult); }

void SetField(char* field, const char* value) {
  std::snprintf(field, kSettingLength, "%s", value);
}

// The console lines written since the test began, oldest first.
Lines ConsoleText() {
  Lines lines;
  for (const auto& line : ConsoleLog.lines)
    if (line[0]) lines.emplace_back(line);
  return lines;
}

class CommandInterpreter : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetIrcDouble();
    Explosions.clear();
    ConsoleClear();
    AppState.connectionState = Offline;
    SetField(Settings.server, "irc.test");
    Settings.port = 6667;
    SetField(Settings.channel, "#room");
    SetField(Settings.nickname, "ann");
    SetField(Settings.realName, "Ann Example");
    SetField(Settings.userName, "ann_u");
    SetField(Settings.hostName, "annhost");
    FakeNow = 0;
    TickSourceOverride = FakeTicks;
  }
  void TearDown() override { TickSourceOverride = nullptr; }
  const Lines& Calls() { return IrcDouble.calls; }
};

TEST_F(CommandInterpreter, ChatIsSaidInAChannelAndOtherwiseReportedAsNotSent) {
  ProcessInputLine("hello there");
  ProcessInputLine("/me waves");
  ProcessInputLine("/msg bob psst");
  AppState.connectionState = Registering;
  ProcessInputLine("too early");
  EXPECT_TRUE(Calls().empty()) << "first call: " << Calls()[0];
  AppState.connectionState = InChannel;
  ProcessInputLine("quit /help");
  EXPECT_EQ(ConsoleText(), (Lines{"Not sent (not connected): hello there", "Not sent (not connected): /me waves",
                                  "Not sent (not connected): /msg bob psst",
                                  "Not sent (still connecting): too early", "<ann> quit /help"}));
  EXPECT_EQ(Calls(), (Lines{"Say(quit /help)"}));
}

TEST_F(CommandInterpreter, ExactCommandsWriteTheirLines) {
  ProcessInputLine("/quit");
  ProcessInputLine("/help");
  ProcessInputLine("/explode");
  EXPECT_EQ(ConsoleText(), (Lines{"Press ESC to quit.",
                                  "Commands: help,explode,connect,part,disconnect",
                                  "Also: quit, join #channel, server host, msg nick text, me text, nick name, "
                                  "topic [text], names, whois nick, notice nick text",
                                  "Test Explosion Spawned"}));
  ASSERT_EQ(Explosions.size(), 1u);
  EXPECT_EQ(Explosions[0].x, 0.0f);
  EXPECT_EQ(Explosions[0].y, 0.2f);
  EXPECT_EQ(Explosions[0].z, 0.0f);
  EXPECT_TRUE(Calls().empty()) << "first call: " << Calls()[0];
  EXPECT_EQ(AppState.connectionState, Offline) << "/quit must not quit or disconnect";
}

TEST_F(CommandInterpreter, OtherCasesTrailingTextAndUnknownCommandsAreNamedAsUnknown) {
  AppState.connectionState = InChannel;
  const Lines typed = {"/QUIT", "/Help", "/explode now", "/CONNECT", "/part #room", "/", "/frobnicate a b"};
  for (const std::string& line : typed) ProcessInputLine(line.c_str());
  EXPECT_EQ(ConsoleText(), (Lines{"Unknown command: /QUIT (/help lists the commands)",
                                  "Unknown command: /Help (/help lists the commands)",
                                  "Unknown command: /explode (/help lists the commands)",
                                  "Unknown command: /CONNECT (/help lists the commands)",
                                  "Unknown command: /part (/help lists the commands)",
                                  "Unknown command: / (/help lists the commands)",
                                  "Unknown command: /frobnicate (/help lists the commands)"}));
  EXPECT_TRUE(Calls().empty()) << "first call: " << Calls()[0];
  EXPECT_TRUE(Explosions.empty());
  EXPECT_EQ(AppState.connectionState, InChannel);
}

TEST_F(CommandInterpreter, ConnectAnywhereInTheLineWinsOverLaterCommands) {
  ProcessInputLine("/msg bob /connect");
  EXPECT_EQ(Calls(), (Lines{"Init()", "Connect(irc.test, 6667)"}));
  EXPECT_EQ(AppState.connectionState, Connecting) << "the link thread connects; the window goes on";
  ProcessInputLine("too early");
  Linked();
  EXPECT_EQ(Calls(), (Lines{"Init()", "Connect(irc.test, 6667)", "SendUser(ann_u, irc.test, Ann Example)",
                            "SetNick(ann)"}));
  EXPECT_EQ(AppState.connectionState, Registering);
  EXPECT_EQ(ConsoleText()[1], "Not sent (still connecting): too early");
}

TEST_F(CommandInterpreter, FailedConnectsSayWhyAndLeaveTheClientOfflineForTheNextTry) {
  IrcDouble.connectResult = 0;
  ProcessInputLine("/connect");
  Linked();
  IrcDouble.connectResult = -2;
  IrcDouble.connectFailure = LinkFailNoSuchHost;
  ProcessInputLine("/connect");
  Linked();
  IrcDouble.connectFailure = LinkFailNoAnswer;
  ProcessInputLine("/connect");
  Linked();
  EXPECT_EQ(ConsoleText(), (Lines{"Connecting to irc.test:6667...",
                                  "Could not connect to irc.test:6667: connection refused.",
                                  "Connecting to irc.test:6667...",
                                  "Could not connect to irc.test:6667: name not found.",
                                  "Connecting to irc.test:6667...",
                                  "Could not connect to irc.test:6667: no answer."}));
  ConsoleClear();
  Settings.port = 65536;
  ProcessInputLine("/connect");
  EXPECT_EQ(ConsoleText(), (Lines{"Connecting to irc.test:65536...",
                                  "Could not connect to irc.test:65536: no such port."}));
  const Lines attempt = {"Init()", "Connect(irc.test, 6667)", "Cleanup()"};
  Lines three;
  for (int i = 0; i < 3; ++i) three.insert(three.end(), attempt.begin(), attempt.end());
  EXPECT_EQ(Calls(), three) << "no registration is sent; the port is checked before any socket";
  EXPECT_EQ(AppState.connectionState, Offline);
}

TEST_F(CommandInterpreter, ConnectSequenceAndASecondConnectThatDoesNothing) {
  ProcessInputLine("/connect");
  Linked();
  EXPECT_EQ(ConsoleText(), (Lines{"Connecting to irc.test:6667...",
                                  "Registering as \"ann\" (Ann Example, ann_u@irc.test)..."}));
  EXPECT_EQ(Calls(), (Lines{"Init()", "Connect(irc.test, 6667)", "SendUser(ann_u, irc.test, Ann Example)",
                            "SetNick(ann)"}));
  EXPECT_EQ(AppState.connectionState, Registering);

  ResetIrcDouble();
  ConsoleClear();
  ProcessInputLine("/connect");
  AppState.connectionState = InChannel;
  ProcessInputLine("/connect");
  EXPECT_TRUE(Calls().empty()) << "first call: " << Calls()[0];
  EXPECT_TRUE(ConsoleText().empty()) << "first line: " << ConsoleText()[0];
}

TEST_F(CommandInterpreter, DisconnectOnlyWhenConnected) {
  ProcessInputLine("/disconnect");
  EXPECT_TRUE(Calls().empty()) << "first call: " << Calls()[0];
  EXPECT_TRUE(ConsoleText().empty()) << "first line: " << ConsoleText()[0];

  for (ConnectionState state : {Connecting, Registering, InChannel}) {
    ResetIrcDouble();
    ConsoleClear();
    AppState.connectionState = state;
    ProcessInputLine("/disconnect");
    EXPECT_EQ(ConsoleText(), (Lines{"Disconnecting...", "Disconnected."})) << "from state " << state;
    EXPECT_EQ(Calls(), (Lines{"Disconnect(Quit)", "Cleanup()"})) << "from state " << state;
    EXPECT_EQ(AppState.connectionState, Offline);
  }
}

TEST_F(CommandInterpreter, PartAndJoin) {
  ProcessInputLine("/part");
  ProcessInputLine("/joinfoo");
  EXPECT_STREQ(Settings.channel, "foo");
  ProcessInputLine("/join");  // no word: the configured channel again
  ProcessInputLine("/join   ");
  EXPECT_STREQ(Settings.channel, "foo");
  ProcessInputLine("/join #other and more");
  EXPECT_STREQ(Settings.channel, "#other");
  EXPECT_EQ(Calls(), (Lines{"Part()", "Part()", "Join(foo)", "Part()", "Join(foo)", "Part()",
                            "Join(foo)", "Part()", "Join(#other)"}));
  EXPECT_TRUE(ConsoleText().empty()) << "first line: " << ConsoleText()[0];
}

TEST_F(CommandInterpreter, OverlongJoinAndServerWordsAreCutTo63) {
  const std::string word = "#" + std::string(99, 'c');
  ProcessInputLine(("/join " + word).c_str());
  EXPECT_EQ(std::string(Settings.channel), word.substr(0, 63));
  EXPECT_EQ(Calls().back(), "Join(" + word.substr(0, 63) + ")");

  const std::string host = std::string(120, 'h') + ".test";
  ProcessInputLine(("/server " + host).c_str());  // offline: only stored
  EXPECT_EQ(std::string(Settings.server), host.substr(0, 63));
}

TEST_F(CommandInterpreter, MsgSaysTheWholeTextToOneNicknameAndShowsIt) {
  AppState.connectionState = InChannel;
  ProcessInputLine("/msg friend psst private hello");
  ProcessInputLine("/msgbob  hi ");
  ProcessInputLine("/msg bob");  // no text: nothing is sent
  ProcessInputLine("/msg    ");
  EXPECT_EQ(Calls(), (Lines{"SayTo(friend, psst private hello)", "SayTo(bob, hi )"}));
  EXPECT_EQ(ConsoleText(), (Lines{"-> friend: psst private hello", "-> bob: hi ", "Usage: /msg nick text",
                                  "Usage: /msg nick text"}));
}

TEST_F(CommandInterpreter, MeSendsTheLineFromItsFifthCharacterAsAnAction) {
  AppState.connectionState = InChannel;
  ProcessInputLine("/meow");
  ProcessInputLine("/me");
  ProcessInputLine("/me waves at  you ");
  ProcessInputLine("/message");  // not "/msg": the "/me" prefix catches it
  EXPECT_EQ(ConsoleText(), (Lines{"* ann w", "* ann ", "* ann waves at  you ", "* ann sage"}));
  EXPECT_EQ(Calls(), (Lines{"Say(\x01" "ACTION w\x01)", "Say(\x01" "ACTION \x01)",
                            "Say(\x01" "ACTION waves at  you \x01)", "Say(\x01" "ACTION sage\x01)"}));
}

TEST_F(CommandInterpreter, ServerWhileOfflineOnlyStoresTheServer) {
  ProcessInputLine("/server irc.other");
  EXPECT_STREQ(Settings.server, "irc.other");
  EXPECT_TRUE(Calls().empty()) << "first call: " << Calls()[0];
  EXPECT_EQ(ConsoleText(), (Lines{"Not connected: /connect will use server irc.other."}));
  ProcessInputLine("/connect");
  EXPECT_EQ(Calls()[1], "Connect(irc.other, 6667)");
}

TEST_F(CommandInterpreter, ServerChangeReconnectsNickFirstWithTheHostName) {
  AppState.connectionState = InChannel;
  ProcessInputLine("/serverirc.other");
  EXPECT_STREQ(Settings.server, "irc.other");
  EXPECT_EQ(AppState.connectionState, Connecting) << "the window goes on while the thread connects";
  Linked();
  RegistrationFinished("-server- End of MOTD");
  EXPECT_EQ(Calls(), (Lines{"Disconnect(Quit)", "Cleanup()", "Init()", "Connect(irc.other, 6667)",
                            "SetNick(ann)", "SendUser(ann_u, annhost, Ann Example)"}));
  EXPECT_EQ(ConsoleText(), (Lines{"-server- End of MOTD"})) << "no channel is joined until /join";
  EXPECT_EQ(AppState.connectionState, InChannel);

  ResetIrcDouble();
  AppState.connectionState = Registering;
  ProcessInputLine("/server");  // no word: the same server again
  EXPECT_EQ(Calls()[3], "Connect(irc.other, 6667)");
  Linked();
  RegistrationFinished("");
  EXPECT_EQ(AppState.connectionState, InChannel);
}

TEST_F(CommandInterpreter, ServerChangeWaitsFifteenSecondsAcrossATickWrap) {
  AppState.connectionState = InChannel;
  const uint32_t start = 0xFFFFF000u;  // the tick count wraps 4096 ms into the wait
  FakeNow = start;
  ProcessInputLine("/server irc.slow");
  Linked();
  FakeNow += 14999;
  WatchConnection();
  RegistrationFinished("");  // at 14.999 s it still counts
  EXPECT_EQ(AppState.connectionState, InChannel);
  EXPECT_TRUE(ConsoleText().empty()) << "first line: " << ConsoleText()[0];

  ResetIrcDouble();
  FakeNow = start;
  ProcessInputLine("/server irc.slow");
  Linked();
  FakeNow += 14999;
  WatchConnection();
  EXPECT_EQ(AppState.connectionState, Registering) << "gave up too early";
  FakeNow += 1;
  WatchConnection();
  EXPECT_EQ(ConsoleText(), (Lines{"Gave up waiting for irc.slow to register.", "Disconnecting...",
                                  "Disconnected."}));
  const Lines tail(Calls().end() - 2, Calls().end());
  EXPECT_EQ(tail, (Lines{"Disconnect(Quit)", "Cleanup()"}));
  EXPECT_EQ(AppState.connectionState, Offline);
}

TEST_F(CommandInterpreter, ServerChangeWithAFailedConnectOrALostLinkGivesUpAtOnce) {
  AppState.connectionState = InChannel;
  IrcDouble.connectResult = 0;
  ProcessInputLine("/server nowhere.test");
  Linked();
  EXPECT_EQ(Calls(), (Lines{"Disconnect(Quit)", "Cleanup()", "Init()", "Connect(nowhere.test, 6667)",
                            "Disconnect(Quit)", "Cleanup()"}));
  EXPECT_EQ(ConsoleText().front(), "Gave up waiting for nowhere.test to register.");
  EXPECT_EQ(AppState.connectionState, Offline);

  ResetIrcDouble();
  ConsoleClear();
  AppState.connectionState = InChannel;
  ProcessInputLine("/server closing.test");
  Linked();
  LinkEnded(true);
  EXPECT_EQ(ConsoleText().front(), "Gave up waiting for closing.test to register.");
  EXPECT_EQ(AppState.connectionState, Offline);
  EXPECT_FALSE(Reconnect.active) << "a \"/server\" that failed plans no tries";
}

TEST_F(CommandInterpreter, DisconnectDuringTheServerChangeEndsItAndLateEventsChangeNothing) {
  AppState.connectionState = InChannel;
  ProcessInputLine("/server irc.other");
  ProcessInputLine("/disconnect");  // Escape
  EXPECT_EQ(Calls().back(), "Cleanup()");
  EXPECT_EQ(ConsoleText(), (Lines{"Disconnecting...", "Disconnected."}));
  EXPECT_EQ(AppState.connectionState, Offline);
  ResetIrcDouble();
  Linked();
  RegistrationFinished("");
  LinkEnded(false);
  FakeNow += 20000;
  WatchConnection();
  EXPECT_TRUE(Calls().empty()) << "first call: " << Calls()[0];
  EXPECT_EQ(AppState.connectionState, Offline);
}

// The text of the Say and SayTo calls, in order.
Lines SaidTexts(const char* call) {
  Lines texts;
  const std::string head = std::string(call) + "(";
  for (const std::string& c : IrcDouble.calls)
    if (c.compare(0, head.size(), head) == 0) texts.push_back(c.substr(head.size(), c.size() - head.size() - 1));
  return texts;
}

std::string Joined(const Lines& pieces, const char* between) {
  std::string all;
  for (const std::string& piece : pieces) all += (all.empty() ? "" : between) + piece;
  return all;
}

TEST_F(CommandInterpreter, LongTextGoesInSeveralMessagesBrokenAtBlanks) {
  AppState.connectionState = InChannel;
  std::string words;
  for (int i = 0; words.size() < 1000; ++i) words += (i ? " word" : "word") + std::to_string(i);
  const std::size_t room = 510 - (1 + 3 + 1 + 10 + 1 + 63 + 1) - 8 - 5 - 2;  // nick "ann", "#room"
  ProcessInputLine(words.c_str());
  Lines said = SaidTexts("Say");
  ASSERT_EQ(said.size(), 3u);
  for (const std::string& piece : said) {
    EXPECT_LE(piece.size(), room);
    EXPECT_NE(piece.back(), ' ');
    EXPECT_EQ(piece.compare(0, 4, "word"), 0) << "a piece begins with a whole word: " << piece.substr(0, 12);
  }
  EXPECT_EQ(Joined(said, " "), words) << "the pieces are the whole text";
  const std::string echo = "<ann> " + words, shown = Joined(ConsoleText(), "");
  EXPECT_EQ(echo.compare(echo.size() - shown.size(), shown.size(), shown), 0)
      << "the console's lines end with one echo of the whole line: " << shown;

  ResetIrcDouble();
  ProcessInputLine(("/me " + words).c_str());
  said = SaidTexts("Say");
  ASSERT_EQ(said.size(), 3u);
  std::string acted;
  for (const std::string& piece : said) {
    ASSERT_EQ(piece.compare(0, 8, "\x01" "ACTION "), 0);
    ASSERT_EQ(piece.back(), '\x01');
    EXPECT_LE(piece.size(), room);
    acted += (acted.empty() ? "" : " ") + piece.substr(8, piece.size() - 9);
  }
  EXPECT_EQ(acted, words);

  ResetIrcDouble();
  const std::string word(700, 'x');  // no blank: cut where the room ends
  ProcessInputLine(("/msg bob " + word).c_str());
  said = SaidTexts("SayTo");
  ASSERT_EQ(said.size(), 2u);
  const std::size_t roomToBob = room + 5 - 3;  // "bob" instead of "#room"
  EXPECT_EQ(said[0], "bob, " + word.substr(0, roomToBob));
  EXPECT_EQ(said[1], "bob, " + word.substr(roomToBob));
}

TEST_F(CommandInterpreter, LostLinkIsReportedAndTriedAgainAfterGrowingWaits) {
  AppState.connectionState = InChannel;
  FakeNow = 0xFFFFFC18u;  // the tick count wraps during the first wait
  ReportLostLink();
  EXPECT_EQ(ConsoleText(), (Lines{"Connection to irc.test lost.",
                                  "Reconnecting in 2 s (Escape or /disconnect stops it)."}));
  EXPECT_EQ(Calls(), (Lines{"Disconnect(Quit)", "Cleanup()"}));
  EXPECT_EQ(AppState.connectionState, Offline);

  // No try before its wait has passed, one try when it has; each failure doubles the wait
  // up to a minute, and says so.
  IrcDouble.connectResult = 0;
  uint32_t wait = 2000;
  for (unsigned next : {4u, 8u, 16u, 32u, 60u, 60u}) {
    ResetIrcDouble();
    IrcDouble.connectResult = 0;
    ConsoleClear();
    FakeNow += wait - 1;
    ReconnectIfDue();
    EXPECT_TRUE(Calls().empty()) << "tried 1 ms before the wait of " << wait << " ms was over";
    FakeNow += 1;
    ReconnectIfDue();
    EXPECT_EQ(AppState.connectionState, Connecting);
    ReconnectIfDue();  // a try under way is not tried again
    Linked();
    EXPECT_EQ(Calls(), (Lines{"Init()", "Connect(irc.test, 6667)", "Cleanup()"}));
    EXPECT_EQ(ConsoleText(), (Lines{"Could not connect to irc.test:6667: connection refused. Next try in " +
                                    std::to_string(next) + " s."}));
    wait = next * 1000;
  }

  // A try that reaches the server registers; its failure plans the next try, its success ends them.
  ResetIrcDouble();
  ConsoleClear();
  FakeNow += wait;
  ReconnectIfDue();
  Linked();
  EXPECT_EQ(Calls(), (Lines{"Init()", "Connect(irc.test, 6667)", "SendUser(ann_u, irc.test, Ann Example)",
                            "SetNick(ann)"}));
  EXPECT_EQ(AppState.connectionState, Registering);
  LinkEnded(false);
  EXPECT_EQ(ConsoleText().back(), "Could not connect to irc.test:6667: no answer. Next try in 60 s.");
  EXPECT_EQ(AppState.connectionState, Offline);
  FakeNow += 60000;
  ReconnectIfDue();
  Linked();
  RegistrationFinished("");
  EXPECT_EQ(ConsoleText().back(), "Joining channel \"#room\"...");
  EXPECT_EQ(AppState.connectionState, InChannel);
  ResetIrcDouble();
  FakeNow += 600000;
  AppState.connectionState = Offline;
  ReconnectIfDue();
  EXPECT_TRUE(Calls().empty()) << "a try after the registration succeeded";
}

TEST_F(CommandInterpreter, DisconnectAndConnectEndThePlannedTries) {
  AppState.connectionState = InChannel;
  ReportLostLink();
  ConsoleClear();
  ProcessInputLine("/disconnect");
  ProcessInputLine("/disconnect");
  ReportLostLink();
  AppState.connectionState = Registering;  // a try that is registering
  ProcessInputLine("/disconnect");
  EXPECT_EQ(ConsoleText(), (Lines{"Stopped reconnecting.", "Connection to irc.test lost.",
                                  "Reconnecting in 2 s (Escape or /disconnect stops it).", "Disconnecting...",
                                  "Disconnected.", "Stopped reconnecting."}));
  ResetIrcDouble();
  FakeNow += 10000;
  ReconnectIfDue();
  EXPECT_TRUE(Calls().empty()) << "a try after /disconnect";

  ReportLostLink();
  ProcessInputLine("/connect");  // at once, by hand; its failure plans nothing
  IrcDouble.connectResult = 0;
  ResetIrcDouble();
  FakeNow += 10000;
  ReconnectIfDue();
  EXPECT_TRUE(Calls().empty()) << "a planned try after /connect";

  // A registration that fails without tries going on says why, without a next try.
  AppState.connectionState = Registering;
  ConsoleClear();
  ReportFailedRegistration(true);
  EXPECT_EQ(ConsoleText(), (Lines{"Could not connect to irc.test:6667: closed by the server."}));
}

TEST_F(CommandInterpreter, AddedCommandsTakeAnyCaseAndSayWhatIsMissing) {
  AppState.connectionState = InChannel;
  for (const char* line : {"/NICK bob", "/Topic new words", "/topic", "/names", "/WhoIs carol",
                           "/notice dave hi there", "/nick", "/whois", "/notice dave"}) {
    ProcessInputLine(line);
  }
  EXPECT_EQ(Calls(), (Lines{"ChangeNick(bob)", "Topic(new words)", "Topic()", "Names()", "Whois(carol)",
                            "Notice(dave, hi there)"}));
  EXPECT_EQ(ConsoleText(), (Lines{"-> -dave- hi there", "Usage: /nick name", "Usage: /whois nick",
                                  "Usage: /notice nick text"}));
  IrcDouble.calls.clear();
  ConsoleClear();
  AppState.connectionState = Offline;
  ProcessInputLine("/whois carol");
  ProcessInputLine("/nick zed");
  EXPECT_TRUE(Calls().empty()) << "first call: " << Calls()[0];
  EXPECT_EQ(ConsoleText(), (Lines{"Not connected: /connect first.", "Your nickname will be \"zed\" when you connect."}));
  EXPECT_STREQ("zed", Settings.nickname);
}

bool answer = false;
std::string askedText;
bool FakeAsk(const char*, const char* text) {
  askedText = text;
  return answer;
}

TEST_F(CommandInterpreter, ARefusedCertificateIsTrustedOnlyWhenTheUserSaysYes) {
  char folder[] = "/tmp/qivra-trust-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(folder));
  setenv("XDG_CONFIG_HOME", folder, 1);
  Settings.useTls = true;
  Settings.port = 6697;
  SetField(Settings.saslAccount, "ann");
  SetField(Settings.saslPassword, "pw");
  IrcDouble.connectResult = kStreamCertificateRefused;
  IrcDouble.connectFailure = LinkFailTls;
  StreamTls& tls = Irc.streamLink.tls;
  tls.result = kStreamCertificateRefused;  // what the double's failed Connect leaves behind
  std::snprintf(tls.check.reason, sizeof tls.check.reason, "IP address mismatch");
  std::snprintf(tls.check.fingerprint, sizeof tls.check.fingerprint, "AB:CD:EF");
  AskYesNo = FakeAsk;

  answer = false;
  ProcessInputLine("/connect");
  Linked();
  EXPECT_TRUE(tls.wanted);
  EXPECT_STREQ("ann", Irc.login.account);
  EXPECT_NE(std::string::npos, askedText.find("AB:CD:EF")) << askedText;
  Lines lines = ConsoleText();
  ASSERT_EQ(3u, lines.size()) << "the refusal is the failure's line: no other follows";
  EXPECT_EQ("The certificate of irc.test:6697 was refused: IP address mismatch.", lines[1]);
  EXPECT_EQ("Not connected: the certificate was not trusted.", lines[2]);
  EXPECT_FALSE(IsCertificateTrusted("irc.test", 6697, "AB:CD:EF"));

  ProcessInputLine("/disconnect");
  ConsoleClear();
  IrcDouble.calls.clear();
  answer = true;
  ProcessInputLine("/connect");
  Linked();
  EXPECT_EQ(ConsoleText()[2], "Trusting that certificate for irc.test:6697 from now on.");
  EXPECT_EQ(AppState.connectionState, Connecting) << "connecting again at once";
  EXPECT_TRUE(IsCertificateTrusted("irc.test", 6697, "ab:cd:ef"));
  EXPECT_EQ(2, std::count(Calls().begin(), Calls().end(), "Connect(irc.test, 6697)")) << "tried again at once";

  AskYesNo = nullptr;
  Settings.useTls = false;
  tls = StreamTls();
  std::memset(&Irc.login, 0, sizeof Irc.login);
  std::string file = std::string(folder) + "/qivra/" + kTrustedCertificatesFile;
  std::remove(file.c_str());
  rmdir((std::string(folder) + "/qivra").c_str());
  rmdir(folder);
  unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
