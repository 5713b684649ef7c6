// The server connect over IPv6 and IPv4: literals, the race of a name's addresses, IPv4 alone.
#include <gtest/gtest.h>

#include <chrono>
#include <utility>
#include <vector>

#include "irc/stream_link.h"
#include "platform/net.h"
#include "presence/host_lookup.h"
#include "tests/irc/net_test_support.h"

namespace {

// "both.test" is [::1] and TestAddress(1): a listener on each at one port.
class ConnectRaceTest : public ::testing::Test {
 protected:
  void SetUp() override { HostLookupOverride.store(FakeLookup); }
  void TearDown() override {
    link.Close();
    for (int s : {v4, v6}) NetClose(s);
    for (int s : fillers) NetClose(s);
    LinkIPv6 = true;
  }
  void Listen(bool v6Stalled) {
    v6 = ListenOnIPv6Loopback(&port, v6Stalled, &fillers);
    uint16_t wire = NetPortToWire(port);
    v4 = NetListen(TestAddressValue(1), &wire);
    ASSERT_TRUE(v6 != -1 && v4 != kNoSocket) << "port " << port;
    NetParseAddress("::1", &loopback6);
  }
  int Connect(const char* host) {
    link.Close();
    return link.Open() == 1 ? link.Connect(host, port) : -3;
  }
  StreamLink link;
  int port = 0, v4 = kNoSocket, v6 = kNoSocket;
  std::vector<int> fillers;
  NetAddress loopback6 = {};
};

TEST_F(ConnectRaceTest, IPv6FirstLiteralsIPv4AloneAndRefusedEverywhere) {
  Listen(false);
  for (const char* host : {"both.test", "[::1]", "::1"}) {
    ASSERT_EQ(1, Connect(host)) << host;
    EXPECT_EQ(loopback6, link.serverAddress.address) << host;
  }
  LinkIPv6 = false;
  ASSERT_EQ(1, Connect("both.test"));
  EXPECT_EQ(TestNetAddress(1), link.serverAddress.address) << "no IPv6 attempt while kept to IPv4";
  EXPECT_EQ(-2, Connect("[::1]"));
  EXPECT_EQ(LinkFailNoSuchHost, link.failure);
  LinkIPv6 = true;
  for (int* s : {&v4, &v6}) NetClose(std::exchange(*s, kNoSocket));
  EXPECT_EQ(0, Connect("both.test"));
  EXPECT_EQ(LinkFailRefused, link.failure);
}

TEST_F(ConnectRaceTest, IPv4AQuarterSecondLaterWinsWhenIPv6HangsAndTheLinkUsesIt) {
  Listen(true);
  auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(1, Connect("both.test"));
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(kNetRaceStepMs - 20));
  EXPECT_EQ(TestNetAddress(1), link.serverAddress.address);
  int accepted = NetAccept(v4);  // connected: already in the listener's queue
  EXPECT_EQ(1, link.Send("NICK a\r\n"));
  char got[9] = {0};
  EXPECT_TRUE(NetWaitReadable(accepted, 1000) && NetReceive(accepted, got, 8) == 8 && std::string(got) == "NICK a\r\n")
      << "the winning socket carries the link";
  NetClose(accepted);
}

}  // namespace
