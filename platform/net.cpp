// POSIX sockets, name lookup and the local host name for the links: the one file that names them.
#include "platform/net.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

static sockaddr_in MakeAddress(uint32_t address, uint16_t wirePort) {
  sockaddr_in a;
  std::memset(&a, 0, sizeof a);
  a.sin_family = AF_INET;
  a.sin_port = wirePort;
  a.sin_addr.s_addr = address;
  return a;
}

static int DomainOf(int s) {
  int domain = AF_INET;
  socklen_t size = sizeof domain;
  if (s < 0 || getsockopt(s, SOL_SOCKET, SO_DOMAIN, &domain, &size) != 0) return AF_INET;
  return domain;
}

// The system's form of address for a socket of `domain`: an IPv4 address is mapped for an
// IPv6 socket (none stays the any-address); an IPv6 address has no form for an IPv4 socket.
static bool MakeSocketAddress(int domain, const NetAddress& address, uint16_t wirePort,
                              sockaddr_storage* out, socklen_t* length) {
  std::memset(out, 0, sizeof *out);
  if (domain == AF_INET) {
    if (address.family == kNetIPv6) return false;
    sockaddr_in a = MakeAddress(NetAddressV4(address), wirePort);
    std::memcpy(out, &a, sizeof a);
    *length = sizeof a;
    return true;
  }
  sockaddr_in6 a;
  std::memset(&a, 0, sizeof a);
  a.sin6_family = AF_INET6;
  a.sin6_port = wirePort;
  if (address.family == kNetIPv6) {
    std::memcpy(a.sin6_addr.s6_addr, address.bytes, 16);
  } else if (address.family == kNetIPv4) {
    a.sin6_addr.s6_addr[10] = 0xff;
    a.sin6_addr.s6_addr[11] = 0xff;
    std::memcpy(a.sin6_addr.s6_addr + 12, address.bytes, 4);
  }
  std::memcpy(out, &a, sizeof a);
  *length = sizeof a;
  return true;
}

static NetAddress AddressOf(const sockaddr_storage& a, uint16_t* wirePort) {
  NetAddress address = {};
  uint16_t port = 0;
  if (a.ss_family == AF_INET) {
    const sockaddr_in* v4 = reinterpret_cast<const sockaddr_in*>(&a);
    address = NetAddressFromV4(v4->sin_addr.s_addr);
    port = v4->sin_port;
  } else if (a.ss_family == AF_INET6) {
    const sockaddr_in6* v6 = reinterpret_cast<const sockaddr_in6*>(&a);
    static const uint8_t kAny[16] = {0};
    if (std::memcmp(v6->sin6_addr.s6_addr, kAny, 16) != 0) address = NetAddressFromV6Bytes(v6->sin6_addr.s6_addr);
    port = v6->sin6_port;
  }
  if (wirePort) *wirePort = port;
  return address;
}

int NetOpenStream() {
  int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  return s < 0 ? kNoSocket : s;
}

int NetOpenDatagram() {
  int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  return s < 0 ? kNoSocket : s;
}

int NetOpenDatagramDual(bool ipv6) {
  if (ipv6) {
    int s = socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    int off = 0;
    if (s >= 0 && setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off) == 0) return s;
    if (s >= 0) close(s);
  }
  return NetOpenDatagram();
}

void NetClose(int s) {
  if (s >= 0) close(s);
}

void NetShutdownReceive(int s) {
  if (s >= 0) shutdown(s, SHUT_RD);
}

void NetShutdownBoth(int s) {
  if (s >= 0) shutdown(s, SHUT_RDWR);
}

bool NetParseDotted(const char* text, uint32_t* address) {
  in_addr a;
  if (!text || inet_pton(AF_INET, text, &a) != 1) return false;
  *address = a.s_addr;
  return true;
}

bool NetLookUpHost(const char* name, uint32_t* address) {
  if (!name || !*name) return false;
  addrinfo hints;
  std::memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &found) != 0 || !found) return false;  // EAI_AGAIN too
  bool ok = false;
  for (addrinfo* p = found; p; p = p->ai_next) {
    if (p->ai_family == AF_INET && p->ai_addrlen >= sizeof(sockaddr_in)) {
      *address = reinterpret_cast<sockaddr_in*>(p->ai_addr)->sin_addr.s_addr;
      ok = true;
      break;
    }
  }
  freeaddrinfo(found);
  return ok;
}

