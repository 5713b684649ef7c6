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
#include "app/conversations.h"
#include "app/reconnect_plan.h"
#include "console/console_log.h"
#include "console/settings.h"
#include "console/trusted_certificates.h"
#include "core/ignore_list.h"
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
void Linked() { ConnectFinished(IrcDouble.connectResult, DoubleReport()); }

// Registered and in #room, as the server's JOIN leaves the client.
void InRoom() {
  AppState.connectionState = InChannel;
  int index = OpenConversation("#room", ChannelConversation);
  Conversations.list[index].joined = true;
  ActivateConversation(index);
}

void SetField(char* field, const char* value) {
  std::snprintf(field, kSettingLength, "%s", value);
}

// The console lines written since the test began, oldest first (the scrollback's too).
Lines ConsoleText() {
  Lines lines;
  for (int back = ConsoleHistoryCount() - 1; back >= 0; --back)
    if (ConsoleHistoryLine(back)[0]) lines.emplace_back(ConsoleHistoryLine(back));
  return lines;
}

class CommandInterpreter : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetIrcDouble();
    Conversations = ConversationsRecord{{}, 0, -1, -1, ""};
    for (int id = 1; id < kConsoleBuffers; ++id) ConsoleCloseBuffer(id);  // the conversations' buffers
    ConsoleShowBuffer(0);
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
    TestClocks.ticks = FakeTicks;
  }
  void TearDown() override { TestClocks.ticks = nullptr; }
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
  ProcessInputLine("in no channel");
  InRoom();
  ProcessInputLine("quit /help");
  EXPECT_EQ(ConsoleText(), (Lines{"Not sent (not connected): hello there", "Not sent (not connected): /me waves",
                                  "Not sent (not connected): /msg bob psst",
                                  "Not sent (still connecting): too early",
                                  "Not sent (in no channel: /join #channel first): in no channel",
                                  "<ann> quit /help"}));
  EXPECT_EQ(Calls(), (Lines{"SayTo(#room, quit /help)"}));
}

TEST_F(CommandInterpreter, QuitHelpAndExplodeWriteTheirLines) {
  ProcessInputLine("/quit");
  ProcessInputLine("/help");
  ProcessInputLine("/explode now");  // the first word names the command; the rest is not read
  const Lines lines = ConsoleText();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "Press Escape twice to quit.");
  EXPECT_EQ(lines.back(), "Test Explosion Spawned");
  // One line per command, usage then what it does, every one a command the interpreter knows;
  // then the view's keys that no command does.
  const Lines help(lines.begin() + 2, lines.end() - 5), keys(lines.end() - 5, lines.end() - 1);
  EXPECT_EQ(help.size(), 39u);
  EXPECT_EQ(keys[1], "Home (walking) - level the view");
  EXPECT_EQ(keys[2].rfind("Escape twice (walking) - leave the room", 0), 0u) << keys[2];
  for (const std::string& line : help) {
    EXPECT_EQ(line[0], '/') << line;
    EXPECT_NE(line.find(" - "), std::string::npos) << line;
    ConsoleClear();
    ProcessInputLine(line.substr(0, line.find(' ')).c_str());
    for (const std::string& shown : ConsoleText()) EXPECT_EQ(shown.find("Unknown command"), std::string::npos) << line;
  }
  EXPECT_NE(std::find(help.begin(), help.end(), "/kick nick [reason] - put nick out of the channel"), help.end());
  ASSERT_EQ(Explosions.size(), 2u) << "once typed, once from its help line";
  EXPECT_EQ(Explosions[0].y, 0.2f);
}

