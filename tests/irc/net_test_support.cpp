// Loopback fake server, UDP peer and client fixture shared by the irc and presence tests.
#include "tests/irc/net_test_support.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "console/settings.h"
#include "irc/motd_rule.h"
#include "irc/dispatcher.h"
#include "irc/irc_client.h"
#include "irc/line_pacing.h"
#include "irc/peer_reach.h"
#include "irc/receive_thread.h"
#include "irc/session.h"
#include "platform/net.h"
#include "platform/ticks.h"
#include "presence/datagram_link.h"
#include "presence/peer_links.h"
#include "presence/host_lookup.h"
#include "presence/host_resolver.h"

std::string TestAddress(int offset) {
  unsigned pid = static_cast<unsigned>(getpid());
  // Eight places for each process: offsets 0 to 3 stay within 1..252 whatever the pid.
  unsigned a = 1 + (pid >> 13) % 250, b = (pid >> 5) & 255, c = ((pid & 31) << 3) + 1 + offset;
  return "127." + std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(c);
}

uint32_t TestAddressValue(int offset) {
  uint32_t value = 0;
  NetParseDotted(TestAddress(offset).c_str(), &value);
  return value;
}

NetAddress TestNetAddress(int offset) { return NetAddressFromV4(TestAddressValue(offset)); }

int FakeLookup(const char* name, NetAddress* out, int most) {
  if (most < 2) return 0;
  if (std::strcmp(name, "peer1.test") == 0) { out[0] = TestNetAddress(1); return 1; }
  if (std::strcmp(name, "peer2.test") == 0) { out[0] = TestNetAddress(2); return 1; }
  bool both = std::strcmp(name, "both.test") == 0;
  if (both || std::strcmp(name, "dual.test") == 0) {
    out[1] = TestNetAddress(both ? 1 : 3);
    return NetParseAddress(both ? "::1" : "2001:db8::7", &out[0]) ? 2 : 0;
  }
  if (std::strcmp(name, "slow.test") == 0) std::this_thread::sleep_for(std::chrono::seconds(3));
  return 0;
}

int ListenOnIPv6Loopback(int* port, bool stalled, std::vector<int>* fillers) {
  int s = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in6 a = {};
  a.sin6_family = AF_INET6;
  a.sin6_addr = in6addr_loopback;
  socklen_t length = sizeof a;
  bool ok = bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(s, stalled ? 1 : 8) == 0 &&
            getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) == 0;
  *port = ntohs(a.sin6_port);
  for (int i = 0; ok && stalled && i < 8; ++i) {  // connects under way or queued, never accepted
    fillers->push_back(socket(AF_INET6, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    connect(fillers->back(), reinterpret_cast<sockaddr*>(&a), sizeof a);
  }
  return ok ? s : -1;
}

FakeServer::~FakeServer() {
  CloseClient();
  NetClose(listener);
}

bool FakeServer::Listen() {
  uint32_t loopback = 0;
  NetParseDotted("127.0.0.1", &loopback);
  uint16_t wire = 0;
  listener = NetListen(loopback, &wire);
  port = NetPortFromWire(wire);
  return listener != kNoSocket;
}

bool FakeServer::Accept(int ms) {
  if (!NetWaitReadable(listener, ms)) return false;
  client = NetAccept(listener);
  return client != kNoSocket;
}

void FakeServer::Send(const std::string& text) { NetSend(client, text.data(), text.size()); }

bool FakeServer::NextLine(std::string* line, int ms) {
  auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    std::size_t end = pending.find('\n');
    if (end != std::string::npos) {
      *line = pending.substr(0, end + 1);
      pending.erase(0, end + 1);
      return true;
    }
    int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    limit - std::chrono::steady_clock::now()).count());
    if (!NetWaitReadable(client, left > 0 ? left : 0)) return false;
    char chunk[4096];
    int n = NetReceive(client, chunk, sizeof chunk);
    if (n <= 0) return false;
    pending.append(chunk, static_cast<std::size_t>(n));
  }
}

bool FakeServer::NothingWithin(int ms) {
  if (!pending.empty()) return false;
  return !NetWaitReadable(client, ms);
}

void FakeServer::CloseClient() {
  NetClose(client);
  client = -1;
}

UdpPeer::~UdpPeer() { NetClose(socket); }

bool UdpPeer::Bind(int offset, int wantedPort) {
  socket = NetOpenDatagram();
  address = TestAddressValue(offset);
  port = wantedPort;
  if (NetBind(socket, address, NetPortToWire(wantedPort)) != 1) return false;
  port = NetPortFromWire(NetLocalPort(socket));
  return true;
}

void UdpPeer::SendTo(const std::string& bytes, uint32_t to, int toPort) {
  NetSendTo(socket, bytes.data(), bytes.size(), to, NetPortToWire(toPort));
}

void UdpPeer::SendToClient(const std::string& bytes) {
  SendTo(bytes, TestAddressValue(0), kPresencePort);
}

bool UdpPeer::Receive(std::string* bytes, int ms) {
  if (!NetWaitReadable(socket, ms)) return false;
  char buffer[4096];
  uint32_t from = 0;
  uint16_t fromPort = 0;
  int n = NetReceiveFrom(socket, buffer, sizeof buffer, &from, &fromPort);
  if (n < 0) return false;
  bytes->assign(buffer, static_cast<std::size_t>(n));
  return true;
}

