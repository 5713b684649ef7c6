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
int PumpCalls;
void AdvanceHalfSecond() {  // the pump stands for one slow turn of the window
  ++PumpCalls;
  FakeNow += 500;
}

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
    PumpCalls = 0;
    TickSourceOverride = FakeTicks;
    RegistrationWaitPump = AdvanceHalfSecond;
  }
  void TearDown() override {
    TickSourceOverride = nullptr;
    RegistrationWaitPump = nullptr;
  }
  const Lines& Calls() { return IrcDouble.calls; }
};

TEST_F(CommandInterpreter, ChatIsEchoedAndSaidInEveryState) {
  ProcessInputLine("hello there");
  AppState.connectionState = InChannel;
  ProcessInputLine("quit /help");
  EXPECT_EQ(ConsoleText(), (Lines{"<ann> hello there", "<ann> quit /help"}));
  EXPECT_EQ(Calls(), (Lines{"Say(hello there)", "Say(quit /help)"}));
}

TEST_F(CommandInterpreter, ExactCommandsWriteTheirLines) {
  ProcessInputLine("/quit");
  ProcessInputLine("/help");
  ProcessInputLine("/explode");
  EXPECT_EQ(ConsoleText(), (Lines{"Press ESC to quit.",
                                  "Commands: help,explode,connect,part,disconnect",
                                  "Test Explosion Spawned"}));
  ASSERT_EQ(Explosions.size(), 1u);
  EXPECT_EQ(Explosions[0].x, 0.0f);
  EXPECT_EQ(Explosions[0].y, 0.2f);
  EXPECT_EQ(Explosions[0].z, 0.0f);
  EXPECT_TRUE(Calls().empty()) << "first call: " << Calls()[0];
  EXPECT_EQ(AppState.connectionState, Offline) << "/quit must not quit or disconnect";
}

TEST_F(CommandInterpreter, OtherCasesTrailingTextAndUnknownCommandsAreIgnored) {
  AppState.connectionState = InChannel;
  for (const char* line : {"/QUIT", "/Help", "/quit ", "/explode now", "/EXPLODE", "/CONNECT",
                           "/disconnect ", "/Disconnect", "/part #room", "/JOIN #x", "/Msg bob hi",
                           "/ME waves", "/", "/nickname bob", "/who bob"}) {
    ProcessInputLine(line);
  }
  EXPECT_TRUE(ConsoleText().empty()) << "first line: " << ConsoleText()[0];
  EXPECT_TRUE(Calls().empty()) << "first call: " << Calls()[0];
  EXPECT_TRUE(Explosions.empty());
  EXPECT_EQ(AppState.connectionState, InChannel);
}

TEST_F(CommandInterpreter, ConnectAnywhereInTheLineWinsOverLaterCommands) {
  ProcessInputLine("/msg bob /connect");
  EXPECT_EQ(Calls(), (Lines{"Init()", "Connect(irc.test, 6667)", "SendUser(ann_u, irc.test, Ann Example)",
                            "SetNick(ann)"}));
  EXPECT_EQ(AppState.connectionState, Registering);
}

