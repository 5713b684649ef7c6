// The chat-client object: server link, presence link, peer table and outgoing commands.
#pragma once
#include <atomic>
#include <cstdint>
#include "presence/peer_table.h"
// Declarations of StreamLink and DatagramLink come from their own headers.
#include "irc/stream_link.h"
#include "presence/datagram_link.h"

constexpr int kIrcLineLength = 2048;
constexpr int kLoginFieldLength = 64;

// How the client logs in once connected: a server password (PASS) and a SASL PLAIN account.
// Empty fields are not used. Set before Connect.
struct IrcLogin {
  char serverPassword[kLoginFieldLength];
  char account[kLoginFieldLength];
  char password[kLoginFieldLength];
};

class IrcClient {
 public:
  DatagramLink datagramLink;
  char server[kIrcLineLength];
  char channel[kIrcLineLength];
  int32_t port;
  char line[kIrcLineLength];
  StreamLink streamLink;
  PeerTable peerTable;
  IrcLogin login;
  bool askRouter = false;  // the home router is asked to forward the presence port (set by Connect)
  // "PRESENCE off": no datagram socket, no address handshake, no member look-ups, chat only.
  bool presenceOff = false;

  IrcClient();  // hands the peer table its link, the output buffer and the WHOIS request
  int Init();
  int Cleanup();
  // Starts the link thread on a new connection and returns at once: 1, or 0 when no socket or
  // thread could be made. The thread connects within kConnectLimitMs and says how with
  // EventConnected (irc/receive_thread.h); the window's thread never waits for it.
  int Connect(const char* server, int port);
  int Disconnect(const char* reason);
  int SetNick(const char* nick);
  int SendUser(const char* user, const char* host, const char* realName);
  int Join(const char* channel);
  int Part(const char* reason = nullptr);  // a reason, when given, goes with the PART
  int Say(const char* text);
  int SayTo(const char* target, const char* text);
  // The user's own requests: a new nickname (taken on once the server confirms it, or at once
  // while registering), the channel's topic (null or empty text: ask for it), the member list,
  // a WHOIS whose replies are shown, a notice.
  int ChangeNick(const char* nick);
  int Topic(const char* text);
  int Names();
  int Whois(const char* nick);
  int Notice(const char* target, const char* text);

  // The local address both links bind to (dotted; null or empty = any address).
  // 1, or 0 when the text is not a dotted IPv4 address (the setting is then unchanged).
  int SetBindAddress(const char* dotted);
};

extern IrcClient Irc;  // the one client of the process

// Formats one line into Irc.line under the client lock and queues it for the link thread,
// which sends it paced (irc/line_pacing.h). A line that would not fit is cut so that it still
// ends with lineEnd. 1, or -1 when the queue is full.
int SendIrcLine(const char* lineEnd, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
// The same for a line that looks a member's address up (WHO, WHOIS, the ":Q"/":A" messages):
// it waits behind every chat line. Ends in CR LF.
int SendLookupLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same for an answer to another client's question (":A"): it waits behind the lookups.
int SendAnswerLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// 1 from the own JOIN until the end of the names that follow it: the members named there are
// looked up together, by one WHO, instead of a WHOIS each.
extern std::atomic<uint8_t> HostsByWho;
