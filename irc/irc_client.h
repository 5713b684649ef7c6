// The chat-client object: server link, presence link, peer table and outgoing commands.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include "irc/irc_limits.h"
#include "presence/peer_table.h"
// Declarations of StreamLink and DatagramLink come from their own headers.
#include "irc/stream_link.h"
#include "presence/datagram_link.h"


// How the client logs in once connected: a server password (PASS) and a SASL PLAIN account.
// Empty fields are not used. Set before Connect.
struct IrcLogin {
  char serverPassword[kLoginFieldLength];
  char account[kLoginFieldLength];
  char password[kLoginFieldLength];
};

// The link thread's own record of its connection: it alone reads and writes it once the thread
// runs (tests that hold the thread drive the same calls themselves).
class IrcClient {
 public:
  DatagramLink datagramLink;
  char server[kIrcLineLength];
  char channel[kIrcLineLength];
  int32_t port;
  char line[kIrcLineLength];        // datagrams are formatted here (the peer table's buffer)
  StreamLink streamLink;
  PeerTable peerTable;
  IrcLogin login;
  bool askRouter = false;  // the home router is asked to forward the presence port
  // "PRESENCE off": no datagram socket, no address handshake, no member look-ups, chat only.
  bool presenceOff = false;
  uint8_t look = 0;  // our look, named in hellos and details (0: none)

  IrcClient();  // hands the peer table its link, the output buffer and the WHOIS request
  // Opens the stream socket and (unless presenceOff) the datagram socket bound to the presence
  // port, with an empty peer table: 1, or 0 when a socket could not be made.
  int OpenLinks();
  int CloseLinks();
  int SetNick(const char* nick);

  // The local address both links bind to (dotted; null or empty = any address).
  // 1, or 0 when the text is not a dotted IPv4 address (the setting is then unchanged).
  int SetBindAddress(const char* dotted);
};

extern IrcClient Irc;  // the link thread's connection

// Formats one IRC line into out (size bytes), cut so that it still ends with lineEnd; a line
// break inside the text becomes a blank, so only lineEnd ends the line.
void FormatIrcLine(char* out, std::size_t size, const char* lineEnd, const char* format, va_list args);
// Formats one line and queues it for the link thread, which sends it paced
// (irc/line_pacing.h). 1, or -1 when the queue is full.
int SendIrcLine(const char* lineEnd, const char* format, ...) __attribute__((format(printf, 2, 3)));
// The same for a line that looks a member's address up (WHO, WHOIS, the ":Q"/":A" messages):
// it waits behind every chat line. Ends in CR LF.
int SendLookupLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same for an answer to another client's question (":A"): it waits behind the lookups.
int SendAnswerLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