int NetLookUpHostAll(const char* name, NetAddress* out, int most, bool ipv6) {
  if (!name || !*name || !out || most <= 0) return 0;
  addrinfo hints;
  std::memset(&hints, 0, sizeof hints);
  hints.ai_family = ipv6 ? AF_UNSPEC : AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &found) != 0 || !found) return 0;  // EAI_AGAIN too
  int count = 0;
  for (addrinfo* p = found; p && count < most; p = p->ai_next) {
    if (p->ai_addrlen > sizeof(sockaddr_storage)) continue;
    sockaddr_storage a;
    std::memset(&a, 0, sizeof a);
    std::memcpy(&a, p->ai_addr, p->ai_addrlen);
    NetAddress address = AddressOf(a, nullptr);
    if (!NetAddressIsSet(address) || (!ipv6 && address.family != kNetIPv4)) continue;
    bool seen = false;
    for (int i = 0; i < count; ++i) seen = seen || out[i] == address;
    if (!seen) out[count++] = address;
  }
  freeaddrinfo(found);
  return count;
}

bool NetLocalHostName(char* out, std::size_t size) {
  if (!out || size == 0) return false;
  if (gethostname(out, size) != 0) {
    out[0] = '\0';
    return false;
  }
  out[size - 1] = '\0';  // gethostname need not terminate a cut name
  return true;
}

void NetAddressText(uint32_t address, char* out, std::size_t size) {
  if (!out || size == 0) return;
  in_addr a;
  a.s_addr = address;
  char text[INET_ADDRSTRLEN] = {0};
  inet_ntop(AF_INET, &a, text, sizeof text);
  std::size_t n = strnlen(text, sizeof text);
  if (n >= size) n = size - 1;
  std::memcpy(out, text, n);
  out[n] = '\0';
}

uint16_t NetPortToWire(int port) { return htons(static_cast<uint16_t>(port)); }
int NetPortFromWire(uint16_t wirePort) { return ntohs(wirePort); }

int NetBind(int s, uint32_t address, uint16_t wirePort) {
  sockaddr_storage a;
  socklen_t length = 0;
  if (!MakeSocketAddress(DomainOf(s), NetAddressFromV4(address), wirePort, &a, &length)) return 0;
  return bind(s, reinterpret_cast<sockaddr*>(&a), length) == 0 ? 1 : 0;
}

static bool LocalName(int s, sockaddr_storage* a) {
  std::memset(a, 0, sizeof *a);
  socklen_t length = sizeof *a;
  return s >= 0 && getsockname(s, reinterpret_cast<sockaddr*>(a), &length) == 0;
}

uint16_t NetLocalPort(int s) {
  sockaddr_storage a;
  uint16_t port = 0;
  if (LocalName(s, &a)) AddressOf(a, &port);
  return port;
}

uint32_t NetLocalAddress(int s) { return NetAddressV4(NetLocalAddressOf(s)); }

NetAddress NetLocalAddressOf(int s) {
  sockaddr_storage a;
  if (!LocalName(s, &a)) return NetAddress{};
  return AddressOf(a, nullptr);
}

NetAddress NetSourceAddressToward(const NetAddress& to) {
  const int domain = to.family == kNetIPv6 ? AF_INET6 : AF_INET;
  sockaddr_storage a;
  socklen_t length = 0;
  int s = socket(domain, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  if (s < 0) return NetAddress{};
  NetAddress source = {};
  // A datagram socket's connect only chooses the route and the source address.
  if (MakeSocketAddress(domain, to, NetPortToWire(9), &a, &length) &&
      connect(s, reinterpret_cast<sockaddr*>(&a), length) == 0)
    source = NetLocalAddressOf(s);
  close(s);
  return source;
}

static void SetBlocking(int s, bool blocking) {
  int flags = fcntl(s, F_GETFL, 0);
  if (flags < 0) return;
  fcntl(s, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK));
}

static NetConnectOutcome OutcomeOf(int error) {
  switch (error) {
    case 0: return NetConnected;
    case ECONNREFUSED: return NetRefused;
    case ENETUNREACH:
    case EHOSTUNREACH: return NetUnreachable;
    case ETIMEDOUT: return NetTimedOut;
    default: return NetConnectFailed;
  }
}

