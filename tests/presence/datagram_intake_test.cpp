// Datagram intake: all waiting datagrams per call, impossible positions dropped, floods ignored.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "irc/irc_client.h"
#include "platform/ticks.h"
#include "presence/datagram_intake.h"
#include "presence/peer_table.h"
#include "tests/irc/net_test_support.h"

namespace {

int positionsApplied = 0;
void CountPositions(char kind, int, int) { positionsApplied += kind == 'd'; }

uint32_t fakeNow = 1000;
uint32_t FakeTicks() { return fakeNow; }
int64_t FrozenCounter() { return 0; }  // a loaded machine must not cut a call short

std::string Position(float x, float z, float yaw = 0, float heading = 0, float pitch = 0) {
  std::string d(21, '\0');
  d[0] = 'd';
  const float v[5] = {x, z, yaw, heading, pitch};
  for (int i = 0; i < 5; ++i) {
    uint32_t bits;
    std::memcpy(&bits, &v[i], 4);
    for (int b = 0; b < 4; ++b) d[1 + 4 * i + b] = static_cast<char>(bits >> (8 * b));
  }
  return d;
}

class IntakeTest : public ClientTest {
 protected:
  void SetUp() override {
    ClientTest::SetUp();
    positionsApplied = 0;
    PeerChangeHook = CountPositions;
    TestClocks.counter = FrozenCounter;
  }
  void TearDown() override {
    PeerChangeHook = nullptr;
    TestClocks.ticks = nullptr;
    TestClocks.counter = nullptr;
    ClientTest::TearDown();
  }
  // A member known at TestAddress(offset), bound from port 6669 by a hello reply.
  int Active(UdpPeer& peer, int offset, const char* nick) {
    EXPECT_TRUE(peer.Bind(offset, 6669));
    int index = AddKnown(nick);
    EXPECT_EQ(1, Irc.peerTable.SetPeerHost(index, TestAddress(offset).c_str()));
    std::string hello;
    EXPECT_TRUE(peer.Receive(&hello));
    peer.SendToClient(std::string("C") + nick);
    TakeWaitingDatagrams(Irc.peerTable);
    EXPECT_EQ(1, Irc.peerTable.IsActive(index));
    return index;
  }
  float X(int index) { return Irc.peerTable.slots[index].pose.x; }
};

TEST_F(IntakeTest, PositionsThatAreNotFiniteOrFarOutsideTheRoomAreDropped) {
  UdpPeer alicePeer;
  int alice = Active(alicePeer, 1, "alice");
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  alicePeer.SendToClient(Position(1.5f, -2.0f, 30, 30, 5));
  TakeWaitingDatagrams(Irc.peerTable);
  ASSERT_EQ(1.5f, X(alice));
  const std::string refused[] = {Position(nan, 0), Position(0, -inf), Position(0, 0, nan),
                                 Position(0, 0, 0, inf), Position(0, 0, 0, 0, -nan),
                                 Position(1e38f, 0), Position(0, -20000.0f)};
  for (const std::string& d : refused) alicePeer.SendToClient(d);
  TakeWaitingDatagrams(Irc.peerTable);
  EXPECT_EQ(1, positionsApplied) << "only the first, sane position";
  EXPECT_EQ(1.5f, X(alice));
  EXPECT_EQ(30.0f, Irc.peerTable.slots[alice].pose.yaw);
  alicePeer.SendToClient(Position(-3.0f, 4.0f, 7200.0f));  // a long turn is still a turn
  TakeWaitingDatagrams(Irc.peerTable);
  EXPECT_EQ(-3.0f, X(alice));

  SetPositionAreaAround(-5, 5, -6, 6);  // a room 10 by 12, and a unit of margin
  alicePeer.SendToClient(Position(5.75f, 0));
  alicePeer.SendToClient(Position(6.25f, 0));
  alicePeer.SendToClient(Position(0, -7.5f));
  TakeWaitingDatagrams(Irc.peerTable);
  PositionArea = kWidestPositionArea;
  EXPECT_EQ(5.75f, X(alice)) << "outside the room's walls: nobody's";
}

TEST_F(IntakeTest, DatagramsShorterThanTheirKindChangeNothingAndWholeOnesApply) {
  UdpPeer alicePeer;
  int alice = Active(alicePeer, 1, "alice");
  alicePeer.SendToClient(Position(1.5f, -2.0f, 30, 30, 5));
  TakeWaitingDatagrams(Irc.peerTable);
  ASSERT_EQ(1.5f, X(alice));
  const PeerSlot& slot = Irc.peerTable.slots[alice];
  const std::string whole = Position(-3.0f, 4.0f, 60, 60, 0);
  const std::string cut[] = {"d", whole.substr(0, 20), std::string("i\x01", 2), "i",
                             std::string("k\x09\x01\x01", 4), "k", "C"};
  positionsApplied = 0;
  for (const std::string& bytes : cut) {
    alicePeer.SendToClient(bytes);
    TakeWaitingDatagrams(Irc.peerTable);
    EXPECT_TRUE(X(alice) == 1.5f && slot.pose.z == -2.0f && !slot.keys[1] && !slot.keys[2])
        << bytes.size() << " bytes of " << bytes[0] << " changed her";
  }
  EXPECT_EQ(0, positionsApplied);

  // The exact lengths still apply: a position, a key held, a block that releases it.
  alicePeer.SendToClient(whole);
  alicePeer.SendToClient(std::string("i\x02\x02", 3));
  TakeWaitingDatagrams(Irc.peerTable);
  EXPECT_EQ(-3.0f, X(alice));
  EXPECT_EQ(1, slot.keys[2]) << "a whole key datagram";
  alicePeer.SendToClient(std::string("k\x09\0\0\0\0\0\0\0\0\0", 11));
  TakeWaitingDatagrams(Irc.peerTable);
  EXPECT_EQ(0, slot.keys[2]) << "a whole key block";
}

TEST_F(IntakeTest, OneDispatcherCallTakesEveryWaitingDatagram) {
  UdpPeer alicePeer;
  int alice = Active(alicePeer, 1, "alice");
  // As many as a socket's default buffer surely holds.
  for (int i = 1; i <= 80; ++i) alicePeer.SendToClient(Position(static_cast<float>(i) / 100, 0));
  TakeWaitingDatagrams(Irc.peerTable);  // what the link thread does each time the socket wakes it
  EXPECT_EQ(80, positionsApplied);
  EXPECT_EQ(0.8f, X(alice)) << "the last one sent is the one that counts";
}

TEST_F(IntakeTest, ASourceSendingTooManyIsIgnoredForAWhileAndOthersAreNot) {
  TestClocks.ticks = FakeTicks;
  fakeNow = 50000;
  UdpPeer alicePeer, bobPeer;
  int alice = Active(alicePeer, 1, "alice");
  int bob = Active(bobPeer, 2, "bob");
  positionsApplied = 0;
  // 450 positions within one (frozen) second, taken in rounds the socket surely holds.
  for (int round = 0; round < 9; ++round) {
    for (int i = 1; i <= 50; ++i) alicePeer.SendToClient(Position(static_cast<float>(round * 50 + i), 0));
    TakeWaitingDatagrams(Irc.peerTable);
  }
  EXPECT_EQ(kSourceDatagramsPerSecond - 1, positionsApplied) << "her hello reply counted too";
  EXPECT_EQ(static_cast<float>(kSourceDatagramsPerSecond - 1), X(alice));
  bobPeer.SendToClient(Position(2.0f, 0));
  fakeNow += 5000;
  alicePeer.SendToClient(Position(-1.0f, 0));
  TakeWaitingDatagrams(Irc.peerTable);
  EXPECT_EQ(2.0f, X(bob)) << "another source is not held back";
  EXPECT_NE(-1.0f, X(alice)) << "still ignored 5 s later";
  fakeNow += kSourceQuietMs;
  alicePeer.SendToClient(Position(-1.0f, 0));
  TakeWaitingDatagrams(Irc.peerTable);
  EXPECT_EQ(-1.0f, X(alice)) << "heard again after the quiet time";
}

}  // namespace
