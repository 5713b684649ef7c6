// POSIX sockets in the words the stream and datagram links use: the one file that names socket calls.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/net_address.h"

// A uint32_t address below is IPv4 in network byte order; a NetAddress is either family.
// Ports are in network byte order, as a SocketAddress holds them.
constexpr int kNoSocket = -1;

int NetOpenStream();                 // IPv4 TCP socket, or kNoSocket
int NetOpenDatagram();               // IPv4 UDP socket, or kNoSocket
// A UDP socket for both families: IPv6 that also takes IPv4 (as mapped addresses), or plain
// IPv4 where the system has no IPv6 or ipv6 is false. kNoSocket when none could be made.
int NetOpenDatagramDual(bool ipv6);
void NetClose(int s);
void NetShutdownReceive(int s);      // ends a read under way; sending stays possible
void NetShutdownBoth(int s);         // also ends a send under way

bool NetParseDotted(const char* text, uint32_t* address);  // "a.b.c.d" only, never a lookup
bool NetLookUpHost(const char* name, uint32_t* address);   // first IPv4 address; any failure: false
// Every address of the name, IPv6 and IPv4, in the system's order of preference, at most
// `most` and no two alike; IPv4 only when ipv6 is false. The count; 0 on any failure.
int NetLookUpHostAll(const char* name, NetAddress* out, int most, bool ipv6);
bool NetLocalHostName(char* out, std::size_t size);        // always NUL-terminated when true
void NetAddressText(uint32_t address, char* out, std::size_t size);  // dotted form
uint16_t NetPortToWire(int port);
int NetPortFromWire(uint16_t wirePort);

int NetBind(int s, uint32_t address, uint16_t wirePort);     // 1 bound, 0 refused
uint16_t NetLocalPort(int s);                                 // the bound port, 0 if none
uint32_t NetLocalAddress(int s);                              // the bound or chosen IPv4 address, 0 if none
NetAddress NetLocalAddressOf(int s);                          // the same for either family
// The local address the system would send from towards `to` (no packet is sent); none when
// there is no route.
NetAddress NetSourceAddressToward(const NetAddress& to);
// A connect that the caller waits for in slices, so that it can give up after a time of its own
// and keep its window alive meanwhile. Start it once, then wait until it is no longer under way;
// the socket is blocking again once the connect has ended, whatever its outcome.
enum NetConnectOutcome {
  NetConnected, NetConnecting, NetRefused, NetUnreachable, NetTimedOut, NetConnectFailed
};
NetConnectOutcome NetConnectStart(int s, uint32_t address, uint16_t wirePort);
NetConnectOutcome NetConnectWait(int s, int ms);  // NetConnecting when ms passed without an end

// A race of connects to every address of a server ("happy eyeballs"): the first attempt at
// once, each next one kNetRaceStepMs after the one before while nothing has connected (or at
// once when every attempt so far has failed), IPv6 and IPv4 taking turns, IPv6 first. The
// first to connect wins and the others are closed. Blocks for at most ms, and asks
// goOn(context) (when given) every few milliseconds: false gives everything up at once.
// NetConnected with the winning socket (blocking) in *socket and its place in addresses in
// *winner; else the most telling failure of the attempts (a refusal before no route), or
// NetConnecting when the time ran out or goOn said no. bindV4: the local IPv4 address of the
// IPv4 attempts (0: any).
constexpr int kNetRaceStepMs = 250;
constexpr int kNetRaceMost = 16;   // addresses beyond these are left out
NetConnectOutcome NetConnectAny(const NetAddress* addresses, int count, uint16_t wirePort,
                                uint32_t bindV4, int ms, bool (*goOn)(void*), void* context,
                                int* socket, int* winner);
void NetSetSendTimeout(int s, int ms);
void NetSetReceiveBuffer(int s, int bytes);  // asks; the system may grant less

unsigned NetBytesWaiting(int s);     // the FIONREAD count; 0 when the query fails
// True when nothing will ever arrive again: the peer closed the connection (its end of the
// stream has been reached) or the connection failed. Never waits.
bool NetStreamEnded(int s);
int NetReceiveByte(int s, char* byte);            // 1 a byte, 0 peer closed, -1 failed
int NetSend(int s, const void* data, std::size_t length);  // bytes accepted or -1; never SIGPIPE
int NetSendTo(int s, const void* data, std::size_t length, uint32_t address, uint16_t wirePort);
// The same with the IP time-to-live of this one datagram set to ttl (the socket's own comes back
// afterwards): a datagram that only has to pass the near routers dies before the far ones.
int NetSendToTtl(int s, const void* data, std::size_t length, uint32_t address, uint16_t wirePort, int ttl);
// Either family; an IPv4 address goes out mapped on a dual-stack socket, an IPv6 one fails on
// an IPv4 socket (-1). The time-to-live is the IPv6 hop limit for an IPv6 address.
int NetSendToAddress(int s, const void* data, std::size_t length, const NetAddress& address, uint16_t wirePort);
int NetSendToAddressTtl(int s, const void* data, std::size_t length, const NetAddress& address,
                        uint16_t wirePort, int ttl);
bool NetDatagramWaiting(int s);      // a datagram (even an empty one) can be taken without waiting
// Waits until one of the sockets can be read (kNoSocket entries are left out) or ms pass;
// ready[i] tells which. The number ready, 0 after the time, -1 on failure.
int NetWaitReadableAny(const int* sockets, bool* ready, int count, int ms);
// Takes one datagram without waiting: its size, or -1; source into address and wirePort.
int NetReceiveFrom(int s, void* buffer, std::size_t size, uint32_t* address, uint16_t* wirePort);
// The same for either family (a mapped source comes back as IPv4).
int NetReceiveFromAddress(int s, void* buffer, std::size_t size, NetAddress* address, uint16_t* wirePort);

// For test servers and tools: a listening TCP socket on address (port chosen by the system when
// *wirePort is 0), accepting, waiting for input, plain reads.
int NetListen(uint32_t address, uint16_t* wirePort);
int NetAccept(int s);
bool NetWaitReadable(int s, int ms);
int NetReceive(int s, void* buffer, std::size_t size);  // bytes, 0 closed, -1 failed

// A signal one thread raises and another waits for with the sockets: a descriptor that is
// readable while raised. kNoSocket when none could be made.
int NetOpenWakeSignal();
void NetRaiseWakeSignal(int signal);
void NetClearWakeSignal(int signal);

// The receive thread runs below the main thread's priority.
void LowerThreadPriority();
