// The link thread with the window's thread: hand-over of events, one in flight, prompt stop.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "irc/irc_client.h"
#include "irc/receive_thread.h"
#include "irc/room_publish.h"
#include "irc/session.h"
#include "presence/rooms.h"
#include "tests/irc/net_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

static long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class ReceiveThreadTest : public ClientTest {};

TEST_F(ReceiveThreadTest, ChatLineTravelsFromTheServerToTheMainThreadOnce) {
  AddKnown("alice");
  Register();
  server.Send(":alice!a@h PRIVMSG #qivra :hello there\r\n");
  std::string nick, message;
  EXPECT_EQ(1, WaitForEvent(&nick, &message));
  EXPECT_EQ("alice", nick);
  EXPECT_EQ("hello there", message);
  EXPECT_EQ(0, WaitForEvent(&nick, &message, 50)) << "shown once";
  server.Send(":bob!b@h PRIVMSG #qivra :stranger\r\nPING :t1\r\n");
  EXPECT_EQ(1, WaitForEvent(&nick, &message)) << "a message from outside the table is shown too";
  EXPECT_EQ("stranger", message);
  std::string pong;
  ASSERT_TRUE(server.NextLine(&pong));
  EXPECT_EQ("PONG :t1\r\n", pong);
  EXPECT_EQ(0, WaitForEvent(&nick, &message, 30)) << "the PING is not shown";
}

// Lines read ahead wait, oldest first, until the main thread takes them; once the places left
// could not hold every event one line may make (one per room for a quit), the thread reads
// nothing more, so what waits stays bounded.
TEST_F(ReceiveThreadTest, LinesWaitInOrderAndReadingStopsWhileEveryPlaceIsTaken) {
  AddKnown("alice");
  Register();
  std::string burst;
  for (int i = 0; i < kPendingEvents + 1; ++i) burst += ":alice!a@h PRIVMSG #qivra :line " + std::to_string(i) + "\r\n";
  server.Send(burst + "PING :after\r\n");
  auto start = Clock::now();
  const int most = kPendingEvents - kMaxRooms;
  while (PendingEventCount() < most && MsSince(start) < 3000)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(most, PendingEventCount());
  EXPECT_TRUE(server.NothingWithin(60)) << "the PING behind a full hand-over must not be read yet";
  EXPECT_EQ(most, PendingEventCount());
  std::string nick, message;
  for (int i = 0; i < kPendingEvents + 1; ++i) {
    ASSERT_EQ(1, WaitForEvent(&nick, &message)) << "line " << i;
    ASSERT_EQ("line " + std::to_string(i), message);
  }
  std::string pong;
  ASSERT_TRUE(server.NextLine(&pong));
  EXPECT_EQ("PONG :after\r\n", pong);
}

TEST_F(ReceiveThreadTest, DisconnectWithHalfALineReadReturnsPromptly) {
  Register();
  server.Send(":srv NOTICE me :a line without its end");  // the thread now waits for the rest
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  auto start = Clock::now();
  EndSession("bye");
  EXPECT_LT(MsSince(start), 150);
  EXPECT_FALSE(ReceiveThreadRunning());
  std::string quit;
  ASSERT_TRUE(server.NextLine(&quit));
  EXPECT_EQ("QUIT :bye\r\n", quit);
}

TEST_F(ReceiveThreadTest, DisconnectWhileALineIsPendingReturnsPromptly) {
  AddKnown("alice");
  Register();
  server.Send(":alice!a@h PRIVMSG #qivra :never taken\r\n:alice!a@h PRIVMSG #qivra :waiting\r\n");
  auto start = Clock::now();
  while (PendingEventCount() < 2 && MsSince(start) < 2000) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(2, PendingEventCount());
  start = Clock::now();
  EndSession("bye");
  EXPECT_LT(MsSince(start), 150);
  EXPECT_FALSE(ReceiveThreadRunning());
  IrcEvent event;
  EXPECT_FALSE(TakeIrcEvent(&event)) << "nothing is left pending after a disconnect";
}

TEST_F(ReceiveThreadTest, DisconnectDuringASlowNameLookupReturnsPromptly) {
  AddKnown("alice");
  Register();
  server.Send(":srv 311 me alice a slow.test * :Alice\r\n");  // the fake resolver takes 3 s
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  auto start = Clock::now();
  EndSession("bye");
  EXPECT_LT(MsSince(start), 150);
  EXPECT_FALSE(ReceiveThreadRunning());
  std::string line;
  ASSERT_TRUE(server.NextLine(&line));
  EXPECT_EQ("QUIT :bye\r\n", line);
  EXPECT_FALSE(server.NextLine(&line, 50)) << "the abandoned lookup must not lead to a :Q request: " << line;
}

// The window's thread and the link thread at once, as in the program: the window hands over
// its moves and copies the room's view while the link thread takes joins, parts, names and
// WHOIS replies and a peer's datagrams. The link thread alone touches the table; ThreadSanitizer
// checks that nothing else does.
TEST_F(ReceiveThreadTest, TheWindowOnlyTalksToTheSessionThroughItsDoors) {
  UdpPeer peer;
  ASSERT_TRUE(peer.Bind(1, 6669));
  int alice = AddKnown("alice");
  Irc.peerTable.SetPeerHost(alice, TestAddress(1).c_str());
  std::string hello;
  ASSERT_TRUE(peer.Receive(&hello));
  peer.SendToClient("Calice");
  Register();
  std::thread feeder([this] {
    for (int i = 0; i < 40; ++i) {
      std::string n = "p" + std::to_string(i);
      server.Send(":" + n + "!u@h JOIN :#qivra\r\n:srv 353 me = #qivra :x" + n + " y" + n + "\r\n"
                  ":srv 311 me " + n + " u " + TestAddress(2) + " * :r\r\n:" + n + "!u@h PART #qivra\r\n");
    }
    server.Send("PING :done\r\n");
  });
  std::thread sender([&peer] {
    for (int i = 0; i < 200; ++i) {
      peer.SendToClient(std::string("i\x01\x02", 3));
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  static IrcEvent event;
  static RoomView view;
  auto start = Clock::now();
  bool done = false;
  int shown = 0;
  std::string line;
  uint8_t keys[kKeyFlagCount] = {};
  PlayerPose pose = {};
  while (!done && MsSince(start) < 5000) {
    if (TakeIrcEvent(&event)) ++shown;
    keys[KeyForward] = static_cast<uint8_t>(shown % 2);
    pose.x = static_cast<float>(shown);
    SessionMove(keys, pose, true);
    CopyRoomView(&view);
    while (server.NextLine(&line, 0)) {
      if (line == "PONG :done\r\n") done = true;
    }
  }
  feeder.join();
  sender.join();
  while (TakeIrcEvent(&event)) ++shown;  // lines read before the PING may still wait
  EXPECT_TRUE(done);
  EXPECT_EQ(80, shown) << "40 joins and 40 parts";
  start = Clock::now();
  const RoomMember* seen = nullptr;
  while (!seen && MsSince(start) < 1000) {
    CopyRoomView(&view);
    for (int i = 0; i < view.count; ++i)
      if (std::strcmp(view.members[i].nick, "alice") == 0 && view.members[i].keys[KeyForward]) seen = &view.members[i];
  }
  ASSERT_NE(nullptr, seen) << "alice, walking, in the room's view";
  EXPECT_EQ(ReachDirect, seen->reach);
}

}  // namespace
