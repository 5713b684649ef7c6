// Hellos through home routers on an injected clock: the rounds, rebinding, keep-alives and key
// blocks, the bounds on hellos that IRC lines cause, and the "No direct link" report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "irc/irc_client.h"
#include "platform/net.h"
#include "platform/ticks.h"
#include "presence/peer_table.h"
#include "tests/irc/net_test_support.h"

namespace {

uint32_t FakeNow = 0;
uint32_t Now() { return FakeNow; }

struct Got {
  uint32_t at;  // ms after the start of Run
  std::string bytes;
  int ttl;
};

class PeerLinksTest : public ClientTest {
 protected:
  void SetUp() override {
    FakeNow = 4000000000u;  // close to the wrap of the 32-bit count: differences must still hold
    TestClocks.ticks = Now;
    ClientTest::SetUp();
  }
  void TearDown() override {
    ClientTest::TearDown();
    TestClocks.ticks = nullptr;
  }
  // Moves the clock on by ms in steps, servicing the links at each; what peer received.
  std::vector<Got> Run(UdpPeer& peer, uint32_t ms, uint32_t step = 50) {
    std::vector<Got> got;
    for (uint32_t t = step; t <= ms; t += step) {
      FakeNow += step;
      Irc.peerTable.ServiceLinks(FakeNow);
      Got g{t, "", 0};
      while (peer.ReceiveWithTtl(&g.bytes, &g.ttl, 0)) got.push_back(g);
    }
    return got;
  }
  static std::vector<Got> Only(const std::vector<Got>& all, char kind) {
    std::vector<Got> some;
    for (const Got& g : all)
      if (!g.bytes.empty() && g.bytes[0] == kind) some.push_back(g);
    return some;
  }
  // alice known at TestAddress(1), bound at port 6669 by her reply; our welcome taken off.
  int BoundAlice(UdpPeer& peer) {
    EXPECT_TRUE(peer.Bind(1, 6669));
    int alice = AddKnown("alice");
    EXPECT_EQ(1, Irc.peerTable.SetPeerHost(alice, TestAddress(1).c_str()));
    EXPECT_EQ(100, Deliver(peer, "Calice"));
    std::string got;
    while (peer.Receive(&got, 20)) {
    }
    return alice;
  }
};

TEST_F(PeerLinksTest, RoundsBeginShortLivedThenGreetEverySecondUntilTheHelloIsAnswered) {
  UdpPeer alicePeer;
  ASSERT_TRUE(alicePeer.Bind(1, 6669));
  int alice = AddKnown("alice");
  ASSERT_EQ(1, Irc.peerTable.SetPeerHost(alice, TestAddress(1).c_str()));
  std::string got;
  int ttl = 0;
  ASSERT_TRUE(alicePeer.ReceiveWithTtl(&got, &ttl));
  EXPECT_EQ(HelloFrom('c', "me"), got);
  EXPECT_EQ(kLowTtl, ttl) << "the first hello only opens our own router";

  std::vector<Got> round = Run(alicePeer, 45000);
  ASSERT_EQ(12u, round.size());
  EXPECT_EQ(500u, round[0].at) << "halfway to the first full hello";
  EXPECT_EQ(kLowTtl + 1, round[0].ttl) << "one hop further: through a carrier's NAT too";
  for (int i = 1; i <= 10; ++i) {
    EXPECT_EQ(HelloFrom('c', "me"), round[i].bytes);
    EXPECT_EQ(1000u * i, round[i].at) << "one a second from the first second on";
    EXPECT_GT(round[i].ttl, kLowTtl + 1);
  }
  EXPECT_EQ(45000u, round[11].at) << "quiet from 10 s until the next round";
  EXPECT_EQ(kLowTtl, round[11].ttl);
  round = Run(alicePeer, 60000);
  ASSERT_EQ(6u, round.size()) << "the second round: four hellos after 3 s, then the third round";
  EXPECT_EQ(1500u, round[0].at);
  EXPECT_EQ(kLowTtl + 1, round[0].ttl);
  EXPECT_EQ(3000u, round[1].at);
  EXPECT_EQ(6000u, round[4].at);
  EXPECT_EQ(kLowTtl, round[5].ttl);

  EXPECT_EQ(100, Deliver(alicePeer, "calice"));
  ASSERT_TRUE(alicePeer.Receive(&got));
  EXPECT_EQ(HelloFrom('C', "me"), got);
  EXPECT_TRUE(Only(Run(alicePeer, 29500, 500), 'c').empty()) << "no hello once she has answered";
  EXPECT_FALSE(Only(Run(alicePeer, 1000, 500), 'c').empty()) << "greeted again after 30 s of silence";
}

TEST_F(PeerLinksTest, KeyBlocksKeepTheMappingAliveAndRepeatWhileKeysMove) {
  UdpPeer alicePeer;
  BoundAlice(alicePeer);
  const std::string rest(8, '\0');
  EXPECT_TRUE(Run(alicePeer, 3950).empty());
  std::vector<Got> got = Run(alicePeer, 8050);  // to 12 s after the binding
  ASSERT_EQ(2u, got.size()) << "a young link: every 4 s, before the routers forget it";
  EXPECT_EQ(50u, got[0].at);
  EXPECT_EQ(4050u, got[1].at);
  got = Run(alicePeer, 11000);
  ASSERT_EQ(1u, got.size()) << "then 15 s without a datagram to her";
  EXPECT_EQ(11000u, got[0].at) << "15 s after the block at 8 s";
  EXPECT_EQ(std::string("k\x09\x00", 3) + rest, got[0].bytes);

  ASSERT_EQ(1, Irc.peerTable.SendKeyState(KeyForward, 1));
  std::string key;
  ASSERT_TRUE(alicePeer.Receive(&key));
  got = Run(alicePeer, 2000);
  ASSERT_EQ(8u, got.size()) << "a key block every 250 ms while the key is held";
  EXPECT_EQ(std::string("k\x09\x00\x01", 4) + std::string(7, '\0'), got[7].bytes);
  EXPECT_EQ(2000u, got[7].at);

  ASSERT_EQ(1, Irc.peerTable.SendKeyState(KeyForward, 0));
  ASSERT_TRUE(alicePeer.Receive(&key));
  EXPECT_EQ("69 01 01", Hex(key));
  got = Run(alicePeer, 3000);
  ASSERT_EQ(4u, got.size()) << "and for a second after the release, which a lost 'i' cannot undo";
  EXPECT_EQ(std::string("k\x09\x00", 3) + rest, got[3].bytes);
  EXPECT_EQ(1000u, got[3].at);
  got = Only(Run(alicePeer, 13000), 'k');  // (she has been silent so long that she is greeted too)
  ASSERT_EQ(1u, got.size());
  EXPECT_EQ(13000u, got[0].at) << "then the keep-alive, 15 s after the last block";
}

// A lost datagram never leaves a mark stuck: ours is renewed while the user types, and theirs
// lapses when nothing renews it.
TEST_F(PeerLinksTest, TypingMarksAreRenewedWhileTypingAndLapseWhenNothingRenewsThem) {
  UdpPeer peer;
  const int alice = BoundAlice(peer);
  Irc.peerTable.SendTyping(true);
  std::vector<uint32_t> at;
  for (const Got& g : Only(Run(peer, 10000), 't')) at.push_back(g.at);
  EXPECT_EQ((std::vector<uint32_t>{50, 1000, 4000, 7000, 10000}), at) << "the first is taken at the first step";
  Irc.peerTable.SendTyping(false);
  EXPECT_EQ(2u, Only(Run(peer, 10000), 't').size()) << "stopped: said twice, then no more";

  EXPECT_EQ(100, Deliver(peer, std::string("t\x01", 2)));
  Run(peer, 6900);
  EXPECT_EQ(1, Irc.peerTable.slots[alice].typing) << "renewed in time, it stays";
  EXPECT_EQ(100, Deliver(peer, std::string("t\x01", 2)));
  Run(peer, 6900);
  EXPECT_EQ(1, Irc.peerTable.slots[alice].typing);
  Run(peer, 200);
  EXPECT_EQ(0, Irc.peerTable.slots[alice].typing);
}

TEST_F(PeerLinksTest, AnotherPortBindsOnlyWhenTheBoundOneHasBeenQuietFor25Seconds) {
  UdpPeer alicePeer, restarted, moved;
  int alice = BoundAlice(alicePeer);
  ASSERT_TRUE(restarted.Bind(1, 0));
  const uint16_t old = Irc.peerTable.slots[alice].address.port;
  std::string got;

  FakeNow += 20000;
  EXPECT_EQ(100, Deliver(restarted, "calice"));
  EXPECT_EQ(old, Irc.peerTable.slots[alice].address.port) << "her port is live: one hello takes nothing";
  EXPECT_FALSE(restarted.Receive(&got, 20));
  FakeNow += 4000;
  EXPECT_EQ(100, Deliver(alicePeer, std::string("i\x02\x02", 3)));  // heard from her port
  FakeNow += 24999;
  EXPECT_EQ(100, Deliver(restarted, "calice"));
  EXPECT_EQ(old, Irc.peerTable.slots[alice].address.port);
  FakeNow += 1;
  EXPECT_EQ(100, Deliver(restarted, "cmallory")) << "a nickname that is not hers";
  EXPECT_EQ(old, Irc.peerTable.slots[alice].address.port);
  EXPECT_EQ(100, Deliver(restarted, "calice"));
  EXPECT_EQ(NetPortToWire(restarted.port), Irc.peerTable.slots[alice].address.port);
  ASSERT_TRUE(restarted.Receive(&got));
  EXPECT_EQ(HelloFrom('C', "me"), got);
  ASSERT_TRUE(restarted.Receive(&got));
  EXPECT_EQ('k', got[0]);
  EXPECT_EQ(100, Deliver(restarted, std::string("i\x01\x02", 3)));
  EXPECT_EQ(1, Irc.peerTable.slots[alice].keys[KeyForward]);
  EXPECT_EQ(0, Deliver(alicePeer, std::string("i\x01\x01", 3))) << "the old port is ignored now";
  EXPECT_EQ(1, Irc.peerTable.slots[alice].keys[KeyForward]);

  // The address her host now resolves to: greeted at once, bound under the same rule.
  ASSERT_TRUE(moved.Bind(2, 6669));
  ASSERT_EQ(1, Irc.peerTable.SetPeerHost(alice, "peer2.test"));
  ASSERT_TRUE(moved.Receive(&got));
  EXPECT_EQ(HelloFrom('c', "me"), got);
  EXPECT_EQ(100, Deliver(moved, "Calice"));
  EXPECT_EQ(TestNetAddress(1), Irc.peerTable.slots[alice].address.address);
  FakeNow += 25000;
  EXPECT_EQ(100, Deliver(moved, "Calice"));
  EXPECT_EQ(TestNetAddress(2), Irc.peerTable.slots[alice].address.address);
  EXPECT_EQ(NetPortToWire(6669), Irc.peerTable.slots[alice].address.port);
}

TEST_F(PeerLinksTest, HellosCausedByIrcLinesAreBounded) {
  UdpPeer target;
  ASSERT_TRUE(target.Bind(1, 6669));
  int bob = AddKnown("bob");
  int carol = AddKnown("carol");
  // Their own lines named these addresses: lines only a QIVRA client sends.
  Irc.peerTable.ShowQivra(bob, SignAddressLine, false);
  Irc.peerTable.ShowQivra(carol, SignAddressLine, false);
  std::string got;
  const NetAddress victim = TestNetAddress(1);
  EXPECT_EQ(1, Irc.peerTable.AddPeerAddress(bob, victim, true));
  EXPECT_TRUE(target.Receive(&got));
  FakeNow += 9999;
  EXPECT_EQ(1, Irc.peerTable.AddPeerAddress(carol, victim, true));
  EXPECT_FALSE(target.Receive(&got, 20)) << "one address at most once per 10 s";
  FakeNow += 1;
  EXPECT_EQ(1, Irc.peerTable.AddPeerAddress(carol, victim, true));
  EXPECT_TRUE(target.Receive(&got));

  // New addresses named by peers: 20 a minute, the victim's among them.
  uint32_t base = 0;
  NetParseDotted("127.254.0.1", &base);
  int admitted = 0;
  std::vector<uint32_t> refused;
  for (int i = 0; i < 25; ++i) {
    uint32_t address = base + (static_cast<uint32_t>(i) << 24);  // 127.254.0.(1 + i) on a little-endian host
    if (Irc.peerTable.AddPeerAddress(bob, NetAddressFromV4(address), true) == 1) {
      ++admitted;
    } else {
      refused.push_back(address);
    }
  }
  EXPECT_EQ(19, admitted);
  for (const LinkAddress& a : Irc.peerTable.links[bob].to) {
    for (uint32_t r : refused) EXPECT_NE(NetAddressFromV4(r), a.address) << "a refused address is never greeted";
  }
  EXPECT_EQ(1, Irc.peerTable.AddPeerAddress(carol, NetAddressFromV4(base + (30u << 24)), false))
      << "addresses the server names are its record of members: not counted";
  // A refused address waits for the bound, one per member, and is greeted once it allows:
  // the victim's place frees 50 s on (bob's waiting one takes it), the next at 60 s (carol's).
  UdpPeer late;
  ASSERT_TRUE(late.Bind(2, 6669));
  EXPECT_EQ(0, Irc.peerTable.AddPeerAddress(carol, TestNetAddress(2), true));
  EXPECT_TRUE(Only(Run(late, 55000, 1000), 'c').empty());
  EXPECT_FALSE(Only(Run(late, 10000, 1000), 'c').empty()) << "the waiting address is taken up";
}

TEST_F(PeerLinksTest, NoDirectLinkIsReportedOnceForMembersNotLinkedAfter30Seconds) {
  UdpPeer bobPeer;
  ASSERT_TRUE(bobPeer.Bind(2, 6669));
  const uint32_t entered = FakeNow;
  int alice = AddKnown("alice");
  int bob = AddKnown("bob");
  AddKnown("carol");  // an ordinary IRC user: she has shown nothing, so nothing is said of her
  Irc.peerTable.ShowQivra(alice, SignAnnounced, true);
  ASSERT_EQ(1, Irc.peerTable.SetPeerHost(bob, TestAddress(2).c_str()));
  EXPECT_EQ(100, Deliver(bobPeer, "Cbob"));
  EXPECT_EQ(1, Irc.peerTable.IsLinked(bob)) << "his reply shows that he hears us";
  EXPECT_EQ(0, Irc.peerTable.IsLinked(alice));
  char nick[kNickLength];
  EXPECT_EQ(0, Irc.peerTable.NextNoLinkReport(entered + 29999, nick));
  ASSERT_EQ(1, Irc.peerTable.NextNoLinkReport(entered + 30000, nick));
  EXPECT_STREQ("alice", nick);
  EXPECT_EQ(0, Irc.peerTable.NextNoLinkReport(entered + 40000, nick)) << "once";
}

}  // namespace

namespace {

// Each address of a host is taken (IPv4 greeted at once); a client kept to IPv4 takes IPv4 only.
TEST_F(PeerLinksTest, EveryAddressOfAHostIsTakenIPv6OnlyWhenTheClientUsesIt) {
  UdpPeer v4Peer;
  ASSERT_TRUE(v4Peer.Bind(3, 6669));
  NetAddress v6 = {};
  ASSERT_TRUE(NetParseAddress("2001:db8::7", &v6));
  for (int keptToIPv4 = 0; keptToIPv4 < 2; ++keptToIPv4) {
    LinkIPv6 = !keptToIPv4;
    int index = AddKnown(keptToIPv4 ? "bob" : "alice");
    ASSERT_EQ(1, Irc.peerTable.SetPeerHost(index, "dual.test"));
    const LinkAddress* to = Irc.peerTable.links[index].to;
    EXPECT_EQ(keptToIPv4 ? TestNetAddress(3) : v6, to[0].address);
    EXPECT_EQ(keptToIPv4 ? NetAddress{} : TestNetAddress(3), to[1].address);
  }
  std::string got;
  EXPECT_TRUE(v4Peer.Receive(&got) && got == HelloFrom('c', "me"));
  LinkIPv6 = true;
}

}  // namespace
