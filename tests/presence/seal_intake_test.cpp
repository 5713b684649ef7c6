// The intake's rules for sealed datagrams: forgeries and repeats count against nobody, proven
// datagrams count per member, the rest per address; and the angles a position may carry.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "platform/net_address.h"
#include "presence/datagram_intake.h"
#include "presence/sealed_datagram.h"

namespace {

constexpr int kAlice = 7;  // alice's member index

SocketAddress At(uint8_t last) {  // 10.0.0.last, port 6669
  SocketAddress a = {};
  a.address.family = kNetIPv4;
  a.address.bytes[0] = 10;
  a.address.bytes[3] = last;
  a.port = 6669;
  return a;
}

class SealIntakeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetDatagramIntake();
    ASSERT_EQ(1, MakeSealIdentity(&alice));
    ASSERT_EQ(1, MakeSealIdentity(&me));
    ASSERT_EQ(1, AgreeSeal(alice, "alice", me.publicKey, "me", &aliceWithMe));
    ASSERT_EQ(1, AgreeSeal(me, "me", alice.publicKey, "alice", &meWithAlice));
  }
  std::string FromAlice() {
    char out[kSealedLength];
    const char position[21] = {'d'};
    int n = SealDatagram(&alice, aliceWithMe, position, sizeof position, out, sizeof out);
    return std::string(out, static_cast<std::size_t>(n));
  }
  // What the intake makes of a datagram from alice's address, at now.
  int Take(const std::string& d, SealPair* pair = nullptr, uint8_t from = 1) {
    char inner[kSealInnerLength];
    return TakeSealedDatagram(pair ? pair : &meWithAlice, kAlice, d.data(), static_cast<int>(d.size()), At(from),
                              now, inner, sizeof inner);
  }
  SealIdentity alice, me;
  SealPair aliceWithMe, meWithAlice;
  uint32_t now = 50000;
};

TEST_F(SealIntakeTest, TenThousandForgeriesFromTheMembersAddressNeverBlockTheMember) {
  const std::string genuine = FromAlice();
  int forged = 0;
  for (int i = 0; i < 10000; ++i) {
    std::string bad = genuine;
    std::memcpy(&bad[9], &i, sizeof i);  // a counter of its own, the tag cannot follow
    bad[bad.size() - 1 - i % 16] ^= 0x40;
    forged += Take(bad) == SealForged;
  }
  EXPECT_EQ(10000, forged);
  EXPECT_EQ(21, Take(genuine));
  EXPECT_EQ(SealReplayed, Take(genuine)) << "a repeat, which does not count either";
  // Her own rate is whole: the forgeries counted for nothing.
  for (int i = 1; i < kSourceDatagramsPerSecond; ++i) ASSERT_EQ(21, Take(FromAlice())) << i;
  EXPECT_EQ(SealedOverRate, Take(FromAlice())) << "but a member over her own rate is held back";
  now += kSourceQuietMs;
  EXPECT_EQ(21, Take(FromAlice()));
}

TEST_F(SealIntakeTest, CountersOutOfOrderWithinTheWindowAreTakenOnceEach) {
  std::vector<std::string> sent;
  for (int i = 0; i < kReplayWindow + 8; ++i) sent.push_back(FromAlice());
  // The newest first, then the rest backwards: the last 8 fall out of the window.
  for (int i = static_cast<int>(sent.size()) - 1; i >= 0; --i)
    EXPECT_EQ(i >= 8 ? 21 : SealReplayed, Take(sent[static_cast<std::size_t>(i)])) << "counter " << i + 1;
  for (const std::string& d : sent) EXPECT_EQ(SealReplayed, Take(d));
  const std::string later = FromAlice();
  const std::string latest = FromAlice();
  EXPECT_EQ(21, Take(latest));
  EXPECT_EQ(21, Take(later)) << "one step late";
}

TEST_F(SealIntakeTest, DatagramsThatProveNobodyCountByAddressApartFromMembersAndPlainSources) {
  SealIdentity stranger;
  ASSERT_EQ(1, MakeSealIdentity(&stranger));
  SealPair strangerWithMe;
  ASSERT_EQ(1, AgreeSeal(stranger, "mallory", me.publicKey, "me", &strangerWithMe));
  char out[kSealedLength];
  int n = SealDatagram(&stranger, strangerWithMe, "d", 1, out, sizeof out);
  const std::string unknown(out, static_cast<std::size_t>(n));
  for (int i = 0; i < kSourceDatagramsPerSecond; ++i)
    ASSERT_EQ(SealedFromNobody, Take(unknown)) << "offered to my pair with alice";
  char inner[kSealInnerLength];
  EXPECT_EQ(SealedFromNobody, TakeSealedDatagram(nullptr, kAlice, out, n, At(1), now, inner, sizeof inner));
  EXPECT_EQ(SealMalformed, Take("e short"));
  EXPECT_FALSE(AdmitUnknown(At(1), now)) << "the address that sent them is held back";
  EXPECT_TRUE(AdmitUnknown(At(2), now)) << "another address is not";
  EXPECT_TRUE(AdmitSource(At(1), now)) << "plain datagrams from it have a count of their own";
  EXPECT_EQ(21, Take(FromAlice(), nullptr, 1)) << "alice proves herself from that address";
  EXPECT_FALSE(AdmitMember(0, now));
  EXPECT_FALSE(AdmitMember(kIntakeMembers, now));
}

TEST(SanePosition, AnglesWithinTheLargestAngleEitherWayAndAllFinite) {
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    float angle;
    bool sane;
  } cases[] = {{0, true},          {7200.0f, true}, {-kLargestAngle, true}, {kLargestAngle, true},
               {1.0001e7f, false}, {-2e7f, false},  {3.4e38f, false},       {-inf, false}, {nan, false}};
  for (const auto& c : cases) {
    for (int i = 2; i < 5; ++i) {  // yaw, heading, pitch
      float pose[5] = {1.0f, -2.0f, 0, 0, 0};
      pose[i] = c.angle;
      EXPECT_EQ(c.sane, IsSanePosition(pose)) << "angle " << i << " = " << c.angle;
    }
  }
}

}  // namespace
