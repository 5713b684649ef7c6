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
#include <unistd.h>

static sockaddr_in MakeAddress(uint32_t address, uint16_t wirePort) {
  sockaddr_in a;
  std::memset(&a, 0, sizeof a);
  a.sin_family = AF_INET;
  a.sin_port = wirePort;
  a.sin_addr.s_addr = address;
  return a;
}

int NetOpenStream() {
  int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  return s < 0 ? kNoSocket : s;
}

int NetOpenDatagram() {
  int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  return s < 0 ? kNoSocket : s;
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
  sockaddr_in a = MakeAddress(address, wirePort);
  return bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 ? 1 : 0;
}

uint16_t NetLocalPort(int s) {
  sockaddr_in a;
  std::memset(&a, 0, sizeof a);
  socklen_t length = sizeof a;
  if (getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) != 0) return 0;
  return a.sin_port;
}

uint32_t NetLocalAddress(int s) {
  sockaddr_in a;
  std::memset(&a, 0, sizeof a);
  socklen_t length = sizeof a;
  if (s < 0 || getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) != 0) return 0;
  return a.sin_addr.s_addr;
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
  sockaddr_in a = MakeAddress(address, wirePort);
  ssize_t r = sendto(s, data, length, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&a), sizeof a);
  return r < 0 ? -1 : static_cast<int>(r);
}

int NetSendToTtl(int s, const void* data, std::size_t length, uint32_t address, uint16_t wirePort, int ttl) {
  int old = 0;
  socklen_t size = sizeof old;
  bool kept = getsockopt(s, IPPROTO_IP, IP_TTL, &old, &size) == 0;
  setsockopt(s, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl);
  int r = NetSendTo(s, data, length, address, wirePort);
  if (kept) setsockopt(s, IPPROTO_IP, IP_TTL, &old, sizeof old);
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
  sockaddr_in a;
  std::memset(&a, 0, sizeof a);
  socklen_t length = sizeof a;
  ssize_t r = recvfrom(s, buffer, size, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&a), &length);
  if (r < 0) return -1;
  *address = a.sin_addr.s_addr;
  *wirePort = a.sin_port;
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
