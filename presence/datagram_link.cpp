// The presence UDP socket: bind, resolve a peer, send to it, and take waiting datagrams.
#include "presence/datagram_link.h"

#include <cstring>

#include "platform/net.h"
#include "presence/host_lookup.h"
#include "presence/peer_table.h"

uint32_t LinkBindAddress = 0;
std::atomic<bool> LinkIPv6{true};

int DatagramLink::Open() {
  NetClose(socket);  // a second Open without Close must not leak the first socket
  socket = NetOpenDatagramDual(LinkIPv6);
  if (socket == kNoSocket) return -3;
  // Room for a crowd's datagrams while the main loop draws a frame or waits for the screen.
  NetSetReceiveBuffer(socket, 1 << 20);
  return 1;
}

int DatagramLink::Bind(int port) {
  std::memset(&localAddress, 0, sizeof localAddress);
  localAddress.port = NetPortToWire(port);
  localAddress.address = NetAddressFromV4(LinkBindAddress);
  NetBind(socket, LinkBindAddress, localAddress.port);  // refusal ignored on purpose
  return 1;
}

void DatagramLink::SetPeer(const SocketAddress& address) {
  peerAddress = address;
}

int DatagramLink::Resolve(const char* host, int port) {
  HostAddresses found = {};
  // The lookup may take long: it runs without the lock so the other thread goes on.
  if (LookUpHost(host, &found) != 1) return -2;
  std::memset(&peerAddress, 0, sizeof peerAddress);
  peerAddress.port = NetPortToWire(port);
  peerAddress.address = found.list[0];
  return 1;
}

int DatagramLink::Send(const char* data, int length) {
  std::size_t size = length > 0 ? static_cast<std::size_t>(length) : strnlen(data, 2048);
  int r = NetSendToAddress(socket, data, size, peerAddress.address, peerAddress.port);
  return r < 0 ? -1 : 1;
}

int DatagramLink::SendWithTtl(const char* data, int length, int ttl) {
  std::size_t size = length > 0 ? static_cast<std::size_t>(length) : strnlen(data, 2048);
  int r = NetSendToAddressTtl(socket, data, size, peerAddress.address, peerAddress.port, ttl);
  return r < 0 ? -1 : 1;
}

int DatagramLink::Poll(char* buffer) {
  // Readiness rather than a byte count: an empty datagram reports zero waiting bytes and
  // would otherwise sit in front of every later one for ever.
  if (!NetDatagramWaiting(socket)) return 0;
  std::memset(buffer, 0, kDatagramBufferLength);
  NetAddress address = {};
  uint16_t port = 0;
  int r = NetReceiveFromAddress(socket, buffer, kDatagramReceiveLength, &address, &port);
  if (r < 0) return -1;
  receivedLength = r;
  std::memset(&peerAddress, 0, sizeof peerAddress);
  peerAddress.port = port;
  peerAddress.address = address;
  return static_cast<int>(strnlen(buffer, kDatagramReceiveLength));
}

int DatagramLink::Close() {
  NetClose(socket);
  socket = kNoSocket;
  return 1;
}
