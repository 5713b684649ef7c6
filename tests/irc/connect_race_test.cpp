// The server connect over IPv6 and IPv4: literals, the race between a name's addresses, and a
// client kept to IPv4.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "irc/stream_link.h"
#include "platform/net.h"
#include "presence/host_lookup.h"
#include "presence/socket_address.h"
#include "tests/irc/net_test_support.h"

namespace {

NetAddress Loopback6() {
  NetAddress a = {};
  NetParseAddress("::1", &a);
  return a;
}

// "both.test" is [::1] and TestAddress(1): a listener on each at one port.
class ConnectRaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HostLookupOverride.store(FakeLookup);
    LinkIPv6 = true;
  }
  void TearDown() override {
    link.Close();
    NetClose(v4);
    NetClose(v6);
    for (int s : fillers) NetClose(s);
    LinkIPv6 = true;
  }
  // v6 answering or stalled, then a v4 listener at the same port (when wanted).
  void Listen(bool v6Stalled, bool withV4) {
    v6 = ListenOnIPv6Loopback(&port, v6Stalled, &fillers);
    ASSERT_NE(-1, v6);
    if (!withV4) return;
    uint16_t wire = NetPortToWire(port);
    v4 = NetListen(TestAddressValue(1), &wire);
    ASSERT_NE(kNoSocket, v4) << "port " << port << " taken on IPv4";
  }
  int Connect(const char* host) {
    EXPECT_EQ(1, link.Open());
    return link.Connect(host, port);
  }
  StreamLink link;
  int port = 0, v4 = kNoSocket, v6 = kNoSocket;
  std::vector<int> fillers;
};

TEST_F(ConnectRaceTest, IPv6IsTriedFirstAndWinsWhenItAnswers) {
  Listen(false, true);
  ASSERT_EQ(1, Connect("both.test"));
  EXPECT_EQ(Loopback6(), link.serverAddress.address);
  EXPECT_TRUE(NetWaitReadable(v6, 1000)) << "the IPv6 listener saw the connect";
  EXPECT_EQ(LinkFailNone, link.failure);
}

TEST_F(ConnectRaceTest, IPv4StartsAQuarterSecondLaterWhenIPv6HangsAndTheWinnerIsUsed) {
  Listen(true, true);
  auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(1, Connect("both.test"));
  auto took = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(TestNetAddress(1), link.serverAddress.address);
  EXPECT_GE(took, std::chrono::milliseconds(kNetRaceStepMs - 20)) << "IPv4 waited its turn";
  FakeServer accepted;
  accepted.listener = v4;
  ASSERT_TRUE(accepted.Accept());
  EXPECT_EQ(1, link.Send("NICK a\r\n")) << "the link talks on the winning socket";
  std::string line;
  EXPECT_TRUE(accepted.NextLine(&line));
  EXPECT_EQ("NICK a\r\n", line);
  accepted.listener = kNoSocket;
}

TEST_F(ConnectRaceTest, IPv6LiteralsWithAndWithoutBrackets) {
  Listen(false, false);
  for (const char* host : {"[::1]", "::1", "0:0:0:0:0:0:0:1"}) {
    ASSERT_EQ(1, Connect(host)) << host;
    EXPECT_EQ(Loopback6(), link.serverAddress.address) << host;
    link.Close();
  }
  EXPECT_EQ(-2, Connect("[::1")) << "a bracket without its pair is a name, and no name resolves so";
  EXPECT_EQ(LinkFailNoSuchHost, link.failure);
}

TEST_F(ConnectRaceTest, EveryAddressRefusedSaysConnectionRefused) {
  Listen(false, true);
  NetClose(v4);
  NetClose(v6);
  v4 = v6 = kNoSocket;
  EXPECT_EQ(0, Connect("both.test"));
  EXPECT_EQ(LinkFailRefused, link.failure);
}

TEST_F(ConnectRaceTest, AClientKeptToIPv4NeitherLooksUpNorConnectsOverIPv6) {
  Listen(false, true);
  LinkIPv6 = false;
  ASSERT_EQ(1, Connect("both.test"));
  EXPECT_EQ(TestNetAddress(1), link.serverAddress.address);
  link.Close();
  EXPECT_EQ(-2, Connect("[::1]"));
  EXPECT_EQ(LinkFailNoSuchHost, link.failure);
}

TEST(NetConnectAny, GivesUpWhenAskedAndWithNoAddressHasNoRoute) {
  int s = kNoSocket, winner = -1;
  NetAddress none = {};
  EXPECT_EQ(NetUnreachable, NetConnectAny(&none, 1, NetPortToWire(1), 0, 1000, nullptr, nullptr, &s, &winner));
  NetAddress loop = Loopback6();
  auto never = [](void*) { return false; };
  EXPECT_EQ(NetConnecting, NetConnectAny(&loop, 1, NetPortToWire(1), 0, 1000, never, nullptr, &s, &winner));
  EXPECT_EQ(kNoSocket, s);
}

}  // namespace
