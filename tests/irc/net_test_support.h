// Loopback stand-ins for the irc and presence tests: a fake IRC server, a remote UDP peer,
// per-process loopback addresses, a fake resolver, and a fixture with a connected client.
#pragma once
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "irc/irc_event.h"
#include "platform/net_address.h"

// 127.a.b.c, unique to this test process (parallel ctest runs share port 6669 otherwise).
std::string TestAddress(int offset);  // offset 0: the client under test; 1 to 3: remote peers
uint32_t TestAddressValue(int offset);
NetAddress TestNetAddress(int offset);  // the same as a NetAddress

// Names the fake resolver knows: "peer1.test" and "peer2.test" (TestAddress 1, 2),
// "dual.test" (2001:db8::7 and TestAddress 3), "both.test" (::1 and TestAddress 1), and
// "slow.test", which takes three seconds and then fails. Every other name fails at once.
int FakeLookup(const char* name, NetAddress* out, int most);

class FakeServer {
 public:
  ~FakeServer();
  bool Listen();                        // on 127.0.0.1, port chosen by the system
  bool Accept(int ms = 2000);
  void Send(const std::string& text);   // raw bytes
  bool NextLine(std::string* line, int ms = 2000);  // one line with its line end
  bool NothingWithin(int ms);           // true when no byte arrives in that time
  void CloseClient();
  int port = 0;
  int listener = -1;
  int client = -1;
  std::string pending;                  // received bytes not yet returned as a line
};

// A TCP listener on [::1] at a port of the system's choice, or -1. Stalled: its queue is full of
// connects never accepted (in *fillers, to be closed), so a further connect stays unanswered.
int ListenOnIPv6Loopback(int* port, bool stalled, std::vector<int>* fillers);

class UdpPeer {
 public:
  ~UdpPeer();
  bool Bind(int offset, int port);      // TestAddress(offset), port (0: system's choice)
  void SendTo(const std::string& bytes, uint32_t address, int port);
  void SendToClient(const std::string& bytes);  // to the client under test, port 6669
  bool Receive(std::string* bytes, int ms = 1000);
  // The same, with the IP time-to-live the datagram arrived with.
  bool ReceiveWithTtl(std::string* bytes, int* ttl, int ms = 1000);
  int socket = -1;
  uint32_t address = 0;
  int port = 0;
};

// A hello ("c") or hello reply ("C") as this client sends it: the letter, the nickname, a zero
// and the words that say what the client knows.
std::string HelloFrom(char letter, const std::string& nick);

struct SessionConfig;
// A session to 127.0.0.1:port from TestAddress(0), presence on, no router, lines unpaced.
SessionConfig TestSessionConfig(int port);

// The session started, bound to TestAddress(0), connected to a FakeServer, own nick "me", the
// link thread held (it sends but reads nothing): tests hand it lines themselves with Pass.
class ClientTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Parses the line and runs the dispatcher on it, as the link thread does after registration.
  int Pass(const std::string& line, std::string* nick = nullptr, std::string* message = nullptr);
  static IrcEvent passed;  // the last line's event, its channel among the rest
  void DeliverHostsFor(int ms);          // what the held link thread leaves: looked-up hosts
  int AddKnown(const char* nick);       // enters a peer and takes its WHOIS line off the wire
  // Lets the link thread read, and completes registration with "PING :x".
  void Register();
  // Takes the link thread's events until a shown one arrives or ms pass: its kind, or 0.
  int WaitForEvent(std::string* nick, std::string* message, int ms = 2000);
  std::string Hex(const std::string& bytes);
  // Sends bytes from peer to the client and applies them: the result of ReceiveDatagram.
  int Deliver(UdpPeer& from, const std::string& bytes);
  FakeServer server;
};

// The tests' own clock (TestClocks.ticks = FakeTicks); atomic, as the link thread reads it too.
extern std::atomic<uint32_t> fakeNow;
uint32_t FakeTicks();

// A ClientTest on the tests' clock, started just before the 32-bit count wraps, its lines unpaced.
class FakeClockTest : public ClientTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string Next();               // the server's next line, expected to come
  void Service(uint32_t ms = 0);    // the clock moved on by ms, then the presence upkeep
};