// The whole first word is the command: a longer word, another case of a classic command, or a
// command word later in the line runs nothing.
TEST_F(CommandInterpreter, OnlyTheWholeFirstWordNamesACommand) {
  InRoom();
  const Lines typed = {"/QUIT", "/Help", "/CONNECT", "/PART bye", "/", "/frobnicate a b", "/meow",
                       "/messages", "/joiner", "/connected", "/me", "/msgbob hi", "/serverirc.other"};
  Lines unknown;
  for (const std::string& line : typed) {
    ProcessInputLine(line.c_str());
    const std::string word = line.substr(0, line.find(' '));
    unknown.push_back(line == "/me" ? "Usage: /me text" : "Unknown command: " + word + " (/help lists the commands)");
  }
  EXPECT_EQ(ConsoleText(), unknown);
  EXPECT_TRUE(Calls().empty()) << "first call: " << Calls()[0];
  EXPECT_STREQ(Settings.channel, "#room");
  EXPECT_STREQ(Settings.server, "irc.test");
  EXPECT_EQ(AppState.connectionState, InChannel);

  ProcessInputLine("/msg alice try /connect now");
  ProcessInputLine("/me waves at  you ");
  EXPECT_EQ(Calls(), (Lines{"SayTo(alice, try /connect now)", "SayTo(#room, \x01" "ACTION waves at  you \x01)"}));
  EXPECT_EQ(ConsoleText().back(), "* ann waves at  you ");
}

TEST_F(CommandInterpreter, TheLinkThreadConnectsWhileTheWindowGoesOn) {
  ProcessInputLine("/connect");
  EXPECT_EQ(Calls(), (Lines{"StartSession(irc.test, 6667)"}));
  EXPECT_EQ(AppState.connectionState, Connecting) << "the link thread connects; the window goes on";
  ProcessInputLine("too early");
  Linked();
  EXPECT_EQ(Calls(), (Lines{"StartSession(irc.test, 6667)", "Register(ann, ann_u, irc.test, Ann Example)"}));
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
  const Lines attempt = {"StartSession(irc.test, 6667)", "EndSession()"};
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
  EXPECT_EQ(Calls(), (Lines{"StartSession(irc.test, 6667)", "Register(ann, ann_u, irc.test, Ann Example)"}));
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
    EXPECT_EQ(Calls(), (Lines{"EndSession(Quit)"})) << "from state " << state;
    EXPECT_EQ(AppState.connectionState, Offline);
  }
}

// "/join" adds a channel and never parts one; a channel the user is in is shown instead.
// "/part" leaves the current channel or the one named, with a reason.
TEST_F(CommandInterpreter, JoinAddsAndPartLeavesOne) {
  ProcessInputLine("/part");  // offline: nothing to leave
  InRoom();
  ProcessInputLine("/join foo");
  ProcessInputLine("/j #Other");
  ProcessInputLine("/join");  // no word: usage
  EXPECT_STREQ(Settings.channel, "#room") << "the configured channel stays";
  ProcessInputLine("/join #ROOM");  // already in it: only shown
  ProcessInputLine("/part bye for now");
  ProcessInputLine("/part #OTHER see you");  // the channel named is the one left
  ProcessInputLine("/part #elsewhere");
  EXPECT_EQ(Calls(), (Lines{"Join(#foo)", "Join(#Other)", "Part(#room, bye for now)", "Part(#OTHER, see you)",
                            "Part(#elsewhere)"}));
  EXPECT_EQ(ConsoleText(), (Lines{"In no channel: nothing to leave.", "Usage: /join #channel"}));
  EXPECT_STREQ(Conversations.activateOnJoin, "#Other") << "the channel typed last is shown once in";
  EXPECT_EQ(IrcDouble.room, "#room");
}

TEST_F(CommandInterpreter, OverlongJoinAndServerWordsAreCut) {
  InRoom();
  const std::string word = "#" + std::string(199, 'c');
  ProcessInputLine(("/join " + word).c_str());
  EXPECT_EQ(Calls().back(), "Join(" + word.substr(0, 127) + ")");

  const std::string host = std::string(120, 'h') + ".test";
  AppState.connectionState = Offline;
  ProcessInputLine(("/server " + host).c_str());  // offline: only stored
  EXPECT_EQ(std::string(Settings.server), host.substr(0, 63));
}

