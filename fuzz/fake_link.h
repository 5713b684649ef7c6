// The far side of the fuzz targets' sockets: no socket is made; what the server sends and
// which datagrams wait come from the fuzz input.
#pragma once
#include <cstddef>
#include <cstdint>

// Empties both directions; stream bytes and datagrams given before are dropped.
void FakeLinkReset();
// The bytes the stream socket reads from now on, in order. They are not copied: they must
// stay valid until read or until the next reset.
void FakeLinkServerBytes(const uint8_t* data, std::size_t size);
std::size_t FakeLinkServerBytesLeft();
// One datagram that waits on the presence socket, from address and port (network order).
void FakeLinkQueueDatagram(uint32_t address, uint16_t wirePort, const uint8_t* data, std::size_t size);
std::size_t FakeLinkDatagramsWaiting();
// A dotted address in network order, as the links hold addresses.
uint32_t FakeLinkAddress(int a, int b, int c, int d);
