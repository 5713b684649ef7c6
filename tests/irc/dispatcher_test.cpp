// The dispatcher's pass over real server lines: codes, strings, table changes and replies.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>

#include "core/ignore_list.h"
#include "irc/irc_client.h"
#include "irc/session.h"
#include "irc/words/reply_lines.h"
#include "irc/words/ctcp_lines.h"
#include "irc/words/ctcp_ping.h"
#include "irc/peer_reach.h"
#include "irc/receive_thread.h"
#include "platform/ticks.h"
#include "tests/irc/net_test_support.h"

namespace {

class DispatcherTest : public ClientTest {
 protected:
  std::string Next() {
    std::string line;
    EXPECT_TRUE(server.NextLine(&line)) << "expected a line from the client";
    return line;
  }
  struct Case {
    const char* line;
    int code;
    const char* nick;
    const char* message;
    const char* channel = nullptr;  // the event's channel or partner, when the case checks it
  };
  void Expect(const Case& c) {
    std::string nick, message;
    EXPECT_EQ(c.code, Pass(c.line, &nick, &message)) << c.line;
    EXPECT_EQ(c.nick, nick) << c.line;
    EXPECT_EQ(c.message, message) << c.line;
    if (c.channel) {
      EXPECT_STREQ(c.channel, passed.channel) << c.line;
    }
  }
};

TEST_F(DispatcherTest, ChatLinesAreClassifiedFromAnyoneButAServer) {
  AddKnown("alice");
  const Case cases[] = {
      {":alice!a@h PRIVMSG #qivra :hello there\r\n", 1, "alice", "hello there", "#qivra"},
      {":alice!a@h PRIVMSG #qivra :\x01" "ACTION waves\x01\r\n", 2, "alice", "waves"},
      {":alice!a@h PRIVMSG #qivra :\x01" "ACTION\x01\r\n", 2, "alice", ""},
      {":alice!a@h PRIVMSG me :hi\r\n", 3, "alice", "hi", "alice"},  // the conversation with alice
      {":alice!a@h PRIVMSG #qivra :bare line feed\n", 1, "alice", "bare line feed"},
      // Users outside the channel (or the table) are shown too.
      {":bob!b@h PRIVMSG #qivra :hello\r\n", 1, "bob", "hello"},
      {":zed!z@h PRIVMSG me :psst\r\n", 3, "zed", "psst"},
      {":alice!a@h PRIVMSG me :\x01" "ACTION waves\x01\r\n", EventAction, "alice", "waves", "alice"},
      {":srv.test PRIVMSG #qivra :server prefix\r\n", 0, "", ""},
  };
  for (const Case& c : cases) Expect(c);
  EXPECT_TRUE(server.NothingWithin(30));
}

TEST_F(DispatcherTest, MembershipLinesKeepTheTableInStep) {
  Expect({":alice!a JOIN :#qivra\r\n", 4, "alice", "#qivra"});
  EXPECT_EQ("WHOIS alice\r\n", Next()) << "a JOIN that names no host";
  EXPECT_NE(0, Irc.peerTable.FindByNick("alice"));
  Expect({":me!u@h JOIN :#qivra\r\n", EventJoined, "me", "", "#qivra"});
  Expect({":carol!c@h JOIN #qivra\r\n", 4, "carol", "#qivra", "#qivra"});
  EXPECT_TRUE(server.NothingWithin(30)) << "a host that does not resolve: carol is asked nothing";

  Expect({":alice!a@h NICK :bob\r\n", 9, "alice", "bob"});
  EXPECT_EQ(0, Irc.peerTable.FindByNick("alice"));
  EXPECT_NE(0, Irc.peerTable.FindByNick("bob"));
  Expect({":zed!z@h NICK :zz\r\n", 0, "", ""});
  Expect({":me!u@h NICK :me2\r\n", EventText, "", "You are now known as me2"});
  EXPECT_STREQ("me2", Irc.peerTable.self.nick) << "the server confirmed the user's new name";

  Expect({":bob!a@h PART #qivra :later\r\n", 5, "bob", "later"});
  Expect({":dan!d@h PART #qivra\r\n", 5, "dan", ""});
  EXPECT_EQ(0, Irc.peerTable.FindByNick("bob"));
  Expect({":carol!c@h QUIT :Quit: gone\r\n", 6, "carol", "Quit: gone"});
  EXPECT_EQ(0, Irc.peerTable.FindByNick("carol"));
  Expect({":stranger!s@h QUIT :x\r\n", 6, "stranger", "x"});
}

TEST_F(DispatcherTest, KicksRemoveTheKickedPeerAndShowTheReason) {
  AddKnown("op");
  AddKnown("alice");
  Expect({":op!o@h KICK #qivra alice\r\n", 10, "op", "alice"});
  EXPECT_EQ(0, Irc.peerTable.FindByNick("alice"));
  AddKnown("alice");
  Expect({":ChanServ!s@services KICK #qivra alice :flooding\r\n", EventText, "",
          "alice was kicked by ChanServ (flooding)"});
  EXPECT_EQ(0, Irc.peerTable.FindByNick("alice")) << "a kicker outside the table still kicks";
  Expect({":op!o@h KICK #qivra ghost :out\r\n", EventText, "", "ghost was kicked by op (out)"});
  Expect({":op!o@h KICK #qivra me :enough\r\n", EventLeft, "op", "enough", "#qivra"});
  EXPECT_EQ(1, passed.result) << "kicked, not parted";
  EXPECT_EQ(0, Irc.peerTable.FindByNick("op")) << "out of the channel, nobody stands in the room";
}

TEST_F(DispatcherTest, ServerLinesNoticesAndOddLines) {
  const Case cases[] = {
      {":op!o@h MODE #qivra +o alice\r\n", EventModeChange, "op", "#qivra +o alice"},
      {":insp.test MODE #qivra +lk 10 :secret\r\n", EventModeChange, "insp.test", "#qivra +lk 10 secret"},
      {":me!m@h MODE me :+i\r\n", EventText, "", "me sets mode +i"},
      {":srv 001 me :Welcome\r\n", EventText, "", "-server- Welcome"},
      {"NOTICE AUTH :x\r\n", EventText, "", "-server- x"},
      {":srv NOTICE me :server notice\r\n", EventText, "", "-server- server notice"},
      {":alice!a@h NOTICE me :psst\r\n", EventNotice, "alice", "psst", ""},
      {":alice!a@h NOTICE #qivra :to all\r\n", EventNotice, "alice", "to all", "#qivra"},
      {"ERROR :Closing link\r\n", EventText, "", "-server- Closing link"},
      {":srv 433 me taken :Nickname already in use\r\n", EventText, "",  // after the welcome
       "The nickname \"taken\" is already in use: choose another with /nick name."},
      {":alice!a@h TOPIC #qivra :new words\r\n", EventText, "", "alice changed the topic of #qivra to: new words"},
      {":alice!a@h TOPIC #qivra :\r\n", EventText, "", "alice removed the topic of #qivra"},
      {":srv 332 me #qivra :the topic\r\n", EventText, "", "Topic of #qivra: the topic"},
      {":srv 333 me #qivra alice!a@h\r\n", EventText, "", "Topic set by alice"},
      {":srv 331 me #qivra :No topic is set\r\n", EventText, "", "#qivra has no topic"},
      {":alice!a@h INVITE me :#club\r\n", EventText, "", "alice invites you to #club (/join #club)"},
      {":srv 352 me #qivra a h srv alice H :0 A\r\n", 0, "", ""},
      {":srv 301 me ada :gone\r\n", 0, "", ""},  // away: shown only for a message the user sent
      {"FOO\r\n", 0, "", ""},
      {"\r\n", 0, "", ""},
      {"", 0, "", ""},
      {":\r\n", 0, "", ""},
  };
  for (const Case& c : cases) Expect(c);
  EXPECT_TRUE(server.NothingWithin(20));
}

// An ignored user's messages, actions, notices and requests are neither shown nor answered;
// the user's comings and goings still keep the table in step.
TEST_F(DispatcherTest, IgnoredUsersAreNotShown) {
  AddKnown("dave");
  ASSERT_EQ(IgnoreAdded, IgnoreNick("Dave"));
  const Case cases[] = {
      {":dave!d@h PRIVMSG #qivra :hello\r\n", 0, "", ""},
      {":dave!d@h PRIVMSG #qivra :\x01" "ACTION waves\x01\r\n", 0, "", ""},
      {":dave!d@h NOTICE me :psst\r\n", 0, "", ""},
      {":dave!d@h PRIVMSG me :\x01VERSION\x01\r\n", 0, "", ""},
      {":dave!d@h NICK :davy\r\n", 9, "dave", "davy"},
      {":erin!e@h PRIVMSG #qivra :still shown\r\n", 1, "erin", "still shown"},
  };
  for (const Case& c : cases) Expect(c);
  EXPECT_TRUE(server.NothingWithin(20)) << "an ignored request was answered";
  ClearIgnoredNicks();
  Expect({":dave!d@h PRIVMSG #qivra :heard again\r\n", 1, "dave", "heard again"});
}

TEST_F(DispatcherTest, ClientRequestsAreAnsweredAtMostOnceASecond) {
  uint32_t now = 5000;
  static uint32_t* clock = &now;
  TestClocks.ticks = [] { return *clock; };
  Expect({":dave!d@h PRIVMSG me :\x01VERSION\x01\r\n", EventText, "", "CTCP VERSION from dave (answered)"});
  EXPECT_EQ(std::string("NOTICE dave :\x01VERSION ") + kClientVersion + "\x01\r\n", Next());
  Expect({":dave!d@h PRIVMSG me :\x01PING 12345\x01\r\n", EventText, "",
          "CTCP PING from dave (not answered: too many requests)"});
  EXPECT_TRUE(server.NothingWithin(20));
  now += 1000;
  Expect({":dave!d@h PRIVMSG #qivra :\x01PING 12345\x01\r\n", EventText, "", "CTCP PING from dave (answered)"});
  EXPECT_EQ("NOTICE dave :\x01PING 12345\x01\r\n", Next());
  Expect({":dave!d@h PRIVMSG me :\x01" "FINGER\x01\r\n", EventText, "", "CTCP FINGER from dave (not answered)"});
  Expect({":dave!d@h NOTICE me :\x01VERSION irssi 1.4\x01\r\n", EventText, "",
          "CTCP VERSION reply from dave: irssi 1.4"});
  // The answer to our own PING tells the round trip; an echo of nothing we sent is shown as it came.
  char request[32];
  StampCtcpPing(request, sizeof request);
  EXPECT_STREQ("PING 6000", request);
  now += 210;
  Expect({":dave!d@h NOTICE me :\x01PING 6000\x01\r\n", EventText, "", "PING reply from dave: 0.21 s"});
  Expect({":dave!d@h NOTICE me :\x01PING 6000\x01\r\n", EventText, "", "CTCP PING reply from dave: 6000"});
  Expect({":dave!d@h NOTICE me :\x01PING\x01\r\n", EventText, "", "CTCP PING reply from dave: "});
  // The address handshake stays what it was: silent, and only with peers in the table.
  Expect({":dave!d@h PRIVMSG me :\x01VERSION\x01:Q10.0.0.1\r\n", 0, "", ""});
  EXPECT_TRUE(server.NothingWithin(20));
  TestClocks.ticks = nullptr;
}

TEST_F(DispatcherTest, NamesReplyShowsTheMembersOnceTheListEnds) {
  Expect({":srv 353 me = #qivra :me @alice\r\n", 102, "", ""});
  Expect({":srv 353 me = #qivra :+bob\r\n", 102, "", ""});
  Expect({":srv 366 me #qivra :End of NAMES list\r\n", EventMemberList, "", "me, @alice, +bob", "#qivra"});
  EXPECT_EQ(3, passed.result);
  EXPECT_EQ("WHOIS alice\r\n", Next());
  EXPECT_EQ("WHOIS bob\r\n", Next());
  // "/names" again: shown again, but nobody is entered (or looked up) twice.
  Expect({":srv 353 me = #qivra :me @alice +bob\r\n", 102, "", ""});
  Expect({":srv 366 me #qivra :End of NAMES list\r\n", EventMemberList, "", "me, @alice, +bob", "#qivra"});
  EXPECT_TRUE(server.NothingWithin(20));
  // A list longer than one line shows in parts; the last part carries the count.
  Irc.peerTable.Clear();
  std::string names;
  for (int i = 0; i < 250; ++i) names += "user" + std::to_string(1000 + i) + " ";
  std::string nick, message;
  int flushed = 0;
  for (std::size_t at = 0; at < names.size(); at += 450) {
    if (Pass(":srv 353 me = #big :" + names.substr(at, 450) + "\r\n", &nick, &message) == EventMemberList) {
      ++flushed;
      EXPECT_EQ("user1000, ", message.substr(0, 10));
      EXPECT_EQ(0, passed.result) << "a part carries no count";
    }
  }
  EXPECT_EQ(1, flushed);
  EXPECT_EQ(EventMemberList, Pass(":srv 366 me #big :End\r\n", &nick, &message));
  EXPECT_EQ("user1", message.substr(0, 5));
  EXPECT_EQ("user1249", message.substr(message.size() - 8));
  EXPECT_EQ(250, passed.result);
}

TEST_F(DispatcherTest, WhoisRepliesShowOnlyForTheUsersOwnRequest) {
  AddKnown("alice");
  EXPECT_EQ(102, Pass(":srv 311 me alice a cloaked.invalid * :Alice\r\n"));
  Expect({":srv 312 me alice srv.test :Test server\r\n", 0, "", ""});
  Expect({":srv 318 me alice :End of WHOIS\r\n", 0, "", ""});
  Expect({":srv 401 me carol :No such nick\r\n", 0, "", ""});  // a look-up of a peer who left

  NoteUserQuery("Bob", true);  // what "/whois Bob" has the link thread note before it asks
  QueueChatLine("WHOIS Bob");
  EXPECT_EQ("WHOIS Bob\r\n", Next());
  Expect({":srv 311 me bob b host.test * :Bob Example\r\n", EventText, "", "-server- bob is b@host.test (Bob Example)"});
  Expect({":srv 312 me bob srv.test :Test server\r\n", EventText, "", "-server- bob is on srv.test (Test server)"});
  Expect({":srv 671 me bob :is using a secure connection\r\n", EventText, "", "-server- bob is using a secure connection"});
  Expect({":srv 318 me bob :End of WHOIS\r\n", 0, "", ""});
  Expect({":srv 311 me bob b host.test * :Bob Example\r\n", 0, "", ""});  // a later look-up is quiet
  NoteUserQuery("zed", false);  // "/notice zed hello?"
  QueueChatLine("NOTICE zed :hello?");
  EXPECT_EQ("NOTICE zed :hello?\r\n", Next());
  Expect({":srv 401 me zed :No such nick\r\n", EventText, "", "No such nickname or channel: zed."});
  NoteUserQuery("yan", false);  // "/msg" to someone not there
  QueueChatLine("PRIVMSG yan :hi");
  EXPECT_EQ("PRIVMSG yan :hi\r\n", Next());
  Expect({":srv 401 me yan :No such nick\r\n", EventText, "", "No such nickname or channel: yan."});
}

TEST_F(DispatcherTest, PingInEveryFormIsAnsweredAndNeverShown) {
  const struct {
    const char* ping;
    const char* pong;
  } cases[] = {
      {"PING :123\r\n", "PONG :123\r\n"},
      {"PING abc\r\n", "PONG abc\r\n"},
      {":srv PING :abc\r\n", "PONG :abc\r\n"},
      {"PING\r\n", "PONG\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(101, Pass(c.ping)) << c.ping;
    EXPECT_EQ(c.pong, Next()) << c.ping;
  }
}

TEST_F(DispatcherTest, NamesReplyEntersEveryNameOnce) {
  EXPECT_EQ(102, Pass(":srv 353 me = #qivra :me @alice bob \r\n"));
  EXPECT_EQ("WHOIS alice\r\n", Next());
  EXPECT_EQ("WHOIS bob\r\n", Next());
  EXPECT_TRUE(server.NothingWithin(20)) << "own name refused, trailing space adds nothing";
  Irc.peerTable.Clear();
  EXPECT_EQ(102, Pass(":irc2.test 353 me @ #qivra :bob   alice  +carol @+dave \r\n"));
  for (const char* who : {"bob", "alice", "carol", "dave"}) EXPECT_EQ(std::string("WHOIS ") + who + "\r\n", Next());
  EXPECT_TRUE(server.NothingWithin(20)) << "runs of spaces enter no empty names";
  for (int i = 1; i < kPeerSlots; ++i) {
    if (Irc.peerTable.IsKnown(i)) {
      EXPECT_NE(0, Irc.peerTable.slots[i].nick[0]) << "slot " << i;
    }
  }
  EXPECT_EQ(102, Pass(":srv 353 me = #qivra :\r\n"));
  EXPECT_EQ(102, Pass(":srv 353 me = #qivra\r\n"));
  EXPECT_TRUE(server.NothingWithin(20));
}

// ircd-irc2 answers a NAMES for every channel with one list after another and one end: each
// list shows when the next begins, the last at the end.
TEST_F(DispatcherTest, NamesOfSeveralChannelsShowOneListEach) {
  std::string nick, message;
  EXPECT_EQ(102, Pass(":irc2.test 353 me = #qivra :bob me \r\n", &nick, &message));
  EXPECT_EQ(EventMemberList, Pass(":irc2.test 353 me = &WALLOPS :\r\n", &nick, &message));
  EXPECT_EQ("bob, me", message);
  EXPECT_STREQ("#qivra", passed.channel);
  EXPECT_EQ(2, passed.result);
  EXPECT_EQ(102, Pass(":irc2.test 353 me = #other :carol\r\n", &nick, &message)) << "an empty list shows nothing";
  EXPECT_EQ(EventMemberList, Pass(":irc2.test 353 me * * :\r\n", &nick, &message));
  EXPECT_EQ("carol", message);
  EXPECT_STREQ("#other", passed.channel);
  EXPECT_EQ(EventNone, Pass(":irc2.test 366 me * :End of NAMES list.\r\n", &nick, &message))
      << "the users in no channel: none";
}

TEST_F(DispatcherTest, WhoisHostThatResolvesStartsTheHelloHandshake) {
  UdpPeer peer;
  ASSERT_TRUE(peer.Bind(1, 6669));
  int alice = AddKnown("alice");
  EXPECT_EQ(102, Pass(":srv 311 me alice a " + TestAddress(1) + " * :Alice\r\n"));
  std::string hello;
  ASSERT_TRUE(peer.Receive(&hello));
  EXPECT_EQ(HelloFrom('c', "me"), hello);
  EXPECT_EQ(TestNetAddress(1), Irc.peerTable.slots[alice].address.address);
  EXPECT_EQ(0, Irc.peerTable.slots[alice].address.port);
  EXPECT_EQ(0, Irc.peerTable.IsActive(alice));
  // By name too, through the resolver; the same address is not greeted again within 10 s.
  EXPECT_EQ(102, Pass(":srv 311 me alice a peer1.test * :Alice\r\n"));
  EXPECT_FALSE(peer.Receive(&hello, 30));
  // Not in the table: nothing.
  EXPECT_EQ(0, Pass(":srv 311 me ghost g " + TestAddress(1) + " * :G\r\n"));
  EXPECT_FALSE(peer.Receive(&hello, 30));
}

// A host that does not resolve (a cloak) says nothing of whether its member runs QIVRA: nobody
// is asked, and nobody learns an address of ours, until the member has shown itself.
TEST_F(DispatcherTest, WhoisHostThatDoesNotResolveAsksNobody) {
  int alice = AddKnown("alice");
  EXPECT_EQ(102, Pass(":srv 311 me alice a cloaked.invalid * :Alice\r\n"));
  EXPECT_TRUE(server.NothingWithin(50)) << "no address question to someone who may run no QIVRA";
  EXPECT_FALSE(NetAddressIsSet(Irc.peerTable.slots[alice].address.address));
}

TEST_F(DispatcherTest, AddressQuestionAndAnswerOverIrc) {
  static std::atomic<uint32_t> now{9000};  // the link thread reads it too
  now = 9000;
  TestClocks.ticks = [] { return now.load(); };
  UdpPeer peer;
  ASSERT_TRUE(peer.Bind(1, 6669));
  int alice = AddKnown("alice");
  std::string nick, message;
  EXPECT_EQ(0, Pass(":alice!a@h PRIVMSG me :\x01VERSION\x01:Q" + TestAddress(1) + "\r\n", &nick, &message));
  EXPECT_EQ("", nick);
  std::string hello;
  ASSERT_TRUE(peer.Receive(&hello));
  EXPECT_EQ(HelloFrom('c', "me"), hello);
  EXPECT_EQ(TestNetAddress(1), Irc.peerTable.slots[alice].address.address);
  EXPECT_EQ("PRIVMSG alice :\x01VERSION\x01:A" + TestAddress(0) + "\r\n", Next());

  EXPECT_EQ(0, Pass(":alice!a@h PRIVMSG me :\x01VERSION\x01:Apeer1.test\r\n"));
  EXPECT_FALSE(peer.Receive(&hello, 30)) << "the same address again within 10 s";
  EXPECT_TRUE(server.NothingWithin(30)) << "an answer is not answered";

  now += kAnswerAgainMs;  // a question is answered once a minute
  EXPECT_EQ(0, Pass(":alice!a@h PRIVMSG me :\x01VERSION\x01:Qnowhere.test\r\n"));
  EXPECT_EQ("PRIVMSG alice :\x01VERSION\x01:A" + TestAddress(0) + "\r\n", Next());
  EXPECT_FALSE(peer.Receive(&hello, 30)) << "a host that does not resolve sends no hello";
  EXPECT_EQ(0, Pass(":stranger!s@h PRIVMSG me :\x01VERSION\x01:Q" + TestAddress(1) + "\r\n"));
  EXPECT_TRUE(server.NothingWithin(30)) << "someone outside the channel is not answered";
  TestClocks.ticks = nullptr;
}

// One member's questions cannot fill the queue of outgoing lines: an answer a minute each.
TEST_F(DispatcherTest, QuestionsAreAnsweredOnceAMinutePerMember) {
  static std::atomic<uint32_t> now{9000};  // the link thread reads it too
  now = 9000;
  TestClocks.ticks = [] { return now.load(); };
  AddKnown("alice");
  AddKnown("bob");
  const std::string ask = "PRIVMSG me :\x01VERSION\x01:Q" + TestAddress(1) + "\r\n";
  for (int i = 0; i < 30; ++i) Pass(":alice!a@h " + ask);
  EXPECT_EQ("PRIVMSG alice :\x01VERSION\x01:A" + TestAddress(0) + "\r\n", Next());
  Pass(":bob!b@h " + ask);
  EXPECT_EQ("PRIVMSG bob :\x01VERSION\x01:A" + TestAddress(0) + "\r\n", Next()) << "bob is not held by alice";
  EXPECT_TRUE(server.NothingWithin(30)) << "alice's other questions are ignored";
  now += kAnswerAgainMs;
  Pass(":alice!a@h " + ask);
  EXPECT_EQ("PRIVMSG alice :\x01VERSION\x01:A" + TestAddress(0) + "\r\n", Next()) << "a minute later";
  TestClocks.ticks = nullptr;
}

// The JOIN line names the joiner's host: no WHOIS; a name is looked up off the reading thread.
TEST_F(DispatcherTest, JoinHostIsTakenWithoutAWhois) {
  UdpPeer one, two;
  ASSERT_TRUE(one.Bind(1, 6669));
  ASSERT_TRUE(two.Bind(2, 6669));
  std::string hello;
  EXPECT_EQ(4, Pass(":alice!a@" + TestAddress(1) + " JOIN :#qivra\r\n"));
  ASSERT_TRUE(one.Receive(&hello));
  EXPECT_EQ(HelloFrom('c', "me"), hello);
  EXPECT_EQ(4, Pass(":bob!b@peer2.test JOIN :#qivra\r\n"));
  DeliverHostsFor(200);
  ASSERT_TRUE(two.Receive(&hello)) << "a host name, resolved by a helper";
  EXPECT_TRUE(server.NothingWithin(30)) << "no WHOIS, no question";
  // A resolver that takes its time holds up nothing: the next lines are taken meanwhile.
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(4, Pass(":carol!c@slow.test JOIN :#qivra\r\n"));
  EXPECT_EQ(1, Pass(":alice!a@h PRIVMSG #qivra :still here\r\n"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  std::string asked;
  DeliverHostsFor(3500);
  EXPECT_FALSE(server.NextLine(&asked, 100)) << "once the name failed, nobody is asked anything: " << asked;
  // Gone before the lookup ends: nothing either.
  EXPECT_EQ(4, Pass(":dave!d@slow.test JOIN :#qivra\r\n"));
  EXPECT_EQ(6, Pass(":dave!d@slow.test QUIT :bye\r\n"));
  DeliverHostsFor(3500);
  EXPECT_TRUE(server.NothingWithin(100));
  // Kept to IPv4, an IPv6 host is none at all; erin, who runs QIVRA, tells hers herself.
  LinkIPv6 = false;
  EXPECT_EQ(4, Pass(":erin!e@2001:db8::5 JOIN :#qivra\r\n"));
  EXPECT_TRUE(server.NothingWithin(100));
  LinkIPv6 = true;
}

// "PRESENCE off": members are entered for the chat, but nothing of the presence goes out.
TEST_F(DispatcherTest, PresenceOffSendsNothingOfThePresence) {
  Irc.presenceOff = true;
  UdpPeer peer;
  ASSERT_TRUE(peer.Bind(1, 6669));
  EXPECT_EQ(EventJoined, Pass(":me!u@h JOIN #qivra\r\n"));
  EXPECT_EQ(102, Pass(":srv 353 me = #qivra :me @alice\r\n"));
  EXPECT_EQ(EventMemberList, Pass(":srv 366 me #qivra :End of NAMES list\r\n"));
  EXPECT_EQ(4, Pass(":bob!b@" + TestAddress(1) + " JOIN :#qivra\r\n"));
  EXPECT_EQ(4, Pass(":carol!c JOIN :#qivra\r\n"));
  EXPECT_EQ(0, Pass(":bob!b@h PRIVMSG me :\x01VERSION\x01:Q" + TestAddress(1) + "\r\n"));
  EXPECT_EQ(0, Pass(":srv 311 me bob b " + TestAddress(1) + " * :Bob\r\n"));
  std::string hello;
  EXPECT_FALSE(peer.Receive(&hello, 100)) << "no hello";
  EXPECT_TRUE(server.NothingWithin(50)) << "no WHO, WHOIS, question or answer";
}  // the next connect sets presenceOff again

TEST_F(DispatcherTest, PeersAreToldTheWelcomeLineAddressAndHousematesTheLocalOne) {
  // The server showed us at TestAddress(3) (our router's address, say); the links are bound
  // to TestAddress(0), our address on the local network.
  static IrcMessage welcome;
  ParseIrcMessage((":srv 001 me :Welcome to the Test IRC Network me!u@" + TestAddress(3)).c_str(), &welcome);
  NoteWelcome(welcome);
  AddKnown("alice");
  EXPECT_EQ(0, Pass(":alice!a@h PRIVMSG me :\x01VERSION\x01:Q" + TestAddress(1) + "\r\n"));
  EXPECT_EQ("PRIVMSG alice :\x01VERSION\x01:A" + TestAddress(3) + "\r\n", Next());

  // bob's host is our own public address: he sits behind our router, which does not pass
  // datagrams back in, so each side tells the other its local address, once he has shown that
  // he runs QIVRA (an older one, by his ":Q").
  int bob = AddKnown("bob");
  EXPECT_EQ(102, Pass(":srv 311 me bob b " + TestAddress(3) + " * :Bob\r\n"));
  EXPECT_TRUE(server.NothingWithin(30)) << "nothing before he shows that he runs QIVRA";
  UdpPeer bobPeer;
  ASSERT_TRUE(bobPeer.Bind(2, 6669));
  EXPECT_EQ(0, Pass(":bob!b@h PRIVMSG me :\x01VERSION\x01:Q" + TestAddress(2) + "\r\n"));
  EXPECT_EQ("PRIVMSG bob :\x01VERSION\x01:Q" + TestAddress(0) + "\r\n", Next());
  EXPECT_EQ("PRIVMSG bob :\x01VERSION\x01:A" + TestAddress(0) + "\r\n", Next());
  EXPECT_EQ(102, Pass(":srv 311 me bob b " + TestAddress(3) + " * :Bob\r\n"));
  EXPECT_TRUE(server.NothingWithin(30)) << "asked once";
  std::string hello;
  ASSERT_TRUE(bobPeer.Receive(&hello)) << "greeted at his local address too";
  EXPECT_EQ(100, Deliver(bobPeer, "Cbob")) << "whichever address answers binds him";
  EXPECT_EQ(TestNetAddress(2), Irc.peerTable.slots[bob].address.address);
  EXPECT_EQ(1, Irc.peerTable.IsLinked(bob));

  // A newer housemate gets our local address in our details.
  AddKnown("carol");
  EXPECT_EQ(102, Pass(":srv 311 me carol c " + TestAddress(3) + " * :Carol\r\n"));
  EXPECT_EQ(0, Pass(":carol!c@h NOTICE me :\x01QIVRA ask relay rooms\x01\r\n"));
  ServicePresence();
  const std::string details = Next();
  EXPECT_NE(std::string::npos, details.find(" at=" + TestAddress(0) + "\x01")) << details;
  EXPECT_EQ(std::string::npos, details.find(TestAddress(3))) << details;
}

TEST_F(DispatcherTest, OverlongAndHostileLinesOverrunNothing) {
  std::string any;
  for (int i = 0; i < 2047; ++i) any += static_cast<char>(1 + (i * 37) % 255);
  for (char& c : any) if (c == '\n') c = ' ';
  Pass(any);
  std::string longNick(2030, 'n');
  EXPECT_EQ(4, Pass(":" + longNick + "!u JOIN :#qivra\r\n"));  // no host: a WHOIS
  std::string whois = Next();
  EXPECT_EQ("\r\n", whois.substr(whois.size() - 2));
  std::string huge(2047, 'h');
  Irc.peerTable.AddPeer(huge.c_str());  // "WHOIS " and the nickname do not fit: cut, line end kept
  std::string cut = Next();
  EXPECT_EQ(2047u, cut.size());
  EXPECT_EQ(1, Pass(":" + longNick + "!u@h PRIVMSG #qivra :" + std::string(2047, 'x')));
  std::string words;
  while (words.size() < 2040) words += "a:b ";
  Pass(":a!b@c KICK " + words);
  Pass(":a!b@c 353 " + words);
  Pass(":srv 311 me " + std::string(2000, 'z') + " u h");
  Pass(std::string(2047, ' '));
  Pass(std::string(2047, ':'));
  std::string drained;
  while (server.NextLine(&drained, 30)) {
  }
  EXPECT_EQ(101, Pass("PING :" + std::string(2041, 'p')));
  std::string pong = Next();
  EXPECT_EQ("PONG :", pong.substr(0, 6));
  EXPECT_EQ("\r\n", pong.substr(pong.size() - 2));
}

}  // namespace

namespace {

std::string NoLinkLineFor(int members) {
  NoLinkLine due{};
  for (int i = 0; i < members; ++i) NoLinkLineAdd(&due, ("m" + std::to_string(i)).c_str());
  char text[1200];
  return FormatNoLinkLine(due, text, sizeof text) ? text : "<none>";
}

TEST(NoLinkLine, NamesOneMemberAsAlwaysAndCountsTheRestOfACrowd) {
  EXPECT_EQ("<none>", NoLinkLineFor(0));
  EXPECT_EQ("No direct link to m0 yet: the avatar will appear when one is found.", NoLinkLineFor(1));
  EXPECT_EQ("No direct link to m0, m1, m2 yet: the avatars will appear when one is found.",
            NoLinkLineFor(3));
  EXPECT_EQ("No direct link to m0, m1, m2, m3, m4, m5, m6, m7 and 191 more yet: the avatars will "
            "appear when one is found.",
            NoLinkLineFor(199));
}

}  // namespace