TEST_F(CommandInterpreter, MsgSaysTheWholeTextToOneNicknameAndShowsIt) {
  AppState.connectionState = InChannel;
  ProcessInputLine("/msg friend psst private hello");
  ProcessInputLine("/msg  bob  hi ");
  ProcessInputLine("/msg bob");  // no text: nothing is sent
  ProcessInputLine("/msg    ");
  EXPECT_EQ(Calls(), (Lines{"SayTo(friend, psst private hello)", "SayTo(bob, hi )"}));
  EXPECT_EQ(ConsoleText(), (Lines{"-> friend: psst private hello", "-> bob: hi ", "Usage: /msg nick text",
                                  "Usage: /msg nick text"}));
}

TEST_F(CommandInterpreter, ServerWhileOfflineOnlyStoresTheServer) {
  ProcessInputLine("/server irc.other");
  EXPECT_STREQ(Settings.server, "irc.other");
  EXPECT_TRUE(Calls().empty()) << "first call: " << Calls()[0];
  EXPECT_EQ(ConsoleText(), (Lines{"Not connected: /connect will use server irc.other."}));
  ProcessInputLine("/connect");
  EXPECT_EQ(Calls()[0], "StartSession(irc.other, 6667)");
}

TEST_F(CommandInterpreter, ServerChangeReconnectsNickFirstWithTheHostName) {
  AppState.connectionState = InChannel;
  ProcessInputLine("/server irc.other");
  EXPECT_STREQ(Settings.server, "irc.other");
  EXPECT_EQ(AppState.connectionState, Connecting) << "the window goes on while the thread connects";
  Linked();
  RegistrationFinished("-server- End of MOTD");
  EXPECT_EQ(Calls(), (Lines{"EndSession(Quit)", "StartSession(irc.other, 6667)",
                            "Register(ann, ann_u, annhost, Ann Example)"}));
  EXPECT_EQ(ConsoleText(), (Lines{"-server- End of MOTD"})) << "no channel is joined until /join";
  EXPECT_EQ(AppState.connectionState, InChannel);

  ResetIrcDouble();
  AppState.connectionState = Registering;
  ProcessInputLine("/server");  // no word: the same server again
  EXPECT_EQ(Calls()[1], "StartSession(irc.other, 6667)");
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
  EXPECT_EQ(Calls().back(), "EndSession(Quit)");
  EXPECT_EQ(AppState.connectionState, Offline);
}

TEST_F(CommandInterpreter, ServerChangeWithAFailedConnectOrALostLinkGivesUpAtOnce) {
  AppState.connectionState = InChannel;
  IrcDouble.connectResult = 0;
  ProcessInputLine("/server nowhere.test");
  Linked();
  EXPECT_EQ(Calls(), (Lines{"EndSession(Quit)", "StartSession(nowhere.test, 6667)",
                            "EndSession()", "EndSession(Quit)"}));
  EXPECT_EQ(ConsoleText().front(), "Gave up waiting for nowhere.test to register.");
  EXPECT_EQ(AppState.connectionState, Offline);

  ResetIrcDouble();
  ConsoleClear();
  AppState.connectionState = InChannel;
  ProcessInputLine("/server closing.test");
  Linked();
  LinkEnded(true, DoubleReport());
  EXPECT_EQ(ConsoleText().front(), "Gave up waiting for closing.test to register.");
  EXPECT_EQ(AppState.connectionState, Offline);
  EXPECT_FALSE(Reconnect.active) << "a \"/server\" that failed plans no tries";
}

TEST_F(CommandInterpreter, DisconnectDuringTheServerChangeEndsItAndLateEventsChangeNothing) {
  AppState.connectionState = InChannel;
  ProcessInputLine("/server irc.other");
  ProcessInputLine("/disconnect");  // Escape
  EXPECT_EQ(Calls().back(), "EndSession(Quit)");
  EXPECT_EQ(ConsoleText(), (Lines{"Disconnecting...", "Disconnected."}));
  EXPECT_EQ(AppState.connectionState, Offline);
  ResetIrcDouble();
  Linked();
  RegistrationFinished("");
  LinkEnded(false, DoubleReport());
  FakeNow += 20000;
  WatchConnection();
  EXPECT_TRUE(Calls().empty()) << "first call: " << Calls()[0];
  EXPECT_EQ(AppState.connectionState, Offline);
}

