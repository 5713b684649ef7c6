// Stands in for platform/net.cpp in the link and presence fuzz targets: the same functions
// over the fake far side of fake_link.h, so no socket, lookup or system call is made.
// Defining every function of platform/net.h here keeps the real file out of the link.
#include "fuzz/fake_link.h"

#include <cstdio>
#include <cstring>
#include <deque>
#include <vector>

#include "platform/net.h"

namespace {

constexpr int kStreamSocket = 1000;    // never handed to the system
constexpr int kDatagramSocket = 1001;

const uint8_t* streamBytes = nullptr;
std::size_t streamSize = 0;
std::size_t streamRead = 0;

struct Datagram {
  uint32_t address;
  uint16_t wirePort;
  std::vector<uint8_t> bytes;
};
std::deque<Datagram> datagrams;

}  // namespace

void FakeLinkReset() {
  streamBytes = nullptr;
  streamSize = streamRead = 0;
  datagrams.clear();
}

void FakeLinkServerBytes(const uint8_t* data, std::size_t size) {
  streamBytes = data;
  streamSize = size;
  streamRead = 0;
}

std::size_t FakeLinkServerBytesLeft() { return streamSize - streamRead; }

void FakeLinkQueueDatagram(uint32_t address, uint16_t wirePort, const uint8_t* data, std::size_t size) {
  datagrams.push_back(Datagram{address, wirePort, std::vector<uint8_t>(data, data + size)});
}

std::size_t FakeLinkDatagramsWaiting() { return datagrams.size(); }

uint32_t FakeLinkAddress(int a, int b, int c, int d) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(c),
                            static_cast<uint8_t>(d)};
  uint32_t address;
  std::memcpy(&address, bytes, sizeof address);
  return address;
}

int NetOpenStream() { return kStreamSocket; }
int NetOpenDatagram() { return kDatagramSocket; }
int NetOpenDatagramDual(bool) { return kDatagramSocket; }
void NetClose(int) {}
void NetShutdownReceive(int) {}
void NetShutdownBoth(int) {}

// Four decimal numbers up to 255 without leading zeros, as the system's parser takes them.
bool NetParseDotted(const char* text, uint32_t* address) {
  if (!text) return false;
  int part[4];
  const char* p = text;
  for (int i = 0; i < 4; ++i) {
    if (*p < '0' || *p > '9') return false;
    int value = 0, digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p, ++digits) {
      if (digits == 1 && value == 0) return false;
      value = value * 10 + (*p - '0');
      if (value > 255) return false;
    }
    part[i] = value;
    if (i < 3 && *p++ != '.') return false;
  }
  if (*p != '\0') return false;
  *address = FakeLinkAddress(part[0], part[1], part[2], part[3]);
  return true;
}

// Names ending in ".invalid" do not resolve; every other name has an address in 10/8 made
// from its letters, the same on every run.
bool NetLookUpHost(const char* name, uint32_t* address) {
  if (!name || !*name) return false;
  std::size_t length = std::strlen(name);
  if (length >= 8 && std::strcmp(name + length - 8, ".invalid") == 0) return false;
  uint32_t hash = 2166136261u;
  for (const char* p = name; *p; ++p) hash = (hash ^ static_cast<uint8_t>(*p)) * 16777619u;
  *address = FakeLinkAddress(10, (hash >> 16) & 255, (hash >> 8) & 255, hash & 255);
  return true;
}

int NetLookUpHostAll(const char* name, NetAddress* out, int most, bool) {
  uint32_t address = 0;
  if (most < 1 || !NetLookUpHost(name, &address)) return 0;
  out[0] = NetAddressFromV4(address);
  return 1;
}

bool NetLocalHostName(char* out, std::size_t size) {
  if (!out || size == 0) return false;
  std::strncpy(out, "fuzz.host", size - 1);
  out[size - 1] = '\0';
  return true;
}

