// The UDP endpoint of the presence datagrams: one socket and the current peer address.
#pragma once
#include <cstdint>
#include "presence/socket_address.h"

constexpr int kPresencePort = 6669;
// Poll takes at most this much: the longest sealed datagram (presence/sealed_datagram.h
// kSealedLength). Its buffer holds one byte more, a zero that ends a plain datagram's text.
constexpr int kDatagramReceiveLength = 2073;
constexpr int kDatagramBufferLength = kDatagramReceiveLength + 1;

class DatagramLink {
 public:
  int socket = -1;                 // kNoSocket when none was made
  SocketAddress peerAddress = {};  // destination of every send; source of the last receive
  SocketAddress localAddress = {}; // the bound address and port
  int receivedLength = 0;          // bytes of the last datagram Poll took, zeros included

  // 1, or -3 no socket. One socket for IPv6 and IPv4 (IPv4 alone while LinkIPv6 is off, on
  // a system without IPv6, or once bound to LinkBindAddress).
  int Open();
  int Bind(int port);                         // always 1: a refused bind is ignored
  int Resolve(const char* host, int port);    // 1 (its first address), or -2 the host does not resolve
  int Send(const char* data, int length);     // 1, or -1; length 0 = text length of data
  // Send with a short IP time-to-live for this datagram only (it dies after ttl routers).
  int SendWithTtl(const char* data, int length, int ttl);
  // Takes one waiting datagram into buffer (kDatagramBufferLength bytes, zeroed first):
  // -1 failed, 0 nothing waiting, else its text length (receivedLength has its whole length).
  int Poll(char* buffer);
  int Close();                                // always 1

  // Sets the current peer address.
  void SetPeer(const SocketAddress& address);
};