// The text of the Say and SayTo calls, in order.
// The texts said to target, in order.
Lines SaidTexts(const char* target) {
  Lines texts;
  const std::string head = std::string("SayTo(") + target + ", ";
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
  InRoom();
  std::string words;
  for (int i = 0; words.size() < 1000; ++i) words += (i ? " word" : "word") + std::to_string(i);
  // ":ann!" user (20) "@" host (64) " PRIVMSG #room :" text "\r\n" within 512
  const std::size_t room = 510 - (1 + 3 + 1 + 20 + 1 + 64 + 1) - 8 - 5 - 2;
  ProcessInputLine(words.c_str());
  Lines said = SaidTexts("#room");
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
  said = SaidTexts("#room");
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
  said = SaidTexts("bob");
  ASSERT_EQ(said.size(), 2u);
  const std::size_t roomToBob = room + 5 - 3;  // "bob" instead of "#room"
  EXPECT_EQ(said[0], word.substr(0, roomToBob));
  EXPECT_EQ(said[1], word.substr(roomToBob));
}

TEST_F(CommandInterpreter, LostLinkIsReportedAndTriedAgainAfterGrowingWaits) {
  AppState.connectionState = InChannel;
  FakeNow = 0xFFFFFC18u;  // the tick count wraps during the first wait
  ReportLostLink();
  EXPECT_EQ(ConsoleText(), (Lines{"Connection to irc.test lost.",
                                  "Reconnecting in 2 s (Escape or /disconnect stops it)."}));
  EXPECT_EQ(Calls(), (Lines{"EndSession(Quit)"}));
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
    EXPECT_EQ(Calls(), (Lines{"StartSession(irc.test, 6667)", "EndSession()"}));
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
  EXPECT_EQ(Calls(), (Lines{"StartSession(irc.test, 6667)", "Register(ann, ann_u, irc.test, Ann Example)"}));
  EXPECT_EQ(AppState.connectionState, Registering);
  LinkEnded(false, DoubleReport());
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

  // A registration that fails without tries going on says why, without a next try; a server
  // that closed without a byte may be a TLS port.
  AppState.connectionState = Registering;
  ConsoleClear();
  ReportFailedRegistration(true, DoubleReport());
  EXPECT_EQ(ConsoleText(), (Lines{"Could not connect to irc.test:6667: closed by the server; this port may want "
                                  "TLS: try +6667."}));
}