void NetAddressText(uint32_t address, char* out, std::size_t size) {
  if (!out || size == 0) return;
  uint8_t b[4];
  std::memcpy(b, &address, sizeof b);
  std::snprintf(out, size, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
}

uint16_t NetPortToWire(int port) {
  const uint8_t bytes[2] = {static_cast<uint8_t>((port >> 8) & 255), static_cast<uint8_t>(port & 255)};
  uint16_t wire;
  std::memcpy(&wire, bytes, sizeof wire);
  return wire;
}

int NetPortFromWire(uint16_t wirePort) {
  uint8_t bytes[2];
  std::memcpy(bytes, &wirePort, sizeof bytes);
  return (bytes[0] << 8) | bytes[1];
}

int NetBind(int, uint32_t, uint16_t) { return 1; }
uint16_t NetLocalPort(int s) { return s == kDatagramSocket ? NetPortToWire(6669) : 0; }
uint32_t NetLocalAddress(int) { return 0; }
NetAddress NetLocalAddressOf(int) { return NetAddress{}; }
NetAddress NetSourceAddressToward(const NetAddress&) { return NetAddress{}; }
NetConnectOutcome NetConnectStart(int, uint32_t, uint16_t) { return NetConnected; }
NetConnectOutcome NetConnectWait(int, int) { return NetConnected; }
NetConnectOutcome NetConnectAny(const NetAddress*, int count, uint16_t, uint32_t, int, bool (*)(void*), void*,
                                int* socket, int* winner) {
  if (count < 1) return NetUnreachable;
  *socket = kStreamSocket;
  *winner = 0;
  return NetConnected;
}
bool NetStreamEnded(int s) { return s != kStreamSocket; }  // the fuzz input is all there is
void NetSetSendTimeout(int, int) {}
void NetSetReceiveBuffer(int, int) {}

unsigned NetBytesWaiting(int s) {
  return s == kStreamSocket ? static_cast<unsigned>(FakeLinkServerBytesLeft()) : 0;
}

int NetReceiveByte(int s, char* byte) {
  if (s != kStreamSocket || streamRead >= streamSize) return 0;
  *byte = static_cast<char>(streamBytes[streamRead++]);
  return 1;
}

int NetSend(int s, const void*, std::size_t length) {
  return s == kStreamSocket ? static_cast<int>(length) : -1;
}

int NetSendTo(int s, const void*, std::size_t length, uint32_t, uint16_t) {
  return s == kDatagramSocket ? static_cast<int>(length) : -1;
}

int NetSendToTtl(int s, const void* data, std::size_t length, uint32_t address, uint16_t wirePort, int) {
  return NetSendTo(s, data, length, address, wirePort);
}

int NetSendToAddress(int s, const void* data, std::size_t length, const NetAddress& address, uint16_t wirePort) {
  return NetSendTo(s, data, length, NetAddressV4(address), wirePort);
}

int NetSendToAddressTtl(int s, const void* data, std::size_t length, const NetAddress& address, uint16_t wirePort,
                        int) {
  return NetSendToAddress(s, data, length, address, wirePort);
}

bool NetDatagramWaiting(int s) { return s == kDatagramSocket && !datagrams.empty(); }

// Like the system: a datagram longer than the buffer is cut to it.
int NetReceiveFrom(int s, void* buffer, std::size_t size, uint32_t* address, uint16_t* wirePort) {
  if (s != kDatagramSocket || datagrams.empty()) return -1;
  const Datagram& d = datagrams.front();
  std::size_t n = d.bytes.size() < size ? d.bytes.size() : size;
  if (n) std::memcpy(buffer, d.bytes.data(), n);
  *address = d.address;
  *wirePort = d.wirePort;
  datagrams.pop_front();
  return static_cast<int>(n);
}

int NetReceiveFromAddress(int s, void* buffer, std::size_t size, NetAddress* address, uint16_t* wirePort) {
  uint32_t v4 = 0;
  int r = NetReceiveFrom(s, buffer, size, &v4, wirePort);
  if (r >= 0) *address = NetAddressFromV4(v4);
  return r;
}

int NetWaitReadableAny(const int* sockets, bool* ready, int count, int) {
  int n = 0;
  for (int i = 0; i < count; ++i) {
    ready[i] = sockets[i] == kStreamSocket ? FakeLinkServerBytesLeft() > 0
                                           : sockets[i] == kDatagramSocket && !datagrams.empty();
    n += ready[i];
  }
  return n;
}

int NetOpenWakeSignal() { return kNoSocket; }
void NetRaiseWakeSignal(int) {}
void NetClearWakeSignal(int) {}

int NetListen(uint32_t, uint16_t*) { return kNoSocket; }
int NetAccept(int) { return kNoSocket; }
bool NetWaitReadable(int s, int) { return s == kStreamSocket && FakeLinkServerBytesLeft() > 0; }
int NetReceive(int, void*, std::size_t) { return -1; }
void LowerThreadPriority() {}
