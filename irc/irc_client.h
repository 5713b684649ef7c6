// The chat-client object: server link, presence link, peer table and outgoing commands.
#pragma once
#include <cstdint>
#include "presence/peer_table.h"
// Declarations of StreamLink and DatagramLink come from their own headers.
#include "irc/stream_link.h"
#include "presence/datagram_link.h"

constexpr int kIrcLineLength = 2048;

class IrcClient {
 public:
  DatagramLink datagramLink;
  char server[kIrcLineLength];
  char channel[kIrcLineLength];
  int32_t port;
  char line[kIrcLineLength];
  StreamLink streamLink;
  PeerTable peerTable;

  int Init();
  int Cleanup();
  int Connect(const char* server, int port);
  int Disconnect(const char* reason);
  int SetNick(const char* nick);
  int SendUser(const char* user, const char* host, const char* realName);
  int Join(const char* channel);
  int Part();
  int Say(const char* text);
  int SayTo(const char* target, const char* text);
  int PollRegistration();
  int Dispatch(char* nick, char* message, uint8_t fromThread);
};

extern IrcClient Irc;  // the one client of the process
