// A dead server link is noticed: closed by the server, or silent past our own PING.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "console/console_log.h"
#include "irc/chat_commands.h"
#include "irc/irc_client.h"
#include "irc/link_watch.h"
#include "irc/receive_thread.h"
#include "tests/irc/net_test_support.h"

namespace {

TEST(LinkWatch, PingAfterTheSilenceThenLostWithoutAnswerAcrossATickWrap) {
  LinkWatch watch;
  const uint32_t start = 0xFFFF0000u;  // the count wraps during the silence
  WatchStart(&watch, start);
  EXPECT_EQ(WatchQuiet, WatchCheck(&watch, start + 59999));
  EXPECT_EQ(WatchSendPing, WatchCheck(&watch, start + 60000));
  EXPECT_EQ(WatchQuiet, WatchCheck(&watch, start + 61000)) << "one PING per silence";
  EXPECT_EQ(WatchQuiet, WatchCheck(&watch, start + 89999));
  EXPECT_EQ(WatchLinkLost, WatchCheck(&watch, start + 90000));
  EXPECT_EQ(WatchQuiet, WatchCheck(&watch, start + 200000)) << "lost once";
}

TEST(LinkWatch, AnyLineEndsTheSilence) {
  LinkWatch watch;
  WatchStart(&watch, 0);
  EXPECT_EQ(WatchSendPing, WatchCheck(&watch, 60000));
  WatchHeard(&watch, 89000);  // the answer, or any other line
  EXPECT_EQ(WatchQuiet, WatchCheck(&watch, 120000));
  EXPECT_EQ(WatchSendPing, WatchCheck(&watch, 149000)) << "a new silence, a new PING";
}

LinkEnd WaitForEnd(int ms) {
  auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (ServerLinkEnd() == LinkUp && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return ServerLinkEnd();
}

using ServerLinkTest = ClientTest;

TEST_F(ServerLinkTest, ServerClosingDuringRegistrationShowsItsErrorThenTheEnd) {
  Receive.held.store(0);
  server.Send(":srv 464 me :Password incorrect\r\nERROR :Closing link: bad password\r\n");
  server.CloseClient();
  std::string text;
  EXPECT_EQ(EventText, WaitForEvent(nullptr, &text));
  EXPECT_EQ("The server refused the password: check the PASS line in config.txt.", text);
  EXPECT_EQ(EventText, WaitForEvent(nullptr, &text));
  EXPECT_EQ("-server- Closing link: bad password", text);
  EXPECT_EQ(EventLinkEnded, WaitForEvent(nullptr, nullptr));
  EXPECT_EQ(LinkClosedByServer, ServerLinkEnd());
}

TEST_F(ServerLinkTest, HalfALineWaitsForItsEndWithoutHoldingTheThread) {
  Receive.held.store(0);
  server.Send(":srv NOTICE * :half a li");
  std::string text;
  EXPECT_EQ(0, WaitForEvent(nullptr, &text, 300)) << "a piece was handed over: " << text;
  SayTo("x", "meanwhile");  // the thread still sends while the line is unfinished
  std::string line;
  ASSERT_TRUE(server.NextLine(&line));
  EXPECT_EQ("PRIVMSG x :meanwhile\r\n", line);
  server.Send("ne\r\n");
  EXPECT_EQ(EventText, WaitForEvent(nullptr, &text));
  EXPECT_EQ("-server- half a line", text);
}

TEST_F(ServerLinkTest, ServerClosingAfterRegistrationIsSeenByTheReceiveThreadAtOnce) {
  Register();
  EXPECT_EQ(LinkUp, ServerLinkEnd());
  auto closed = std::chrono::steady_clock::now();
  server.CloseClient();
  EXPECT_EQ(LinkClosedByServer, WaitForEnd(2000));
  EXPECT_LT(std::chrono::steady_clock::now() - closed, std::chrono::milliseconds(500));
}

// Connects again with idle timers of one second each (the test seam).
class SilentServerTest : public ClientTest {
 protected:
  void SetUp() override {
    setenv("QIVRA_IDLE_TIMERS", "1,1", 1);
    ClientTest::SetUp();
  }
  void TearDown() override {
    ClientTest::TearDown();
    unsetenv("QIVRA_IDLE_TIMERS");
  }
};

TEST_F(SilentServerTest, OwnPingAfterTheSilenceAndLostWhenNothingAnswers) {
  Register();
  std::string line;
  ASSERT_TRUE(server.NextLine(&line, 3000)) << "no PING after a second of silence";
  EXPECT_EQ("PING :127.0.0.1\r\n", line);
  server.Send(":srv PONG srv :127.0.0.1\r\n");  // answered: the link stays
  ASSERT_TRUE(server.NextLine(&line, 3000));
  EXPECT_EQ("PING :127.0.0.1\r\n", line) << "the next silence, the next PING";
  EXPECT_EQ(LinkUp, ServerLinkEnd());
  EXPECT_EQ(LinkSilent, WaitForEnd(3000)) << "unanswered, the link is lost a second later";
}

TEST_F(SilentServerTest, AServerStoppedInTheMiddleOfALineIsLostByTheTimers) {
  Receive.held.store(0);
  server.Send(":srv NOTICE * :half a li");
  EXPECT_EQ(EventLinkEnded, WaitForEvent(nullptr, nullptr, 4000)) << "the silent link was not given up";
  EXPECT_EQ(LinkSilent, ServerLinkEnd());
}

}  // namespace