static NetConnectOutcome EndConnect(int s, int error) {
  SetBlocking(s, true);
  return OutcomeOf(error);
}

NetConnectOutcome NetConnectStart(int s, uint32_t address, uint16_t wirePort) {
  if (s < 0) return NetConnectFailed;
  SetBlocking(s, false);
  sockaddr_in a = MakeAddress(address, wirePort);
  int r;
  do {
    r = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  } while (r != 0 && errno == EINTR);
  if (r != 0 && errno == EINPROGRESS) return NetConnecting;
  return EndConnect(s, r == 0 ? 0 : errno);
}

NetConnectOutcome NetConnectWait(int s, int ms) {
  pollfd p = {s, POLLOUT, 0};
  int r = poll(&p, 1, ms);
  if (r == 0 || (r < 0 && errno == EINTR)) return NetConnecting;
  if (r < 0) return EndConnect(s, errno);
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
  return EndConnect(s, error);
}

namespace {

// One attempt of the race: its socket while it is under way.
struct RaceAttempt {
  int socket;
  int index;   // its place in the caller's addresses
};

// IPv6 and IPv4 taking turns, IPv6 first, each family in the order given.
int RaceOrder(const NetAddress* addresses, int count, int* order) {
  int v6[kNetRaceMost], v4[kNetRaceMost], n6 = 0, n4 = 0;
  for (int i = 0; i < count && n6 + n4 < kNetRaceMost; ++i) {
    if (addresses[i].family == kNetIPv6) v6[n6++] = i;
    else if (addresses[i].family == kNetIPv4) v4[n4++] = i;
  }
  int n = 0;
  for (int i = 0; i < n6 || i < n4; ++i) {
    if (i < n6) order[n++] = v6[i];
    if (i < n4) order[n++] = v4[i];
  }
  return n;
}

// How telling a failure is when every attempt failed: a server that refused was reached.
int Rank(NetConnectOutcome outcome) {
  switch (outcome) {
    case NetRefused: return 4;
    case NetUnreachable: return 3;
    case NetTimedOut: return 2;
    case NetConnectFailed: return 1;
    default: return 0;
  }
}

// Opens and starts one attempt; NetConnecting leaves it in *attempt.
NetConnectOutcome StartAttempt(const NetAddress& address, uint16_t wirePort, uint32_t bindV4, int* socketOut) {
  const int domain = address.family == kNetIPv6 ? AF_INET6 : AF_INET;
  int s = socket(domain, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (s < 0) return errno == EAFNOSUPPORT ? NetUnreachable : NetConnectFailed;  // no IPv6 here
  if (domain == AF_INET && bindV4 != 0) NetBind(s, bindV4, 0);
  sockaddr_storage a;
  socklen_t length = 0;
  MakeSocketAddress(domain, address, wirePort, &a, &length);
  SetBlocking(s, false);
  int r;
  do {
    r = connect(s, reinterpret_cast<sockaddr*>(&a), length);
  } while (r != 0 && errno == EINTR);
  NetConnectOutcome outcome = r == 0 ? NetConnected : errno == EINPROGRESS ? NetConnecting : OutcomeOf(errno);
  if (outcome == NetConnected || outcome == NetConnecting) {
    *socketOut = s;
  } else {
    close(s);
  }
  return outcome;
}

uint32_t NowMs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<uint32_t>(t.tv_sec * 1000u + t.tv_nsec / 1000000);
}

}  // namespace

