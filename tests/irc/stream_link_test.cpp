// The stream link over loopback: waiting-byte reads, pieces of long lines, close, lookups.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "irc/stream_link.h"
#include "platform/net.h"
#include "presence/host_lookup.h"
#include "tests/irc/net_test_support.h"

namespace {

class StreamLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HostLookupOverride.store(FakeLookup);
    ASSERT_TRUE(server.Listen());
    ASSERT_EQ(1, link.Open());
    ASSERT_EQ(1, link.Connect("127.0.0.1", server.port));
    ASSERT_TRUE(server.Accept());
  }
  void TearDown() override { link.Close(); }
  // Reads until ReadLine delivers or ms pass.
  int ReadWithin(char* buffer, int ms = 1000) {
    auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < limit) {
      if (link.ReadLine(buffer)) return 1;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return 0;
  }
  FakeServer server;
  StreamLink link;
  char buffer[kStreamLineLength];
};

TEST_F(StreamLinkTest, NothingWaitingReadsNothingAndLeavesTheBufferZero) {
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(0, link.ReadLine(buffer));
  for (char c : buffer) ASSERT_EQ(0, c) << "buffer must be cleared even when nothing is read";
}

TEST_F(StreamLinkTest, LineInTwoSegmentsArrivesWhole) {
  server.Send(":srv NOTICE me :first ha");
  std::thread later([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    server.Send("lf\r\n");
  });
  EXPECT_EQ(1, ReadWithin(buffer));
  later.join();
  EXPECT_STREQ(":srv NOTICE me :first half\r\n", buffer);
}

TEST_F(StreamLinkTest, LongLineComesInPiecesOf2047Bytes) {
  std::string text(2047 + 952, 'a');
  server.Send(text + "\n");
  ASSERT_EQ(1, ReadWithin(buffer));
  EXPECT_EQ(2047u, std::strlen(buffer));
  EXPECT_EQ(0, buffer[2047]);
  ASSERT_EQ(1, ReadWithin(buffer));
  EXPECT_EQ(953u, std::strlen(buffer));
  EXPECT_EQ('\n', buffer[952]);
}

TEST_F(StreamLinkTest, ServerClosingMidLineDeliversThePieceOnce) {
  server.Send("abc");
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  server.CloseClient();
  ASSERT_EQ(1, ReadWithin(buffer));
  EXPECT_STREQ("abc", buffer);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(0, link.ReadLine(buffer));
}

TEST_F(StreamLinkTest, SendStillWorksAfterShutdownOfTheReceivingSide) {
  EXPECT_EQ(1, link.Shutdown());
  EXPECT_EQ(1, link.Send("NICK abc\n"));
  std::string line;
  ASSERT_TRUE(server.NextLine(&line));
  EXPECT_EQ("NICK abc\n", line);
}

TEST(StreamLinkLookup, HostThatDoesNotResolveGivesMinusTwoWithoutConnecting) {
  HostLookupOverride.store(FakeLookup);
  StreamLink link;
  ASSERT_EQ(1, link.Open());
  EXPECT_EQ(-2, link.Connect("nowhere.test", 6667));
  EXPECT_EQ(-2, link.Connect("", 6667));
  EXPECT_FALSE(link.connectTried);
  EXPECT_EQ(-1, link.Send("x\n")) << "an unconnected socket cannot send";
  char buffer[kStreamLineLength];
  EXPECT_EQ(0, link.ReadLine(buffer));
  link.Close();
}

TEST(StreamLinkLookup, RefusedConnectGivesZero) {
  int port = 0;
  {
    FakeServer closed;  // a port that was listening a moment ago and is now shut
    ASSERT_TRUE(closed.Listen());
    port = closed.port;
  }
  StreamLink link;
  ASSERT_EQ(1, link.Open());
  EXPECT_EQ(0, link.Connect("127.0.0.1", port));
  EXPECT_EQ(LinkFailRefused, link.failure);
  link.Close();
  HostLookupOverride.store(FakeLookup);
  ASSERT_EQ(1, link.Open());
  EXPECT_EQ(-2, link.Connect("nowhere.test", port));
  EXPECT_EQ(LinkFailNoSuchHost, link.failure);
  link.Close();
}

TEST(StreamLinkConnect, AConnectUnderWayIsGivenUpSoonAfterItsAbandonFlagIsRaised) {
  FakeServer full;
  ASSERT_TRUE(full.Listen());
  // Never accepted: once its queue is full, the server's system drops further connects
  // unanswered, so the next one stays under way.
  int queued[24];
  for (int& s : queued) {
    s = NetOpenStream();
    uint32_t loopback = 0;
    NetParseDotted("127.0.0.1", &loopback);
    NetConnectStart(s, loopback, NetPortToWire(full.port));
  }
  std::atomic<uint8_t> abandon{0};
  StreamLink link;
  link.abandon = &abandon;
  ASSERT_EQ(1, link.Open());
  std::thread leaver([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    abandon.store(1);
  });
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(0, link.Connect("127.0.0.1", full.port));
  auto took = std::chrono::steady_clock::now() - started;
  leaver.join();
  EXPECT_EQ(LinkFailAbandoned, link.failure);
  EXPECT_GE(took, std::chrono::milliseconds(190)) << "given up before the flag was raised";
  EXPECT_LT(took, std::chrono::milliseconds(400)) << "the flag was not looked at within a slice";
  link.Close();
  for (int s : queued) NetClose(s);
}

}  // namespace
