// The datagram link over loopback: what Poll returns and keeps, sends, resolves.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "irc/irc_client.h"
#include "platform/net.h"
#include "presence/datagram_link.h"
#include "presence/sealed_datagram.h"
#include "presence/host_lookup.h"
#include "tests/irc/net_test_support.h"

namespace {

class DatagramLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HostLookupOverride.store(FakeLookup);
    Irc.SetBindAddress(TestAddress(0).c_str());
    ASSERT_EQ(1, link.Open());
    ASSERT_EQ(1, link.Bind(kPresencePort));
    ASSERT_TRUE(peer.Bind(1, 0));
  }
  void TearDown() override {
    link.Close();
    Irc.SetBindAddress(nullptr);
  }
  int PollWithin(char* buffer, int ms = 1000) {
    auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    int r = 0;
    while ((r = link.Poll(buffer)) == 0 && std::chrono::steady_clock::now() < limit)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return r;
  }
  DatagramLink link;
  UdpPeer peer;
  char buffer[kDatagramBufferLength];
};

TEST_F(DatagramLinkTest, PollReturnsTheTextLengthAndKeepsEveryByte) {
  std::string position("d\x01\x00\x80\x3F", 5);
  position.resize(21, '\x07');
  peer.SendToClient(position);
  ASSERT_EQ(2, PollWithin(buffer)) << "the count stops at the first zero byte";
  EXPECT_EQ(0, std::memcmp(buffer, position.data(), 21)) << "all 21 bytes stay in the buffer";
  EXPECT_EQ(NetAddressFromV4(peer.address), link.peerAddress.address) << "the source becomes the destination";
  EXPECT_EQ(NetPortToWire(peer.port), link.peerAddress.port);
}

TEST_F(DatagramLinkTest, NothingWaitingLeavesTheBufferAlone) {
  std::memset(buffer, 'q', sizeof buffer);
  EXPECT_EQ(0, link.Poll(buffer));
  EXPECT_EQ('q', buffer[0]);
  EXPECT_EQ('q', buffer[2039]);
}

TEST_F(DatagramLinkTest, OneDatagramPerPoll) {
  peer.SendToClient("first");
  peer.SendToClient("second!");
  ASSERT_EQ(5, PollWithin(buffer));
  EXPECT_STREQ("first", buffer);
  ASSERT_EQ(7, PollWithin(buffer));
  EXPECT_STREQ("second!", buffer);
}

TEST_F(DatagramLinkTest, EmptyDatagramDoesNotBlockTheOnesBehindIt) {
  peer.SendToClient("");
  peer.SendToClient("after");
  auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  bool seen = false;
  while (!seen && std::chrono::steady_clock::now() < limit) {
    seen = link.Poll(buffer) == 5 && std::strcmp(buffer, "after") == 0;
  }
  EXPECT_TRUE(seen);
}

TEST_F(DatagramLinkTest, FullDatagramOfNonZeroBytesIsCountedWithinTheBuffer) {
  std::memset(buffer, 'z', sizeof buffer);  // no zero anywhere after the received part either
  peer.SendToClient(std::string(2040, 'x'));
  EXPECT_EQ(2040, PollWithin(buffer));
  peer.SendToClient(std::string(kSealedLength, 'w'));  // the longest sealed datagram, whole
  EXPECT_EQ(kSealedLength, PollWithin(buffer));
  EXPECT_EQ(kSealedLength, link.receivedLength);
  peer.SendToClient(std::string(4000, 'y'));  // longer than the buffer: cut, not overrun
  EXPECT_EQ(kDatagramReceiveLength, PollWithin(buffer));
  EXPECT_EQ('\0', buffer[kDatagramReceiveLength]) << "the text still ends inside the buffer";
}

TEST_F(DatagramLinkTest, SendWithLengthZeroSendsTheTextWithoutItsZero) {
  ASSERT_EQ(1, link.Resolve(TestAddress(1).c_str(), peer.port));
  EXPECT_EQ(1, link.Send("calice", 0));
  std::string got;
  ASSERT_TRUE(peer.Receive(&got));
  EXPECT_EQ("calice", got);
  EXPECT_EQ(1, link.Send("i\x01\x00", 3));
  ASSERT_TRUE(peer.Receive(&got));
  EXPECT_EQ(std::string("i\x01\x00", 3), got);
}

TEST_F(DatagramLinkTest, ResolveUsesDottedAddressesAndKeepsTheOldPeerOnFailure) {
  ASSERT_EQ(1, link.Resolve(TestAddress(1).c_str(), 6669));
  EXPECT_EQ(TestNetAddress(1), link.peerAddress.address);
  EXPECT_EQ(NetPortToWire(6669), link.peerAddress.port);
  EXPECT_EQ(-2, link.Resolve("nowhere.test", 7000));
  EXPECT_EQ(-2, link.Resolve("", 7000));
  EXPECT_EQ(TestNetAddress(1), link.peerAddress.address);
  EXPECT_EQ(NetPortToWire(6669), link.peerAddress.port);
  ASSERT_EQ(1, link.Resolve("peer2.test", 6669));
  EXPECT_EQ(TestNetAddress(2), link.peerAddress.address);
}

TEST_F(DatagramLinkTest, BindIsOnTheChosenAddressAndASecondBindIsHarmless) {
  EXPECT_EQ(TestNetAddress(0), link.localAddress.address);
  EXPECT_EQ(NetPortToWire(6669), link.localAddress.port);
  EXPECT_EQ(NetPortToWire(6669), NetLocalPort(link.socket));
  // A second copy's link is refused the port: it must neither share it nor take the
  // datagrams meant for the first.
  DatagramLink second;
  ASSERT_EQ(1, second.Open());
  second.Bind(kPresencePort);
  EXPECT_NE(NetPortToWire(6669), NetLocalPort(second.socket)) << "the port is shared";
  peer.SendToClient("for the first");
  EXPECT_EQ(13, PollWithin(buffer));
  EXPECT_STREQ("for the first", buffer);
  second.Close();
}

}  // namespace
