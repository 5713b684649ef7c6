// Peer slots and lookups, entering peers, and the hello, key and position datagrams.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "irc/irc_client.h"
#include "platform/net.h"
#include "presence/peer_table.h"
#include "tests/irc/net_test_support.h"

namespace {

class PeerTableTest : public ClientTest {
 protected:
  // alice known at TestAddress(1), hello exchanged from port 6669: an active slot.
  int ActiveAlice(UdpPeer& alicePeer) {
    EXPECT_TRUE(alicePeer.Bind(1, 6669));
    int alice = AddKnown("alice");
    EXPECT_EQ(1, Irc.peerTable.SetPeerHost(alice, TestAddress(1).c_str()));
    std::string hello;
    EXPECT_TRUE(alicePeer.Receive(&hello));
    EXPECT_EQ(HelloFrom('c', "me"), hello);
    EXPECT_EQ(100, Deliver(alicePeer, "Calice"));
    EXPECT_EQ(1, Irc.peerTable.IsActive(alice));
    EXPECT_TRUE(alicePeer.Receive(&hello));
    EXPECT_EQ(KeyBlock(), hello) << "a peer just bound hears at once what we hold";
    return alice;
  }
  // The key block of the self record's flags 0 to 8.
  std::string KeyBlock() {
    std::string block("k\x09", 2);
    for (int k = 0; k < 9; ++k) block += static_cast<char>(Irc.peerTable.self.keys[k]);
    return block;
  }
};

TEST_F(PeerTableTest, LookupsFollowTheNicknameRuleAndNeverFindSlotZero) {
  int alice = AddKnown("alice[1]");
  EXPECT_EQ(1, alice);
  EXPECT_EQ(alice, Irc.peerTable.FindByNick("alice[1]"));
  EXPECT_EQ(alice, Irc.peerTable.FindByNick("ALICE{1}")) << "the server's rule: one nickname";
  EXPECT_EQ(0, Irc.peerTable.FindByNick("alice[1]_"));
  EXPECT_EQ(0, Irc.peerTable.FindByNick(""));
  std::strcpy(Irc.peerTable.slots[0].nick, "zero");
  Irc.peerTable.slots[0].known = 1;
  Irc.peerTable.slots[0].address.address = NetAddressFromV4(77);
  EXPECT_EQ(0, Irc.peerTable.FindByNick("zero"));
  SocketAddress a = {};
  a.address = NetAddressFromV4(77);
  EXPECT_EQ(0, Irc.peerTable.FindByAddress(a));
  Irc.peerTable.slots[alice].address.address = NetAddressFromV4(77);
  Irc.peerTable.slots[alice].address.port = 5;
  EXPECT_EQ(0, Irc.peerTable.FindByAddress(a)) << "the port must match too";
  a.port = 5;
  EXPECT_EQ(alice, Irc.peerTable.FindByAddress(a));
}

TEST_F(PeerTableTest, RemoveGetNickAndClear) {
  AddKnown("alice");
  int bob = AddKnown("bob");
  Irc.peerTable.RemovePeer("carol");
  EXPECT_EQ(1, Irc.peerTable.FindByNick("alice"));
  EXPECT_EQ(bob, Irc.peerTable.FindByNick("bob"));
  char out[kNickLength];
  std::strcpy(out, "untouched");
  EXPECT_EQ(0, Irc.peerTable.GetNick(5, out));
  EXPECT_STREQ("untouched", out);
  EXPECT_EQ(1, Irc.peerTable.GetNick(bob, out));
  EXPECT_STREQ("bob", out);
  Irc.peerTable.RemovePeer("alice");
  EXPECT_EQ(0, Irc.peerTable.IsKnown(1));
  EXPECT_EQ(1, AddKnown("dave")) << "the lowest free slot is taken again";
  Irc.peerTable.self.keys[KeyBack] = 1;
  Irc.peerTable.Clear();
  EXPECT_EQ(0, Irc.peerTable.FindByNick("bob"));
  EXPECT_STREQ("me", Irc.peerTable.self.nick) << "Clear leaves the self record";
  EXPECT_EQ(1, Irc.peerTable.self.keys[KeyBack]);
}

TEST_F(PeerTableTest, AddPeerRefusesSelfAndEmptyAndStopsAt199) {
  EXPECT_EQ(0, Irc.peerTable.AddPeer("me"));
  EXPECT_EQ(0, Irc.peerTable.AddPeer(""));
  EXPECT_EQ(1, AddKnown("twin"));
  EXPECT_EQ(1, Irc.peerTable.AddPeer("TWIN")) << "a member met again (in another room) keeps its slot";
  for (int i = 2; i < kPeerSlots; ++i) Irc.peerTable.AddPeer(("n" + std::to_string(i)).c_str());
  EXPECT_NE(0, Irc.peerTable.IsKnown(199));
  EXPECT_EQ(0, Irc.peerTable.AddPeer("one-too-many"));
  std::string line;
  int whois = 0;
  while (server.NextLine(&line, 50)) ++whois;
  EXPECT_EQ(198, whois) << "no WHOIS for a member met again, nor for one that found no slot";
}

TEST_F(PeerTableTest, PositionAndKeyDatagramsAreExactBytes) {
  UdpPeer alicePeer;
  ActiveAlice(alicePeer);
  // Five different values, so that fields sent in another order show.
  Irc.peerTable.SendPosition(1.0f, -2.5f, 90.0f, 45.0f, -10.0f);  // x, z, yaw, heading, pitch
  std::string got;
  ASSERT_TRUE(alicePeer.Receive(&got));
  EXPECT_EQ("64 00 00 80 3F 00 00 20 C0 00 00 B4 42 00 00 34 42 00 00 20 C1", Hex(got));
  EXPECT_EQ(1, Irc.peerTable.SendKeyState(KeyForward, 1));
  ASSERT_TRUE(alicePeer.Receive(&got));
  EXPECT_EQ("69 01 02", Hex(got));
  EXPECT_EQ(0, Irc.peerTable.SendKeyState(KeyForward, 1)) << "an unchanged key sends nothing";
  EXPECT_EQ(1, Irc.peerTable.SendKeyState(KeyForward, 0));
  ASSERT_TRUE(alicePeer.Receive(&got));
  EXPECT_EQ("69 01 01", Hex(got));
  EXPECT_EQ(0, Irc.peerTable.SendKeyState(10, 1));
  EXPECT_EQ(0, Irc.peerTable.SendKeyState(-1, 1));
  EXPECT_FALSE(alicePeer.Receive(&got, 30));
}

TEST_F(PeerTableTest, NothingIsSentToPeersThatAreNotActive) {
  UdpPeer bobPeer;
  ASSERT_TRUE(bobPeer.Bind(2, 6669));
  int bob = AddKnown("bob");
  Irc.peerTable.SetPeerHost(bob, TestAddress(2).c_str());
  std::string got;
  ASSERT_TRUE(bobPeer.Receive(&got));
  EXPECT_EQ(HelloFrom('c', "me"), got);
  Irc.peerTable.SendPosition(1, 2, 3, 4, 5);
  Irc.peerTable.SendKeyState(KeyBack, 1);
  EXPECT_FALSE(bobPeer.Receive(&got, 40));
}

TEST_F(PeerTableTest, HelloRulesAddressNicknameAndPort) {
  UdpPeer alicePeer;
  ASSERT_TRUE(alicePeer.Bind(1, 6669));
  UdpPeer wrongPeer;
  ASSERT_TRUE(wrongPeer.Bind(2, 0));
  int alice = AddKnown("alice");
  std::string got;

  EXPECT_EQ(100, Deliver(alicePeer, "calice")) << "before her host is known";
  EXPECT_EQ(0, Irc.peerTable.IsActive(alice));
  EXPECT_FALSE(alicePeer.Receive(&got, 30));

  ASSERT_EQ(1, Irc.peerTable.SetPeerHost(alice, TestAddress(1).c_str()));
  ASSERT_TRUE(alicePeer.Receive(&got));
  EXPECT_EQ(100, Deliver(alicePeer, "cstranger")) << "a nickname not in the table";
  EXPECT_EQ(100, Deliver(wrongPeer, "calice")) << "from another address";
  EXPECT_EQ(0, Irc.peerTable.IsActive(alice));
  EXPECT_FALSE(alicePeer.Receive(&got, 30));
  EXPECT_FALSE(wrongPeer.Receive(&got, 10));

  EXPECT_EQ(100, Deliver(alicePeer, "calice"));
  EXPECT_EQ(1, Irc.peerTable.IsActive(alice));
  EXPECT_EQ(NetPortToWire(6669), Irc.peerTable.slots[alice].address.port);
  ASSERT_TRUE(alicePeer.Receive(&got));
  EXPECT_EQ(HelloFrom('C', "me"), got);
  ASSERT_TRUE(alicePeer.Receive(&got));
  EXPECT_EQ('k', got[0]);
  // A second hello from the bound address changes nothing, but is answered: her first
  // answer may have been lost, and she greets us until one arrives.
  EXPECT_EQ(0, Deliver(alicePeer, "calice"));
  ASSERT_TRUE(alicePeer.Receive(&got));
  EXPECT_EQ(HelloFrom('C', "me"), got);
  EXPECT_EQ(0, Deliver(alicePeer, "Calice")) << "a reply is never answered";
  EXPECT_EQ(0, Deliver(alicePeer, "cbob")) << "nor a hello naming another nickname";
  EXPECT_FALSE(alicePeer.Receive(&got, 30));

  // A second hello from an unknown address, or from hers with another port while her own
  // is live, or with a nickname that is not hers, binds nothing.
  UdpPeer restarted;
  ASSERT_TRUE(restarted.Bind(1, 0));
  EXPECT_EQ(100, Deliver(wrongPeer, "calice"));
  EXPECT_EQ(100, Deliver(restarted, "calice"));
  EXPECT_EQ(100, Deliver(restarted, "cstranger"));
  EXPECT_EQ(NetPortToWire(6669), Irc.peerTable.slots[alice].address.port);
  EXPECT_FALSE(wrongPeer.Receive(&got, 10));
  EXPECT_FALSE(restarted.Receive(&got, 10));
  EXPECT_EQ(0, Deliver(restarted, std::string("i\x01\x02", 3)));
  EXPECT_EQ(0, Irc.peerTable.slots[alice].keys[KeyForward]);
}

TEST_F(PeerTableTest, KeyAndPositionDatagramsApplyOnlyFromTheBoundPeer) {
  UdpPeer alicePeer;
  int alice = ActiveAlice(alicePeer);
  PeerSlot& slot = Irc.peerTable.slots[alice];
  slot.pose.bob = 0.5f;
  std::string nine("d\x00\x00\x80\x3F\x00\x00\x20\xC0", 9);
  EXPECT_EQ(0, Deliver(alicePeer, nine)) << "a position cut short is dropped";
  EXPECT_FLOAT_EQ(0.0f, slot.reportedPose[1]);
  // A whole datagram: x, z, yaw, heading, pitch, each to its own field.
  EXPECT_EQ(100, Deliver(alicePeer, std::string("d\x00\x00\x40\x40\x00\x00\x80\x3E\x00\x00\xB4\x42"
                                                "\x00\x00\x34\x42\x00\x00\x20\xC1", 21)));
  EXPECT_FLOAT_EQ(3.0f, slot.pose.x);
  EXPECT_FLOAT_EQ(0.25f, slot.pose.z);
  EXPECT_FLOAT_EQ(90.0f, slot.pose.yaw);
  EXPECT_FLOAT_EQ(45.0f, slot.pose.heading);
  EXPECT_FLOAT_EQ(-10.0f, slot.pose.pitch);
  EXPECT_FLOAT_EQ(0.5f, slot.pose.bob) << "bob is the walker's own";

  const struct {
    std::string bytes;
    int result;
    int key;
    int flag;
  } keys[] = {
      {std::string("i\x03\x02", 3), 100, KeyTurnLeft, 1},
      {std::string("i\x03\x01", 3), 100, KeyTurnLeft, 0},
      {std::string("i\x04\x00", 3), 100, KeyTurnRight, 1},
      {std::string("i\x05", 2), 0, KeyStrafeLeft, 0},
      {std::string("i\x09\x02", 3), 100, 9, 1},
      {std::string("i\x0A\x02", 3), 0, -1, 0},
      {std::string("i\xFF\x02", 3), 0, -1, 0},
  };
  for (const auto& k : keys) {
    EXPECT_EQ(k.result, Deliver(alicePeer, k.bytes)) << Hex(k.bytes);
    if (k.key >= 0) {
      EXPECT_EQ(k.flag, slot.keys[k.key]) << Hex(k.bytes);
    }
  }
  EXPECT_EQ(100, Deliver(alicePeer, std::string("k\x03\x05\x00\x07", 5)));
  EXPECT_EQ(5, slot.keys[0]);
  EXPECT_EQ(0, slot.keys[1]);
  EXPECT_EQ(7, slot.keys[2]);
  EXPECT_EQ(0, Deliver(alicePeer, std::string("k\x0A", 2)));
  EXPECT_EQ(0, Deliver(alicePeer, std::string("k\xFF", 2)));
  EXPECT_EQ(100, Deliver(alicePeer, "xyz")) << "another letter is taken and ignored";

  UdpPeer stranger;
  ASSERT_TRUE(stranger.Bind(2, 0));
  EXPECT_EQ(0, Deliver(stranger, std::string("d\x00\x00\x20\x41", 5)));
  EXPECT_FLOAT_EQ(3.0f, slot.pose.x);
  EXPECT_EQ(0, Deliver(stranger, std::string("i\x01\x02", 3)));
}

TEST_F(PeerTableTest, SimultaneousHellosLeaveOneActiveSlotEachSide) {
  UdpPeer alicePeer;
  ASSERT_TRUE(alicePeer.Bind(1, 6669));
  int alice = AddKnown("alice");
  ASSERT_EQ(1, Irc.peerTable.SetPeerHost(alice, TestAddress(1).c_str()));
  std::string got;
  ASSERT_TRUE(alicePeer.Receive(&got));  // our hello; hers crosses it
  EXPECT_EQ(100, Deliver(alicePeer, "calice"));
  ASSERT_TRUE(alicePeer.Receive(&got));
  EXPECT_EQ(HelloFrom('C', "me"), got);
  ASSERT_TRUE(alicePeer.Receive(&got));
  EXPECT_EQ('k', got[0]);
  EXPECT_EQ(0, Irc.peerTable.IsLinked(alice)) << "she has not shown yet that she hears us";
  EXPECT_EQ(0, Deliver(alicePeer, "Calice")) << "her reply to our hello comes after activation";
  EXPECT_EQ(1, Irc.peerTable.IsLinked(alice));
  EXPECT_EQ(1, Irc.peerTable.IsActive(alice));
  EXPECT_FALSE(alicePeer.Receive(&got, 30));
  for (int i = 1; i < kPeerSlots; ++i) {
    if (i != alice) {
      EXPECT_EQ(0, Irc.peerTable.IsActive(i));
    }
  }
}

TEST_F(PeerTableTest, HostResolvedAgainForAnActivePeerStaysBoundAtTheSameAddress) {
  UdpPeer alicePeer;
  int alice = ActiveAlice(alicePeer);
  // Her ":A" answer names the address her hello came from: the slot keeps her port, and
  // the address, greeted a moment ago, is not greeted again so soon.
  ASSERT_EQ(1, Irc.peerTable.SetPeerHost(alice, "peer1.test"));
  std::string got;
  EXPECT_FALSE(alicePeer.Receive(&got, 30));
  EXPECT_EQ(NetPortToWire(6669), Irc.peerTable.slots[alice].address.port);
  EXPECT_EQ(100, Deliver(alicePeer, std::string("i\x01\x02", 3)));
  EXPECT_EQ(1, Irc.peerTable.slots[alice].keys[KeyForward]);
  Irc.peerTable.SendKeyState(KeyForward, 1);
  ASSERT_TRUE(alicePeer.Receive(&got));
  EXPECT_EQ(std::string("i\x01\x02", 3), got);

  // Another address is one more place to greet her; the live binding stays.
  UdpPeer moved;
  ASSERT_TRUE(moved.Bind(2, 6669));
  ASSERT_EQ(1, Irc.peerTable.SetPeerHost(alice, "peer2.test"));
  ASSERT_TRUE(moved.Receive(&got));
  EXPECT_EQ(HelloFrom('c', "me"), got);
  EXPECT_EQ(NetPortToWire(6669), Irc.peerTable.slots[alice].address.port);
  EXPECT_EQ(TestNetAddress(1), Irc.peerTable.slots[alice].address.address);
  EXPECT_EQ(-2, Irc.peerTable.SetPeerHost(alice, "nowhere.test"));
  EXPECT_EQ(0, Irc.peerTable.SetPeerHost(0, TestAddress(1).c_str()));
  EXPECT_EQ(0, Irc.peerTable.SetPeerHost(200, TestAddress(1).c_str()));
}

TEST_F(PeerTableTest, LongNicknamesOverrunNothing) {
  UdpPeer alicePeer;
  ASSERT_TRUE(alicePeer.Bind(1, 6669));
  std::string longNick(2047, 'L');
  Irc.SetNick(longNick.c_str());
  std::string line;
  ASSERT_TRUE(server.NextLine(&line));
  int alice = AddKnown("alice");
  ASSERT_EQ(1, Irc.peerTable.SetPeerHost(alice, TestAddress(1).c_str()));
  std::string got;
  ASSERT_TRUE(alicePeer.Receive(&got));
  EXPECT_EQ(2047u, got.size()) << "'c' and the nickname, cut to the buffer";
  EXPECT_EQ(100, Deliver(alicePeer, "c" + std::string(2039, 'n')));  // unknown, fills the buffer
  EXPECT_EQ(100, Deliver(alicePeer, "calice"));
  ASSERT_TRUE(alicePeer.Receive(&got));
  EXPECT_EQ('C', got[0]);
  EXPECT_LE(got.size(), 2047u);
}

}  // namespace