bool UdpPeer::ReceiveWithTtl(std::string* bytes, int* ttl, int ms) {
  int on = 1;
  setsockopt(socket, IPPROTO_IP, IP_RECVTTL, &on, sizeof on);
  if (!NetWaitReadable(socket, ms)) return false;
  char buffer[4096];
  char control[256];
  iovec part = {buffer, sizeof buffer};
  msghdr message = {};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  ssize_t n = recvmsg(socket, &message, 0);
  if (n < 0) return false;
  bytes->assign(buffer, static_cast<std::size_t>(n));
  *ttl = -1;
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL) std::memcpy(ttl, CMSG_DATA(c), sizeof *ttl);
  }
  return true;
}

void ClientTest::SetUp() {
  ForgetMotdShown();  // every test is a run of its own
  HostLookupOverride.store(FakeLookup);
  ASSERT_TRUE(server.Listen());
  Receive.held.store(1);
  ASSERT_EQ(1, StartSession(TestSessionConfig(server.port)));
  ASSERT_TRUE(server.Accept());
  std::string nick, text;
  ASSERT_EQ(EventConnected, WaitForEvent(&nick, &text));
  Irc.SetNick("me");
  std::string line;
  ASSERT_TRUE(server.NextLine(&line));
  ASSERT_EQ("NICK me\n", line);
}

void ClientTest::TearDown() {
  EndSession("bye");
  Receive.held.store(0);
  Irc.SetBindAddress(nullptr);
  std::memset(&Irc.peerTable.self, 0, sizeof Irc.peerTable.self);
  Irc.peerTable.havePosition = 0;
  Irc.peerTable.keyRepeat = KeyRepeat{};
}

std::string HelloFrom(char letter, const std::string& nick) {
  return std::string(1, letter) + nick + std::string(1, '\0') + kHelloWords;
}

SessionConfig TestSessionConfig(int port) {
  SessionConfig c = {};
  std::snprintf(c.server, sizeof c.server, "127.0.0.1");
  c.port = port;
  c.presence = true;
  c.askRouter = false;  // no helper thread asking a router: tests stay on loopback
  std::snprintf(c.bindAddress, sizeof c.bindAddress, "%s", TestAddress(0).c_str());
  return c;
}

IrcEvent ClientTest::passed;

int ClientTest::Pass(const std::string& line, std::string* nick, std::string* message) {
  static char text[kIrcLineLength];
  std::memset(text, 0, sizeof text);
  std::memcpy(text, line.data(), std::min(line.size(), sizeof text - 1));
  static IrcMessage m;
  ParseIrcMessage(text, &m);
  int code = DispatchMessage(m, &passed);
  if (nick) *nick = passed.nick;
  if (message) *message = passed.text;
  return code;
}

std::atomic<uint32_t> fakeNow{0};
uint32_t FakeTicks() { return fakeNow.load(); }

void FakeClockTest::SetUp() {
  ClientTest::SetUp();
  TestClocks.ticks = FakeTicks;
  fakeNow = 4294900000u;  // the 32-bit count wraps during the tests
  StartLinePacing(0, 1);
}

void FakeClockTest::TearDown() {
  StartLinePacing(0, 1);
  TestClocks.ticks = nullptr;
  ClientTest::TearDown();
}

std::string FakeClockTest::Next() {
  std::string line;
  EXPECT_TRUE(server.NextLine(&line)) << "expected a line";
  return line;
}

void FakeClockTest::Service(uint32_t ms) {
  fakeNow += ms;
  ServicePresence();
}

void ClientTest::DeliverHostsFor(int ms) {
  auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  do {
    DeliverResolvedHosts();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  } while (std::chrono::steady_clock::now() < limit);
}

int ClientTest::AddKnown(const char* nick) {
  int index = Irc.peerTable.AddPeer(nick);
  std::string line;
  EXPECT_TRUE(server.NextLine(&line));
  EXPECT_EQ(std::string("WHOIS ") + nick + "\r\n", line);
  return index;
}

void ClientTest::Register() {
  Receive.held.store(0);
  server.Send("PING :x\r\n");
  ASSERT_EQ(EventRegistered, WaitForEvent(nullptr, nullptr)) << "registration did not complete";
  std::string line;
  ASSERT_TRUE(server.NextLine(&line));
  ASSERT_EQ("PONG :x\r\n", line);
}

int ClientTest::WaitForEvent(std::string* nick, std::string* message, int ms) {
  auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  static IrcEvent event;
  while (std::chrono::steady_clock::now() < limit) {
    if (TakeIrcEvent(&event)) {
      if (nick) *nick = event.nick;
      if (message) *message = event.text;
      return event.kind;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return 0;
}

int ClientTest::Deliver(UdpPeer& from, const std::string& bytes) {
  from.SendToClient(bytes);
  auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (!NetDatagramWaiting(Irc.datagramLink.socket) && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return Irc.peerTable.ReceiveDatagram();
}

std::string ClientTest::Hex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}
