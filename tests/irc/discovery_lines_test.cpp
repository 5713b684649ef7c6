// QIVRA members found over IRC on an injected clock: the announcement once a day per channel,
// our details only to members that have shown that they run QIVRA, answered together in one
// line, asks repeated with backoff until their details come, what their details bring.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "irc/discovery_lines.h"
#include "irc/irc_client.h"
#include "irc/line_pacing.h"
#include "irc/peer_reach.h"
#include "platform/ticks.h"
#include "presence/details_text.h"
#include "tests/irc/net_test_support.h"

namespace {

class DiscoveryLinesTest : public FakeClockTest {
 protected:
  void SetUp() override {
    FakeClockTest::SetUp();
    FormatSealKeyText(Irc.peerTable.ownSeal.publicKey, key);
  }
  // The own JOIN of channel with the names given, and the lines it brings.
  void Join(const std::string& channel, const std::string& names) {
    Pass(":me!u@h JOIN " + channel + "\r\n");
    Pass(":srv 353 me = " + channel + " :me " + names + "\r\n");
    Pass(":srv 366 me " + channel + " :End of NAMES list\r\n");
    EXPECT_EQ("WHO " + channel + "\r\n", Next());
  }
  std::string Details(const std::string& targets, bool ask) {
    return "NOTICE " + targets + " :\x01QIVRA " + (ask ? "ask " : "") + "relay rooms key=" + key +
           (SealFastCipherReady() ? " aes" : "") + " at=" + TestAddress(0) + "\x01\r\n";
  }
  char key[kSealKeyTextLength + 1];
};

TEST_F(DiscoveryLinesTest, TheAnnouncementGoesOnceADayWhereSomeoneElseIs) {
  Join("#alone", "");
  EXPECT_TRUE(server.NothingWithin(30)) << "alone: whoever comes later announces itself";
  Join("#qivra", "alice carol");
  EXPECT_EQ("PRIVMSG #qivra :\x01QIVRA\x01\r\n", Next());
  EXPECT_EQ(0, Pass(":alice!a@h PRIVMSG #qivra :\x01QIVRA\x01\r\n")) << "hers: taken, never shown";
  Service(kAnswerSpreadMs);
  EXPECT_EQ(Details("alice", true), Next());

  Pass(":me!u@h PART #qivra\r\n");
  Join("#qivra", "alice carol");
  Service(kAnswerSpreadMs);
  EXPECT_EQ(Details("alice", true), Next()) << "the same day: alice, known as QIVRA's, is asked alone";
  EXPECT_TRUE(server.NothingWithin(30)) << "carol hears nothing more that day";

  Pass(":me!u@h PART #qivra\r\n");
  fakeNow += 24u * 3600u * 1000u;
  Join("#qivra", "alice carol");
  EXPECT_EQ("PRIVMSG #qivra :\x01QIVRA\x01\r\n", Next()) << "a day later";
}

TEST_F(DiscoveryLinesTest, AnnouncementsAreAnsweredTogetherAndAsksRepeatUntilDetailsCome) {
  Join("#qivra", "carol");
  EXPECT_EQ("PRIVMSG #qivra :\x01QIVRA\x01\r\n", Next());
  const int alice = AddKnown("alice"), bob = AddKnown("bob");
  Irc.peerTable.slots[alice].rooms = Irc.peerTable.slots[bob].rooms = 1;
  Pass(":alice!a@h PRIVMSG #qivra :\x01QIVRA\x01\r\n");
  Pass(":bob!b@h PRIVMSG #qivra :\x01QIVRA\x01\r\n");
  Service(kAnswerSpreadMs);
  EXPECT_EQ(Details("alice,bob", true), Next()) << "one line for both, asking for theirs";
  Service();  // the line has gone: the asks are timed from now
  Service(AskBackoff(1) + 1000);
  EXPECT_EQ(Details("alice,bob", true), Next()) << "asked again after 2 s";
  Service();
  Pass(":bob!b@h NOTICE me :\x01QIVRA rooms key=" + std::string(64, 'b') + " look=5\x01\r\n");
  EXPECT_EQ(1, Irc.peerTable.seals[bob].agreed) << "bob's key taken";
  EXPECT_EQ(5, Irc.peerTable.slots[bob].look);
  Service(AskBackoff(2) - 1);
  EXPECT_TRUE(server.NothingWithin(30)) << "not before 4 s";
  Service(1000 + 1);
  EXPECT_EQ(Details("alice", true), Next()) << "then alice alone: bob's came";
  for (int ask = 3; ask < 9; ++ask) {
    Service();
    Service(AskBackoff(ask) + 1000);
    EXPECT_EQ(Details("alice", true), Next()) << "ask " << ask << ": never given up while she stays";
  }
  Service();
  Pass(":alice!a@h NOTICE me :\x01QIVRA ask key=" + std::string(64, 'c') + "\x01\r\n");
  Service();
  EXPECT_EQ(Details("alice", false), Next()) << "her ask: answered at once, without asking";
  Service(3600000);
  EXPECT_TRUE(server.NothingWithin(30)) << "carol got nothing but the announcement, ever";
}

TEST_F(DiscoveryLinesTest, DetailsAreTakenOnlyFromMembersAndNeverShown) {
  UdpPeer alicePeer;
  ASSERT_TRUE(alicePeer.Bind(1, 6669));
  const int alice = AddKnown("alice");
  std::string nick, text;
  const struct {
    std::string line;
    const char* why;
  } quiet[] = {
      {":zed!z@h NOTICE me :\x01QIVRA ask at=" + TestAddress(1) + "\x01\r\n", "someone outside our channels"},
      {":alice!a@h NOTICE #qivra :\x01QIVRA ask at=" + TestAddress(1) + "\x01\r\n", "details to a channel"},
      {":alice!a@h NOTICE me :\x01QIVRA relay", "unreadable"},
      {":carol!c@h NOTICE me :\x01" "ERRMSG QIVRA :unknown query\x01\r\n", "a client that knows no QIVRA"},
  };
  for (const auto& q : quiet) {
    EXPECT_EQ(0, Pass(q.line, &nick, &text)) << q.why;
    EXPECT_EQ(0, Irc.peerTable.links[alice].discovery.shown) << q.why;
  }
  Service(60000);
  std::string hello;
  EXPECT_FALSE(alicePeer.Receive(&hello, 30)) << "no address taken from them";
  EXPECT_TRUE(server.NothingWithin(30));

  EXPECT_EQ(0, Pass(":alice!a@h NOTICE me :\x01QIVRA ask relay look=2 at=" + TestAddress(1) + "\x01\r\n"));
  ASSERT_TRUE(alicePeer.Receive(&hello)) << "her address is greeted";
  EXPECT_EQ(HelloFrom('c', "me"), hello);
  EXPECT_EQ(2, Irc.peerTable.slots[alice].look);
  EXPECT_EQ(1, Irc.peerTable.links[alice].relay.announced);
  Service();
  EXPECT_EQ(Details("alice", false), Next());
}

TEST_F(DiscoveryLinesTest, PresenceOffAnnouncesNothingAndAnswersNothing) {
  Irc.presenceOff = true;
  Pass(":me!u@h JOIN #qivra\r\n");
  Pass(":srv 353 me = #qivra :me alice\r\n");
  Pass(":srv 366 me #qivra :End of NAMES list\r\n");
  EXPECT_EQ(0, Pass(":alice!a@h PRIVMSG #qivra :\x01QIVRA\x01\r\n"));
  EXPECT_EQ(0, Pass(":alice!a@h NOTICE me :\x01QIVRA ask relay\x01\r\n"));
  Service(60000);
  EXPECT_TRUE(server.NothingWithin(50)) << "no WHO, no announcement, no details";
}

}  // namespace
