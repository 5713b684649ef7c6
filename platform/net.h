// POSIX sockets in the words the stream and datagram links use: the one file that names socket calls.
#pragma once
#include <cstddef>
#include <cstdint>

// Addresses and ports below are IPv4 in network byte order, as a SocketAddress holds them.
constexpr int kNoSocket = -1;

int NetOpenStream();                 // TCP socket, or kNoSocket
int NetOpenDatagram();               // UDP socket, or kNoSocket
void NetClose(int s);
void NetShutdownReceive(int s);      // ends a read under way; sending stays possible
void NetShutdownBoth(int s);         // also ends a send under way

bool NetParseDotted(const char* text, uint32_t* address);  // "a.b.c.d" only, never a lookup
bool NetLookUpHost(const char* name, uint32_t* address);   // first IPv4 address; any failure: false
bool NetLocalHostName(char* out, std::size_t size);        // always NUL-terminated when true
void NetAddressText(uint32_t address, char* out, std::size_t size);  // dotted form
uint16_t NetPortToWire(int port);
int NetPortFromWire(uint16_t wirePort);

int NetBind(int s, uint32_t address, uint16_t wirePort);     // 1 bound, 0 refused
uint16_t NetLocalPort(int s);                                 // the bound port, 0 if none
uint32_t NetLocalAddress(int s);                              // the bound or chosen address, 0 if none
// A connect that the caller waits for in slices, so that it can give up after a time of its own
// and keep its window alive meanwhile. Start it once, then wait until it is no longer under way;
// the socket is blocking again once the connect has ended, whatever its outcome.
enum NetConnectOutcome {
  NetConnected, NetConnecting, NetRefused, NetUnreachable, NetTimedOut, NetConnectFailed
};
NetConnectOutcome NetConnectStart(int s, uint32_t address, uint16_t wirePort);
NetConnectOutcome NetConnectWait(int s, int ms);  // NetConnecting when ms passed without an end
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
bool NetDatagramWaiting(int s);      // a datagram (even an empty one) can be taken without waiting
// Waits until one of the sockets can be read (kNoSocket entries are left out) or ms pass;
// ready[i] tells which. The number ready, 0 after the time, -1 on failure.
int NetWaitReadableAny(const int* sockets, bool* ready, int count, int ms);
// Takes one datagram without waiting: its size, or -1; source into address and wirePort.
int NetReceiveFrom(int s, void* buffer, std::size_t size, uint32_t* address, uint16_t* wirePort);

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
