// Finding the channel's members: one WHO after the own JOIN, WHOIS for the rest, and the pace
// at which these lines and typed chat go out.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "irc/chat_commands.h"
#include "irc/irc_client.h"
#include "irc/session.h"
#include "irc/line_pacing.h"
#include "platform/ticks.h"
#include "tests/irc/net_test_support.h"

namespace {

class MemberLookupTest : public ClientTest {
 protected:
  void TearDown() override {
    StartLinePacing(0, 1);
    TestClocks.ticks = nullptr;
    ClientTest::TearDown();
  }
  std::string Next() {
    std::string line;
    EXPECT_TRUE(server.NextLine(&line)) << "expected a line from the client";
    return line;
  }
};

TEST_F(MemberLookupTest, MembersNamedAfterTheOwnJoinAreFoundByOneWho) {
  UdpPeer alice, bob;
  ASSERT_TRUE(alice.Bind(1, 6669));
  ASSERT_TRUE(bob.Bind(2, 6669));
  Pass(":me!u@h JOIN #qivra\r\n");
  Pass(":srv 353 me = #qivra :me @alice bob carol\r\n");
  Pass(":srv 353 me = #qivra :dave\r\n");
  Pass(":dave!d@h PART #qivra\r\n");
  Pass(":erin!e JOIN :#qivra\r\n");  // between the names and their end, no host: the WHO finds her
  EXPECT_TRUE(server.NothingWithin(30)) << "no WHOIS for anyone named";
  Pass(":srv 366 me #qivra :End of NAMES list\r\n");
  EXPECT_EQ("WHO #qivra\r\n", Next());
  EXPECT_EQ("PRIVMSG #qivra :\x01QIVRA\x01\r\n", Next()) << "QIVRA announced to the channel";
  Pass(":srv 352 me #qivra a " + TestAddress(1) + " srv alice H@ :0 Alice\r\n");
  Pass(":srv 352 me #qivra b " + TestAddress(2) + " srv bob H :0 Bob\r\n");
  Pass(":srv 352 me #qivra m 10.0.0.9 srv me H :0 Me\r\n");
  std::string hello;
  ASSERT_TRUE(alice.Receive(&hello));
  EXPECT_EQ(HelloFrom('c', "me"), hello);
  ASSERT_TRUE(bob.Receive(&hello));
  EXPECT_EQ(HelloFrom('c', "me"), hello);
  EXPECT_EQ(TestNetAddress(2), Irc.peerTable.slots[Irc.peerTable.FindByNick("bob")].address.address);
  // carol and erin were left out of the WHO: each is asked on her own at its end.
  Pass(":srv 315 me #qivra :End of WHO list\r\n");
  std::string first = Next(), second = Next();
  EXPECT_EQ("WHOIS carol\r\nWHOIS erin\r\n", first + second);
  Pass(":frank!f JOIN :#qivra\r\n");
  EXPECT_EQ("WHOIS frank\r\n", Next()) << "a later joiner whose JOIN names no host is asked for at once";
  Pass(":srv 366 me #qivra :End of NAMES list\r\n");
  EXPECT_TRUE(server.NothingWithin(30)) << "names asked for later bring no second WHO";
}

TEST_F(MemberLookupTest, LinesArePacedAfterABurstAndTypedChatGoesFirst) {
  TestClocks.ticks = FakeTicks;
  fakeNow = 7000;
  StartLinePacing(2000, 5);
  for (int i = 1; i <= 7; ++i) SendLookupLine("WHOIS m%d", i);
  for (int i = 1; i <= 5; ++i) EXPECT_EQ("WHOIS m" + std::to_string(i) + "\r\n", Next()) << "the burst";
  EXPECT_TRUE(server.NothingWithin(30));
  EXPECT_EQ(2, PacedLinesWaiting());
  SayTo("#qivra", "hello");
  SayTo("#qivra", "again");
  EXPECT_EQ(2000, MsUntilPacedLine());
  fakeNow += 1999;
  SendPacedLinesDue();
  EXPECT_TRUE(server.NothingWithin(30)) << "one line per 2 s after the burst";
  fakeNow += 1;
  SendPacedLinesDue();
  EXPECT_EQ("PRIVMSG #qivra :hello\r\n", Next()) << "typed chat goes before the lookups";
  fakeNow += 4000;
  SendPacedLinesDue();
  EXPECT_EQ("PRIVMSG #qivra :again\r\n", Next());
  EXPECT_EQ("WHOIS m6\r\n", Next());
  EXPECT_EQ(1, PacedLinesWaiting());
  fakeNow += 60000;  // a long quiet time refills only the burst
  SendPacedLinesDue();
  EXPECT_EQ("WHOIS m7\r\n", Next());
  for (int i = 1; i <= 5; ++i) SayTo("#qivra", "x");
  for (int i = 1; i <= 4; ++i) EXPECT_EQ("PRIVMSG #qivra :x\r\n", Next());
  EXPECT_TRUE(server.NothingWithin(30));
  EndSession("bye");
  EXPECT_EQ("PRIVMSG #qivra :x\r\n", Next()) << "a typed line still goes when leaving";
  EXPECT_EQ("QUIT :bye\r\n", Next());
}

TEST_F(MemberLookupTest, AnswersToOtherClientsWaitBehindLookupsAndChat) {
  TestClocks.ticks = FakeTicks;
  fakeNow = 7000;
  StartLinePacing(2000, 1);
  SendAnswerLine("A1");
  EXPECT_EQ("A1\r\n", Next()) << "the burst";
  SendAnswerLine("A2");  // waiting before the lookup and the chat, it goes after them
  SendLookupLine("WHOIS newcomer");
  SayTo("#qivra", "hello");
  for (const char* expected : {"PRIVMSG #qivra :hello\r\n", "WHOIS newcomer\r\n", "A2\r\n"}) {
    fakeNow += 2000;
    SendPacedLinesDue();
    EXPECT_EQ(expected, Next());
  }
}

}  // namespace
