// The dispatcher's pass over real server lines: codes, strings, table changes and replies.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "irc/irc_client.h"
#include "irc/peer_reach.h"
#include "irc/receive_thread.h"
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
  };
  void Expect(const Case& c) {
    std::string nick, message;
    EXPECT_EQ(c.code, Pass(c.line, &nick, &message)) << c.line;
    EXPECT_EQ(c.nick, nick) << c.line;
    EXPECT_EQ(c.message, message) << c.line;
  }
};

TEST_F(DispatcherTest, ChatLinesFromKnownPeersAreClassifiedOthersIgnored) {
  AddKnown("alice");
  const Case cases[] = {
      {":alice!a@h PRIVMSG #qivra :hello there\r\n", 1, "alice", "hello there"},
      {":alice!a@h PRIVMSG #qivra :\x01" "ACTION waves\x01\r\n", 2, "alice", "waves"},
      {":alice!a@h PRIVMSG #qivra :\x01" "ACTION\x01\r\n", 2, "alice", ""},
      {":alice!a@h PRIVMSG me :hi\r\n", 3, "alice", "hi"},
      {":alice!a@h PRIVMSG #qivra :bare line feed\n", 1, "alice", "bare line feed"},
      {":bob!b@h PRIVMSG #qivra :hello\r\n", 0, "", ""},
      {":Alice!a@h PRIVMSG #qivra :case counts\r\n", 0, "", ""},
      {":srv.test PRIVMSG #qivra :server prefix\r\n", 0, "", ""},
  };
  for (const Case& c : cases) Expect(c);
  // A plain version query from an ordinary client gets no answer.
  Expect({":alice!a@h PRIVMSG me :\x01VERSION\x01\r\n", 0, "", ""});
  EXPECT_TRUE(server.NothingWithin(30));
}

TEST_F(DispatcherTest, MembershipLinesKeepTheTableInStep) {
  Expect({":alice!a@h JOIN :#qivra\r\n", 4, "alice", "#qivra"});
  EXPECT_EQ("WHOIS alice\r\n", Next());
  EXPECT_NE(0, Irc.peerTable.FindByNick("alice"));
  Expect({":me!u@h JOIN :#qivra\r\n", 0, "", ""});
  Expect({":carol!c@h JOIN #qivra\r\n", 4, "carol", "#qivra"});
  EXPECT_EQ("WHOIS carol\r\n", Next());

  Expect({":alice!a@h NICK :bob\r\n", 9, "alice", "bob"});
  EXPECT_EQ(0, Irc.peerTable.FindByNick("alice"));
  EXPECT_NE(0, Irc.peerTable.FindByNick("bob"));
  Expect({":zed!z@h NICK :zz\r\n", 0, "", ""});
  Expect({":me!u@h NICK :me2\r\n", 0, "", ""});

  Expect({":bob!a@h PART #qivra :later\r\n", 5, "bob", "later"});
  EXPECT_EQ(0, Irc.peerTable.FindByNick("bob"));
  Expect({":carol!c@h QUIT :Quit: gone\r\n", 6, "carol", "Quit: gone"});
  EXPECT_EQ(0, Irc.peerTable.FindByNick("carol"));
  Expect({":stranger!s@h QUIT :x\r\n", 6, "stranger", "x"});
}

TEST_F(DispatcherTest, KicksCountOnlyBetweenKnownPeers) {
  AddKnown("op");
  AddKnown("alice");
  Expect({":op!o@h KICK #qivra alice :bye\r\n", 10, "op", "alice"});
  EXPECT_EQ(0, Irc.peerTable.FindByNick("alice"));
  AddKnown("alice");
  Expect({":nobody!n@h KICK #qivra alice :bye\r\n", 0, "", ""});
  EXPECT_NE(0, Irc.peerTable.FindByNick("alice")) << "a kick by a stranger changes nothing";
  Expect({":op!o@h KICK #qivra me :out\r\n", 0, "", ""});
  Expect({":op!o@h KICK #qivra ghost :out\r\n", 0, "", ""});
}

