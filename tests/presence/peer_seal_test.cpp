// Sealed datagrams through the peer table, over loopback: a member proven by its seal wherever
// it sends from, its plain datagrams refused once one sealed has opened, forgeries and repeats
// dropped, ours sealed once it has our key; which addresses are greeted before a member has
// shown that it runs QIVRA; the typing mark (also to one who links while we type) and the look.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "irc/irc_client.h"
#include "platform/net.h"
#include "presence/peer_table.h"
#include "presence/sealed_datagram.h"
#include "tests/irc/net_test_support.h"

namespace {

char LastChange = 0;
void NoteChange(char kind, int, int) { LastChange = kind; }

std::string Position(float x) {
  std::string d(21, '\0');
  d[0] = 'd';
  std::memcpy(&d[1], &x, 4);  // little-endian hosts, as the tests run on
  return d;
}

class PeerSealTest : public ClientTest {
 protected:
  void SetUp() override {
    ClientTest::SetUp();
    PeerChangeHook = NoteChange;
    ASSERT_TRUE(peer.Bind(1, 6669));
    alice = AddKnown("alice");
    ASSERT_EQ(1, Irc.peerTable.SetPeerHost(alice, TestAddress(1).c_str()));
    ASSERT_EQ(100, Deliver(peer, "Calice"));
    std::string got;
    while (peer.Receive(&got, 20)) {
    }
    // Both sides agree keys from each other's public key, as their details carry them.
    ASSERT_EQ(1, MakeSealIdentity(&own));
    ASSERT_EQ(1, Irc.peerTable.AgreeKeys(alice, own.publicKey));
    ASSERT_EQ(1, AgreeSeal(own, "alice", Irc.peerTable.ownSeal.publicKey, "me", &pair));
  }
  void TearDown() override {
    PeerChangeHook = nullptr;
    ClientTest::TearDown();
  }
  std::string Sealed(const std::string& inner) {
    char out[kSealedLength];
    const int n = SealDatagram(&own, pair, inner.data(), static_cast<int>(inner.size()), out, sizeof out);
    EXPECT_GT(n, 0);
    return std::string(out, static_cast<std::size_t>(n > 0 ? n : 0));
  }
  float X() const { return Irc.peerTable.slots[alice].pose.x; }
  UdpPeer peer;
  int alice = 0;
  SealIdentity own;  // alice's side
  SealPair pair;
};

TEST_F(PeerSealTest, OnceASealedDatagramOpensItsMembersPlainOnesAreRefused) {
  EXPECT_EQ(100, Deliver(peer, Position(1.0f)));
  EXPECT_FLOAT_EQ(1.0f, X()) << "plain, before she seals";
  EXPECT_FALSE(Irc.peerTable.SealsTo(alice)) << "not before she has shown that she has our key";

  const std::string first = Sealed(Position(2.0f));
  EXPECT_EQ(100, Deliver(peer, first));
  EXPECT_FLOAT_EQ(2.0f, X());
  EXPECT_EQ('d', LastChange);
  EXPECT_EQ(1, Irc.peerTable.links[alice].sealedOnly);
  EXPECT_TRUE(Irc.peerTable.SealsTo(alice)) << "her seal shows that she agreed from our key";
  std::string got;
  char inner[kSealInnerLength];
  ASSERT_TRUE(peer.Receive(&got)) << "ours turn sealed at once, not with the next keep-alive";
  ASSERT_EQ(11, OpenSealedDatagram(&pair, got.data(), static_cast<int>(got.size()), inner, sizeof inner));
  EXPECT_EQ('k', inner[0]);
  EXPECT_EQ(100, Deliver(peer, Sealed(Position(2.5f))));
  EXPECT_FALSE(peer.Receive(&got, 20)) << "only the first of hers is answered so";

  EXPECT_EQ(0, Deliver(peer, Position(3.0f))) << "plain, from her exact address and port";
  EXPECT_EQ(0, Deliver(peer, std::string("Calice\0rooms seal", 17)));
  EXPECT_EQ(0, Deliver(peer, first)) << "a repeat";
  std::string forged = Sealed(Position(4.0f));
  forged[forged.size() - 1] ^= 1;
  EXPECT_EQ(0, Deliver(peer, forged)) << "a tag that proves nothing";
  EXPECT_FLOAT_EQ(2.5f, X()) << "none of them moved her";

  UdpPeer elsewhere;  // her seal proves her from any address: a new port of her router, say
  ASSERT_TRUE(elsewhere.Bind(2, 0));
  EXPECT_EQ(100, Deliver(elsewhere, Sealed(Position(5.0f))));
  EXPECT_FLOAT_EQ(5.0f, X());
  EXPECT_EQ(NetPortToWire(6669), Irc.peerTable.slots[alice].address.port) << "a position rebinds nothing";

  // Ours to her are sealed now, and open with her keys.
  Irc.peerTable.SendKeyState(KeyForward, 1);
  ASSERT_TRUE(peer.Receive(&got));
  ASSERT_EQ(kSealedKind, got[0]);
  ASSERT_EQ(3, OpenSealedDatagram(&pair, got.data(), static_cast<int>(got.size()), inner, sizeof inner));
  EXPECT_EQ('i', inner[0]);
}

TEST_F(PeerSealTest, TypingMarksAndLooksComeWithTheExchange) {
  EXPECT_EQ(100, Deliver(peer, std::string("t\x01", 2)));
  EXPECT_EQ(1, Irc.peerTable.slots[alice].typing);
  EXPECT_EQ('t', LastChange);
  EXPECT_EQ(100, Deliver(peer, Sealed(std::string("t\x00", 2))));
  EXPECT_EQ(0, Irc.peerTable.slots[alice].typing);
  std::string got;
  ASSERT_TRUE(peer.Receive(&got)) << "the key block her first sealed datagram is answered with";
  EXPECT_EQ(0, Deliver(peer, Sealed(std::string("t", 1)))) << "too short: read as nothing";
  EXPECT_EQ(0, Irc.peerTable.slots[alice].typing);
  EXPECT_EQ(0, Deliver(peer, Sealed(std::string("Calice\0rooms seal look=6", 24))));
  EXPECT_EQ(6, Irc.peerTable.slots[alice].look) << "her hello names her look";

  Irc.peerTable.SendTyping(true);
  char inner[kSealInnerLength];
  ASSERT_TRUE(peer.Receive(&got));
  ASSERT_EQ(2, OpenSealedDatagram(&pair, got.data(), static_cast<int>(got.size()), inner, sizeof inner));
  EXPECT_EQ(std::string("t\x01", 2), std::string(inner, 2));
  Irc.peerTable.SendTyping(true);
  EXPECT_FALSE(peer.Receive(&got, 20)) << "no change, nothing sent";

  // bob links while the line is still being typed: his welcome carries the mark.
  const int bob = AddKnown("bob");
  UdpPeer bobPeer;
  ASSERT_TRUE(bobPeer.Bind(2, 6669));
  ASSERT_EQ(1, Irc.peerTable.SetPeerHost(bob, TestAddress(2).c_str()));
  ASSERT_EQ(100, Deliver(bobPeer, "Cbob"));
  bool told = false;
  while (!told && bobPeer.Receive(&got, 200)) told = got == std::string("t\x01", 2);
  EXPECT_TRUE(told) << "a member linked while we type never learns of the mark";
}

// Before a member shows that it runs QIVRA only an address the server named, in the family the
// server shows us in, is greeted; afterwards every address it has.
TEST_F(PeerSealTest, OnlyTheServersAddressInOurFamilyIsGreetedBeforeAMemberShowsItself) {
  Irc.peerTable.serverFamily = kNetIPv4;
  const int bob = AddKnown("bob");
  UdpPeer bobPeer;
  ASSERT_TRUE(bobPeer.Bind(3, 6669));
  NetAddress v6 = {};
  ASSERT_TRUE(NetParseAddress("2001:db8::7", &v6));
  LinkAddress server = {}, other = {}, named = {};
  server.address = TestNetAddress(3);
  server.fromServer = 1;
  other.address = v6;
  other.fromServer = 1;
  named.address = TestNetAddress(3);
  EXPECT_TRUE(Irc.peerTable.MayGreet(bob, server));
  EXPECT_FALSE(Irc.peerTable.MayGreet(bob, other)) << "a family the server does not show us in";
  EXPECT_FALSE(Irc.peerTable.MayGreet(bob, named)) << "an address nobody vouches for";
  Irc.peerTable.ShowQivra(bob, SignAnnounced, true);
  EXPECT_TRUE(Irc.peerTable.MayGreet(bob, other));
  EXPECT_TRUE(Irc.peerTable.MayGreet(bob, named));
}

}  // namespace