TEST_F(CommandInterpreter, ConnectSequenceAndASecondConnectThatDoesNothing) {
  IrcDouble.connectResult = 0;  // results are not examined: a failed link just never registers
  ProcessInputLine("/connect");
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

  for (ConnectionState state : {Registering, InChannel}) {
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

TEST_F(CommandInterpreter, MsgSaysOneWordToOneNickname) {
  ProcessInputLine("/msg bob hello world");
  ProcessInputLine("/msgbob hi");
  ProcessInputLine("/msg bob");  // no text: nothing is sent
  ProcessInputLine("/msg");
  ProcessInputLine("/msg    ");
  EXPECT_EQ(Calls(), (Lines{"SayTo(bob, hello)", "SayTo(bob, hi)"}));
  EXPECT_TRUE(ConsoleText().empty()) << "first line: " << ConsoleText()[0];
}

TEST_F(CommandInterpreter, MeSendsTheLineFromItsFifthCharacterAsAnAction) {
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
  IrcDouble.pollSucceedsOnCall = 3;
  ProcessInputLine("/serverirc.other");
  EXPECT_STREQ(Settings.server, "irc.other");
  EXPECT_EQ(Calls(), (Lines{"Disconnect(Quit)", "Cleanup()", "Init()", "Connect(irc.other, 6667)",
                            "SetNick(ann)", "SendUser(ann_u, annhost, Ann Example)",
                            "PollRegistration()", "PollRegistration()", "PollRegistration()"}));
  EXPECT_EQ(PumpCalls, 2) << "the window is pumped between polls";
  EXPECT_TRUE(ConsoleText().empty()) << "first line: " << ConsoleText()[0];
  EXPECT_EQ(AppState.connectionState, InChannel);

  // From Registering the receive thread owns the link afterwards, so the main
  // loop must stop polling it: the state leaves Registering. No channel is joined.
  ResetIrcDouble();
  AppState.connectionState = Registering;
  IrcDouble.pollSucceedsOnCall = 1;
  ProcessInputLine("/server");  // no word: the same server again
  EXPECT_EQ(Calls()[3], "Connect(irc.other, 6667)");
  EXPECT_EQ(Calls().back(), "PollRegistration()");
  EXPECT_EQ(AppState.connectionState, InChannel);
}

TEST_F(CommandInterpreter, ServerChangeWaitsFifteenSecondsAcrossATickWrap) {
  AppState.connectionState = InChannel;
  const uint32_t start = 0xFFFFF000u;  // the tick count wraps 4096 ms into the wait
  FakeNow = start;
  IrcDouble.pollSucceedsOnCall = 30;  // the poll at 14.5 s still counts
  ProcessInputLine("/server irc.slow");
  EXPECT_EQ(AppState.connectionState, InChannel);
  EXPECT_TRUE(ConsoleText().empty()) << "first line: " << ConsoleText()[0];

  ResetIrcDouble();
  FakeNow = start;
  ProcessInputLine("/server irc.slow");
  EXPECT_EQ(static_cast<uint32_t>(FakeNow - start), 15000u) << "gave up at the wrong time";
  EXPECT_EQ(ConsoleText(), (Lines{"Gave up waiting for irc.slow to register.", "Disconnecting...",
                                  "Disconnected."}));
  const Lines tail(Calls().end() - 3, Calls().end());
  EXPECT_EQ(tail, (Lines{"PollRegistration()", "Disconnect(Quit)", "Cleanup()"}));
  EXPECT_EQ(AppState.connectionState, Offline);
}

TEST_F(CommandInterpreter, ServerChangeWithAFailedConnectGivesUpAtOnce) {
  AppState.connectionState = InChannel;
  IrcDouble.connectResult = 0;
  ProcessInputLine("/server nowhere.test");
  EXPECT_EQ(Calls(), (Lines{"Disconnect(Quit)", "Cleanup()", "Init()", "Connect(nowhere.test, 6667)",
                            "Disconnect(Quit)", "Cleanup()"}));
  EXPECT_EQ(ConsoleText().front(), "Gave up waiting for nowhere.test to register.");
  EXPECT_EQ(AppState.connectionState, Offline);
}

TEST_F(CommandInterpreter, EscapeDuringTheWaitEndsItWithoutASecondDisconnect) {
  AppState.connectionState = InChannel;
  RegistrationWaitPump = [] {
    AdvanceHalfSecond();
    ProcessInputLine("/disconnect");
  };
  ProcessInputLine("/server irc.other");
  EXPECT_EQ(Calls().back(), "Cleanup()");
  EXPECT_EQ(IrcDouble.pollCalls, 1);
  EXPECT_EQ(ConsoleText(), (Lines{"Disconnecting...", "Disconnected."}));
  EXPECT_EQ(AppState.connectionState, Offline);
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
  IrcDouble.connectResult = 0;
  StreamTls& tls = Irc.streamLink.tls;
  tls.result = kStreamCertificateRefused;  // what the double's failed Connect leaves behind
  std::snprintf(tls.check.reason, sizeof tls.check.reason, "IP address mismatch");
  std::snprintf(tls.check.fingerprint, sizeof tls.check.fingerprint, "AB:CD:EF");
  AskYesNo = FakeAsk;

  answer = false;
  ProcessInputLine("/connect");
  EXPECT_TRUE(tls.wanted);
  EXPECT_STREQ("ann", Irc.login.account);
  EXPECT_NE(std::string::npos, askedText.find("AB:CD:EF")) << askedText;
  Lines lines = ConsoleText();
  ASSERT_EQ(4u, lines.size());
  EXPECT_EQ("The certificate of irc.test:6697 was refused: IP address mismatch.", lines[1]);
  EXPECT_EQ("Not connected: the certificate was not trusted.", lines[2]);
  EXPECT_FALSE(IsCertificateTrusted("irc.test", 6697, "AB:CD:EF"));

  ProcessInputLine("/disconnect");
  ConsoleClear();
  IrcDouble.calls.clear();
  answer = true;
  ProcessInputLine("/connect");
  EXPECT_EQ(ConsoleText()[2], "Trusting that certificate for irc.test:6697 from now on.");
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

TEST_F(CommandInterpreter, AnOverlongInputIsCutToTheInputLine) {
  const std::string chat(400, 'x');
  ProcessInputLine(chat.c_str());
  ProcessInputLine(("/me " + chat).c_str());
  ASSERT_EQ(Calls().size(), 2u);
  EXPECT_EQ(Calls()[0], "Say(" + chat.substr(0, 255) + ")");
  EXPECT_EQ(Calls()[1], "Say(\x01" "ACTION " + chat.substr(0, 251) + "\x01)");
}

}  // namespace