TEST_F(DispatcherTest, ModeNumericsNoticesAndOddLines) {
  const Case cases[] = {
      {":op!o@h MODE #qivra +o alice\r\n", 11, "", "+o alice"},
      {":srv 001 me :Welcome\r\n", 0, "", ""},
      {":srv 372 me :- message of the day\r\n", 0, "", ""},
      {"NOTICE AUTH :x\r\n", 0, "", ""},
      {":srv NOTICE me :server notice\r\n", 0, "", ""},
      {"ERROR :Closing link\r\n", 0, "", ""},
      {"FOO\r\n", 0, "", ""},
      {"\r\n", 0, "", ""},
      {"", 0, "", ""},
      {":\r\n", 0, "", ""},
  };
  for (const Case& c : cases) Expect(c);
  EXPECT_TRUE(server.NothingWithin(20));
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

TEST_F(DispatcherTest, WhoisHostThatResolvesStartsTheHelloHandshake) {
  UdpPeer peer;
  ASSERT_TRUE(peer.Bind(1, 6669));
  int alice = AddKnown("alice");
  EXPECT_EQ(102, Pass(":srv 311 me alice a " + TestAddress(1) + " * :Alice\r\n"));
  std::string hello;
  ASSERT_TRUE(peer.Receive(&hello));
  EXPECT_EQ("cme", hello);
  EXPECT_EQ(TestAddressValue(1), Irc.peerTable.slots[alice].address.address);
  EXPECT_EQ(0, Irc.peerTable.slots[alice].address.port);
  EXPECT_EQ(0, Irc.peerTable.IsActive(alice));
  // By name too, through the resolver; the same address is not greeted again within 10 s.
  EXPECT_EQ(102, Pass(":srv 311 me alice a peer1.test * :Alice\r\n"));
  EXPECT_FALSE(peer.Receive(&hello, 30));
  // Not in the table: nothing.
  EXPECT_EQ(0, Pass(":srv 311 me ghost g " + TestAddress(1) + " * :G\r\n"));
  EXPECT_FALSE(peer.Receive(&hello, 30));
}

TEST_F(DispatcherTest, WhoisHostThatDoesNotResolveAsksThePeerOverIrc) {
  int alice = AddKnown("alice");
  EXPECT_EQ(0, Pass(":srv 311 me alice a cloaked.invalid * :Alice\r\n"));
  EXPECT_EQ("PRIVMSG alice :\x01VERSION\x01:Q" + TestAddress(0) + "\r\n", Next())
      << "a client bound to an address names that address";
  EXPECT_EQ(0u, Irc.peerTable.slots[alice].address.address);
}

TEST_F(DispatcherTest, AddressQuestionAndAnswerOverIrc) {
  UdpPeer peer;
  ASSERT_TRUE(peer.Bind(1, 6669));
  int alice = AddKnown("alice");
  std::string nick, message;
  EXPECT_EQ(0, Pass(":alice!a@h PRIVMSG me :\x01VERSION\x01:Q" + TestAddress(1) + "\r\n", &nick, &message));
  EXPECT_EQ("", nick);
  std::string hello;
  ASSERT_TRUE(peer.Receive(&hello));
  EXPECT_EQ("cme", hello);
  EXPECT_EQ(TestAddressValue(1), Irc.peerTable.slots[alice].address.address);
  EXPECT_EQ("PRIVMSG alice :\x01VERSION\x01:A" + TestAddress(0) + "\r\n", Next());

  EXPECT_EQ(0, Pass(":alice!a@h PRIVMSG me :\x01VERSION\x01:Apeer1.test\r\n"));
  EXPECT_FALSE(peer.Receive(&hello, 30)) << "the same address again within 10 s";
  EXPECT_TRUE(server.NothingWithin(30)) << "an answer is not answered";

  EXPECT_EQ(0, Pass(":alice!a@h PRIVMSG me :\x01VERSION\x01:Qnowhere.test\r\n"));
  EXPECT_EQ("PRIVMSG alice :\x01VERSION\x01:A" + TestAddress(0) + "\r\n", Next());
  EXPECT_FALSE(peer.Receive(&hello, 30)) << "a host that does not resolve sends no hello";
  EXPECT_EQ(0, Pass(":stranger!s@h PRIVMSG me :\x01VERSION\x01:Q" + TestAddress(1) + "\r\n"));
  EXPECT_TRUE(server.NothingWithin(30));
}

TEST_F(DispatcherTest, PeersAreToldTheWelcomeLineAddressAndHousematesTheLocalOne) {
  // The server showed us at TestAddress(3) (our router's address, say); the links are bound
  // to TestAddress(0), our address on the local network.
  NoteWelcomeLine((":srv 001 me :Welcome to the Test IRC Network me!u@" + TestAddress(3)).c_str());
  AddKnown("alice");
  EXPECT_EQ(0, Pass(":alice!a@h PRIVMSG me :\x01VERSION\x01:Q" + TestAddress(1) + "\r\n"));
  EXPECT_EQ("PRIVMSG alice :\x01VERSION\x01:A" + TestAddress(3) + "\r\n", Next());

  // bob's host is our own public address: he sits behind our router, which does not pass
  // datagrams back in, so each side tells the other its local address.
  int bob = AddKnown("bob");
  EXPECT_EQ(102, Pass(":srv 311 me bob b " + TestAddress(3) + " * :Bob\r\n"));
  EXPECT_EQ("PRIVMSG bob :\x01VERSION\x01:Q" + TestAddress(0) + "\r\n", Next());
  EXPECT_EQ(102, Pass(":srv 311 me bob b " + TestAddress(3) + " * :Bob\r\n"));
  EXPECT_TRUE(server.NothingWithin(30)) << "asked once";
  UdpPeer bobPeer;
  ASSERT_TRUE(bobPeer.Bind(2, 6669));
  EXPECT_EQ(0, Pass(":bob!b@h PRIVMSG me :\x01VERSION\x01:Q" + TestAddress(2) + "\r\n"));
  EXPECT_EQ("PRIVMSG bob :\x01VERSION\x01:A" + TestAddress(0) + "\r\n", Next());
  std::string hello;
  ASSERT_TRUE(bobPeer.Receive(&hello)) << "greeted at his local address too";
  EXPECT_EQ(100, Deliver(bobPeer, "Cbob")) << "whichever address answers binds him";
  EXPECT_EQ(TestAddressValue(2), Irc.peerTable.slots[bob].address.address);
  EXPECT_EQ(1, Irc.peerTable.IsLinked(bob));
}

TEST_F(DispatcherTest, OverlongAndHostileLinesOverrunNothing) {
  std::string any;
  for (int i = 0; i < 2047; ++i) any += static_cast<char>(1 + (i * 37) % 255);
  for (char& c : any) if (c == '\n') c = ' ';
  Pass(any);
  std::string longNick(2030, 'n');
  EXPECT_EQ(4, Pass(":" + longNick + "!u@h JOIN :#qivra\r\n"));
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