TEST_F(CommandInterpreter, AddedCommandsTakeAnyCaseAndSayWhatIsMissing) {
  InRoom();
  for (const char* line : {"/NICK bob", "/Topic new words", "/topic", "/names", "/WhoIs carol",
                           "/notice dave hi there", "/nick", "/whois", "/notice dave"}) {
    ProcessInputLine(line);
  }
  EXPECT_EQ(Calls(), (Lines{"ChangeNick(bob)", "Topic(#room, new words)", "Topic(#room)", "Names(#room)",
                            "Whois(carol)", "Notice(dave, hi there)"}));
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

// Each added command: what the line sends, and what the console says. In a channel, "#room".
TEST_F(CommandInterpreter, AddedCommandsSendTheirLinesInAnyCase) {
  const struct {
    const char* typed;
    Lines sent;     // the double's calls
    Lines console;  // the lines the command writes
  } cases[] = {
      {"/away gone fishing", {"Send(AWAY :gone fishing)"}, {}},
      {"/kick bob", {"Send(KICK #room bob)"}, {}},
      {"/Kick bob that was rude", {"Send(KICK #room bob :that was rude)"}, {}},
      {"/mode +m", {"Send(MODE #room +m)"}, {}},
      {"/mode #c +o x", {"Send(MODE #c +o x)"}, {}},
      {"/mode ann +i", {"Send(MODE ann +i)"}, {}},
      {"/mode", {"Send(MODE #room)"}, {}},
      {"/op alice", {"Send(MODE #room +o alice)"}, {}},
      {"/op a b c d", {"Send(MODE #room +ooo a b c)", "Send(MODE #room +o d)"}, {}},
      {"/DEOP alice  bob", {"Send(MODE #room -oo alice bob)"}, {}},
      {"/devoice carol", {"Send(MODE #room -v carol)"}, {}},
      {"/AWAY", {"Send(AWAY)"}, {}},
      {"/ban bob", {"Send(MODE #room +b bob!*@*)"}, {}},
      {"/ban *!*@10.0.0.9", {"Send(MODE #room +b *!*@10.0.0.9)"}, {}},
      {"/invite bob", {"Send(INVITE bob #room)"}, {}},
      {"/invite bob #club", {"Send(INVITE bob #club)"}, {}},
      {"/list", {"Send(LIST)"}, {}},
      {"/motd", {"AskForMotd()", "Send(MOTD)"}, {}},
      {"/ctcp bob version", {"Send(PRIVMSG bob :\x01VERSION\x01)"}, {"-> bob: CTCP VERSION"}},
      {"/CTCP bob ping 12 Ab", {"Send(PRIVMSG bob :\x01PING 12 Ab\x01)"}, {"-> bob: CTCP PING 12 Ab"}},
      // A bare PING carries the time it went (the tick count), for the round trip.
      {"/ctcp bob ping", {"Send(PRIVMSG bob :\x01PING 4242\x01)"}, {"-> bob: CTCP PING 4242"}},
      // The address handshake's form cannot be typed: the marks inside are dropped.
      {"/ctcp bob VERSION\x01:Q10.0.0.1", {"Send(PRIVMSG bob :\x01VERSION:Q10.0.0.1\x01)"},
       {"-> bob: CTCP VERSION:Q10.0.0.1"}},
      {"/quote PRIVMSG #room :as typed", {"Send(PRIVMSG #room :as typed)"}, {"-> server: PRIVMSG #room :as typed"}},
      {"/raw WHO #room\r\nQUIT :x", {"Send(WHO #room)"}, {"-> server: WHO #room"}},
      // What is missing is named, and nothing goes.
      {"/kick", {}, {"Usage: /kick nick [reason]"}},
      {"/op", {}, {"Usage: /op nick..."}},
      {"/ban", {}, {"Usage: /ban nick|mask"}},
      {"/invite", {}, {"Usage: /invite nick [#channel]"}},
      {"/invite bob club", {}, {"Usage: /invite nick [#channel]"}},
      {"/ctcp bob", {}, {"Usage: /ctcp nick what (VERSION, PING, TIME ...)"}},
      {"/quote", {}, {"Usage: /quote line (sent to the server as typed)"}},
  };
  InRoom();
  TestClocks.ticks = [] { return 4242u; };
  for (const auto& c : cases) {
    ResetIrcDouble();
    ConsoleClear();
    ProcessInputLine(c.typed);
    EXPECT_EQ(Calls(), c.sent) << c.typed;
    EXPECT_EQ(ConsoleText(), c.console) << c.typed;
  }
  TestClocks.ticks = nullptr;
}

TEST_F(CommandInterpreter, CommandsThatNeedTheServerSayWhyNothingWasSent) {
  InRoom();
  AppState.connectionState = Offline;
  const Lines typed = {"/away back soon", "/kick bob", "/mode +m", "/op alice", "/ban bob", "/invite bob",
                       "/list", "/ctcp bob PING 1", "/quote MOTD", "/motd", "/part bye"};
  Lines expected;
  for (const std::string& line : typed) {
    ProcessInputLine(line.c_str());
    expected.push_back("Not sent (not connected): " + line);
  }
  AppState.connectionState = Registering;
  ProcessInputLine("/mode +m");
  expected.push_back("Not sent (still connecting): /mode +m");
  EXPECT_EQ(ConsoleText(), expected);
  EXPECT_TRUE(Calls().empty()) << "first call: " << Calls()[0];
}

// "/query bob" opens a conversation of its own and shows it: plain lines and actions go to bob
// until "/query" alone (or "/close") closes it and the channel shows again.
TEST_F(CommandInterpreter, QueryOpensAConversationUntilItIsClosed) {
  InRoom();
  ProcessInputLine("/query");
  ProcessInputLine("/QUERY bob");
  EXPECT_STREQ(PrivateTarget(), "bob");
  EXPECT_EQ(IrcDouble.room, "#room") << "the room stays the channel's";
  ProcessInputLine("just between us");
  ProcessInputLine("/me waves privately");
  EXPECT_EQ(ConsoleText(), (Lines{"Talking privately to bob (/query alone ends it)", "<ann> just between us",
                                  "* ann waves privately"}))
      << "bob's conversation shows in a console of its own";
  ProcessInputLine("/query");
  EXPECT_STREQ(PrivateTarget(), "");
  ProcessInputLine("to everyone");
  ProcessInputLine("/q carol");
  ProcessInputLine("/close");
  ProcessInputLine("/close");
  EXPECT_EQ(Calls(), (Lines{"SayTo(bob, just between us)", "SayTo(bob, \x01" "ACTION waves privately\x01)",
                            "SayTo(#room, to everyone)"}));
  EXPECT_EQ(ConsoleText(), (Lines{"Usage: /query nick (plain lines then go to nick)",
                                  "No longer talking privately to bob: lines go to the channel again",
                                  "<ann> to everyone",
                                  "No longer talking privately to carol: lines go to the channel again",
                                  "Not in a private conversation (/part leaves a channel)."}))
      << "the channel's console holds nothing of the private talk";
  EXPECT_EQ(Conversations.count, 1) << "only the channel is left open";
}

TEST_F(CommandInterpreter, IgnoreAndClear) {
  for (const char* line : {"/ignore", "/IGNORE Bob", "/ignore carol!c@host", "/ignore", "/unignore bob"})
    ProcessInputLine(line);
  EXPECT_EQ(ConsoleText(), (Lines{"Nobody is ignored (/ignore nick hides nick's messages)",
                                  "Ignoring Bob: messages, notices and CTCP from Bob are not shown",
                                  "Ignoring carol: messages, notices and CTCP from carol are not shown",
                                  "Ignoring: Bob, carol (2)", "No longer ignoring bob"}));
  EXPECT_TRUE(IsNickIgnored("CAROL"));
  ClearIgnoredNicks();
  ProcessInputLine("/Clear");
  EXPECT_EQ(ConsoleHistoryCount(), 0);
}

int LeaveCalls;
void CountLeave() { ++LeaveCalls; }

TEST_F(CommandInterpreter, QuitWithAReasonLeavesTheServerWithItAndEndsTheRun) {
  LeaveCalls = 0;
  LeaveRoom = CountLeave;
  AppState.connectionState = InChannel;
  ProcessInputLine("/quit");
  EXPECT_EQ(LeaveCalls, 0);
  ProcessInputLine("/quit going home");
  EXPECT_EQ(Calls(), (Lines{"EndSession(going home)"}));
  EXPECT_EQ(ConsoleText(), (Lines{"Press Escape twice to quit.", "Disconnecting...", "Disconnected."}));
  EXPECT_EQ(AppState.connectionState, Offline);
  EXPECT_EQ(LeaveCalls, 1);
  ProcessInputLine("/quit again");  // offline: nothing to send, the room is left all the same
  EXPECT_EQ(Calls().size(), 1u);
  EXPECT_EQ(LeaveCalls, 2);
  LeaveRoom = nullptr;
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
  TlsCertificateCheck& check = IrcDouble.check;  // what the failed connect's event reports
  std::snprintf(check.reason, sizeof check.reason, "IP address mismatch");
  std::snprintf(check.fingerprint, sizeof check.fingerprint, "AB:CD:EF");
  AskYesNo = FakeAsk;

  answer = false;
  ProcessInputLine("/connect");
  Linked();
  EXPECT_TRUE(IrcDouble.config.tls);
  EXPECT_STREQ("ann", IrcDouble.config.saslAccount);
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
  EXPECT_EQ(2, std::count(Calls().begin(), Calls().end(), "StartSession(irc.test, 6697)")) << "tried again at once";

  AskYesNo = nullptr;
  Settings.useTls = false;
  std::string file = std::string(folder) + "/qivra/" + kTrustedCertificatesFile;
  std::remove(file.c_str());
  rmdir((std::string(folder) + "/qivra").c_str());
  rmdir(folder);
  unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
