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

  IrcClient();  // hands the peer table its link, the output buffer and the WHOIS request
  int Init();
  int Cleanup();
  int Connect(const char* server, int port);
  int Disconnect(const char* reason);
  int SetNick(const char* nick);
  int SendUser(const char* user, const char* host, const char* realName);
  int Join(const char* channel);
  int Part(const char* reason = nullptr);  // a reason, when given, goes with the PART
  int Say(const char* text);
  int SayTo(const char* target, const char* text);
  int PollRegistration();
  // The user's own requests: a new nickname (taken on once the server confirms it, or at once
  // while registering), the channel's topic (null or empty text: ask for it), the member list,
  // a WHOIS whose replies are shown, a notice.
  int ChangeNick(const char* nick);
  int Topic(const char* text);
  int Names();
  int Whois(const char* nick);
  int Notice(const char* target, const char* text);
  int Dispatch(char* nick, char* message, uint8_t fromThread);

  // The local address both links bind to (dotted; null or empty = any address).
  // 1, or 0 when the text is not a dotted IPv4 address (the setting is then unchanged).
  int SetBindAddress(const char* dotted);
};

extern IrcClient Irc;  // the one client of the process

// Formats one line into Irc.line under the client lock and sends it on the stream link.
// A line that would not fit is cut so that it still ends with lineEnd. Result of the send.
// Lines go out paced (irc/line_pacing.h): when the pace holds a line back it is queued and the
// result is 1.
int SendIrcLine(const char* lineEnd, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
// The same for a line that looks a member's address up (WHO, WHOIS, the ":Q"/":A" messages):
// it waits behind every chat line. Ends in CR LF.
int SendLookupLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// 1 from the own JOIN until the end of the names that follow it: the members named there are
// looked up together, by one WHO, instead of a WHOIS each.
extern std::atomic<uint8_t> HostsByWho;

// Event codes of IrcClient::Dispatch.
enum DispatchCode {
  EventNone = 0, EventChannelMessage = 1, EventAction = 2, EventPrivateMessage = 3,
  EventJoin = 4, EventPart = 5, EventQuit = 6, EventNickChange = 9, EventKick = 10,
  EventModeChange = 11, EventPingAnswered = 101, EventHandled = 102,
  EventText = 20,  // message holds a whole console line: server text, a notice, a topic, a reason
};