NetConnectOutcome NetConnectAny(const NetAddress* addresses, int count, uint16_t wirePort,
                                uint32_t bindV4, int ms, bool (*goOn)(void*), void* context,
                                int* socketOut, int* winner) {
  constexpr int kSliceMs = 20;  // how often goOn is asked
  int order[kNetRaceMost];
  const int total = RaceOrder(addresses, count < 0 ? 0 : count, order);
  RaceAttempt pending[kNetRaceMost];
  int open = 0, next = 0;
  NetConnectOutcome failure = total ? NetConnectFailed : NetUnreachable;
  const uint32_t start = NowMs();
  uint32_t nextStart = start;
  auto closeAll = [&](int keep) {
    for (int i = 0; i < open; ++i)
      if (pending[i].socket != keep) close(pending[i].socket);
    open = 0;
  };
  for (;;) {
    const uint32_t now = NowMs();
    const uint32_t spent = now - start;
    if (spent >= static_cast<uint32_t>(ms) || (goOn && !goOn(context))) {
      closeAll(-1);
      return NetConnecting;
    }
    // The next attempt: when its turn has come, or at once when nothing is under way.
    if (next < total && (open == 0 || static_cast<int32_t>(now - nextStart) >= 0)) {
      int s = -1;
      const int index = order[next++];
      NetConnectOutcome outcome = StartAttempt(addresses[index], wirePort, bindV4, &s);
      if (outcome == NetConnected) {
        closeAll(-1);
        SetBlocking(s, true);
        *socketOut = s;
        *winner = index;
        return NetConnected;
      }
      if (outcome == NetConnecting) {
        pending[open++] = RaceAttempt{s, index};
        nextStart = now + kNetRaceStepMs;
      } else if (Rank(outcome) > Rank(failure)) {
        failure = outcome;
      }
      continue;
    }
    if (open == 0) return failure;  // every address tried, every attempt failed
    int wait = ms - static_cast<int>(spent);
    if (wait > kSliceMs) wait = kSliceMs;
    if (next < total) {
      int32_t untilNext = static_cast<int32_t>(nextStart - now);
      if (untilNext < wait) wait = untilNext < 0 ? 0 : untilNext;
    }
    // Bounded again where the compiler can see it: some builds cannot prove open stays in range.
    const int polled = open < kNetRaceMost ? open : kNetRaceMost;
    if (polled <= 0) return failure;
    pollfd p[kNetRaceMost];
    for (int i = 0; i < polled; ++i) p[i] = {pending[i].socket, POLLOUT, 0};
    int r = poll(p, static_cast<nfds_t>(polled), wait);
    if (r <= 0) continue;  // the time, or a signal: look again
    for (int i = 0; i < open;) {
      if (!p[i].revents) {
        ++i;
        continue;
      }
      int error = 0;
      socklen_t length = sizeof error;
      if (getsockopt(pending[i].socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
      if (error == 0) {
        const int s = pending[i].socket;
        *winner = pending[i].index;
        closeAll(s);
        SetBlocking(s, true);
        *socketOut = s;
        return NetConnected;
      }
      NetConnectOutcome outcome = OutcomeOf(error);
      if (Rank(outcome) > Rank(failure)) failure = outcome;
      close(pending[i].socket);
      pending[i] = pending[open - 1];  // its poll entry moves along with it
      p[i] = p[open - 1];
      --open;
    }
  }
}

void NetSetSendTimeout(int s, int ms) {
  timeval t;
  t.tv_sec = ms / 1000;
  t.tv_usec = (ms % 1000) * 1000;
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &t, sizeof t);
}

void NetSetReceiveBuffer(int s, int bytes) {
  if (s >= 0) setsockopt(s, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

unsigned NetBytesWaiting(int s) {
  int count = 0;
  if (s < 0 || ioctl(s, FIONREAD, &count) != 0 || count < 0) return 0;
  return static_cast<unsigned>(count);
}

bool NetStreamEnded(int s) {
  if (s < 0) return true;
  char byte;
  ssize_t r;
  do {
    r = recv(s, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  } while (r < 0 && errno == EINTR);
  if (r > 0) return false;
  if (r == 0) return true;
  return errno != EAGAIN && errno != EWOULDBLOCK;
}

int NetReceiveByte(int s, char* byte) {
  for (;;) {
    ssize_t r = recv(s, byte, 1, 0);
    if (r == 1) return 1;
    if (r == 0) return 0;
    if (errno != EINTR) return -1;
  }
}

int NetSend(int s, const void* data, std::size_t length) {
  ssize_t r;
  do {
    r = send(s, data, length, MSG_NOSIGNAL);
  } while (r < 0 && errno == EINTR);
  return r < 0 ? -1 : static_cast<int>(r);
}

int NetSendTo(int s, const void* data, std::size_t length, uint32_t address, uint16_t wirePort) {
  return NetSendToAddress(s, data, length, NetAddressFromV4(address), wirePort);
}

int NetSendToTtl(int s, const void* data, std::size_t length, uint32_t address, uint16_t wirePort, int ttl) {
  return NetSendToAddressTtl(s, data, length, NetAddressFromV4(address), wirePort, ttl);
}

int NetSendToAddress(int s, const void* data, std::size_t length, const NetAddress& address, uint16_t wirePort) {
  sockaddr_storage a;
  socklen_t size = 0;
  if (s < 0 || !MakeSocketAddress(DomainOf(s), address, wirePort, &a, &size)) return -1;
  ssize_t r = sendto(s, data, length, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&a), size);
  return r < 0 ? -1 : static_cast<int>(r);
}

int NetSendToAddressTtl(int s, const void* data, std::size_t length, const NetAddress& address,
                        uint16_t wirePort, int ttl) {
  // IPv4 (mapped or not) takes the IP time-to-live, IPv6 the unicast hop limit.
  const bool v6 = address.family == kNetIPv6;
  const int level = v6 ? IPPROTO_IPV6 : IPPROTO_IP;
  const int option = v6 ? IPV6_UNICAST_HOPS : IP_TTL;
  int old = 0;
  socklen_t size = sizeof old;
  bool kept = getsockopt(s, level, option, &old, &size) == 0;
  setsockopt(s, level, option, &ttl, sizeof ttl);
  int r = NetSendToAddress(s, data, length, address, wirePort);
  if (kept) setsockopt(s, level, option, &old, sizeof old);
  return r;
}

bool NetDatagramWaiting(int s) {
  if (s < 0) return false;
  pollfd p = {s, POLLIN, 0};
  return poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

int NetWaitReadableAny(const int* sockets, bool* ready, int count, int ms) {
  constexpr int kMost = 1024;
  if (count < 0 || count > kMost) return -1;
  pollfd p[kMost];
  for (int i = 0; i < count; ++i) p[i] = {sockets[i], POLLIN, 0};  // a negative fd is skipped
  int r;
  do {
    r = poll(p, static_cast<nfds_t>(count), ms);
  } while (r < 0 && errno == EINTR);
  for (int i = 0; i < count; ++i) ready[i] = r > 0 && sockets[i] >= 0 && (p[i].revents & (POLLIN | POLLHUP | POLLERR));
  return r;
}

int NetReceiveFrom(int s, void* buffer, std::size_t size, uint32_t* address, uint16_t* wirePort) {
  NetAddress from = {};
  int r = NetReceiveFromAddress(s, buffer, size, &from, wirePort);
  if (r >= 0) *address = NetAddressV4(from);
  return r;
}

int NetReceiveFromAddress(int s, void* buffer, std::size_t size, NetAddress* address, uint16_t* wirePort) {
  sockaddr_storage a;
  std::memset(&a, 0, sizeof a);
  socklen_t length = sizeof a;
  ssize_t r = recvfrom(s, buffer, size, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&a), &length);
  if (r < 0) return -1;
  *address = AddressOf(a, wirePort);
  return static_cast<int>(r);
}

int NetListen(uint32_t address, uint16_t* wirePort) {
  int s = NetOpenStream();
  if (s == kNoSocket) return kNoSocket;
  int one = 1;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a = MakeAddress(address, *wirePort);
  socklen_t length = sizeof a;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(s, 8) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
    close(s);
    return kNoSocket;
  }
  *wirePort = a.sin_port;
  return s;
}

int NetAccept(int s) {
  int c;
  do {
    c = accept4(s, nullptr, nullptr, SOCK_CLOEXEC);
  } while (c < 0 && errno == EINTR);
  return c < 0 ? kNoSocket : c;
}

bool NetWaitReadable(int s, int ms) {
  pollfd p = {s, POLLIN, 0};
  return poll(&p, 1, ms) == 1;
}

int NetReceive(int s, void* buffer, std::size_t size) {
  ssize_t r;
  do {
    r = recv(s, buffer, size, 0);
  } while (r < 0 && errno == EINTR);
  return r < 0 ? -1 : static_cast<int>(r);
}

int NetOpenWakeSignal() {
  int s = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  return s < 0 ? kNoSocket : s;
}

void NetRaiseWakeSignal(int signal) {
  uint64_t one = 1;
  if (signal >= 0 && write(signal, &one, sizeof one) < 0) return;  // already raised to the limit
}

void NetClearWakeSignal(int signal) {
  uint64_t count = 0;
  if (signal >= 0 && read(signal, &count, sizeof count) < 0) return;  // was not raised
}

void LowerThreadPriority() {
  // On Linux each thread has its own nice value; one step up is "below normal".
  pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
  errno = 0;
  int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
  if (errno == 0) setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice + 1);
}
