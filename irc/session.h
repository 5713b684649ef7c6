// The session as the window's thread (and the headless peer's loop) sees it. One link thread owns
// the connection, the presence socket, the peer table and the channels; the others start and end
// it, hand it lines and commands through queues, and take its events (irc/irc_event.h), its view
// of the room (irc/room_publish.h) and its state. Nothing here waits on the network.
#pragma once
#include <cstdint>

#include "core/player_pose.h"
#include "irc/irc_event.h"

constexpr int kSessionFieldLength = 64;   // nickname, user, host, real name, login fields
constexpr int kSessionServerLength = 256;

// What a connection is made with: copied when the link thread starts.
struct SessionConfig {
  char server[kSessionServerLength];
  int port;
  bool tls;
  char serverPassword[kSessionFieldLength];  // PASS, before registering ("": none)
  char saslAccount[kSessionFieldLength];     // SASL PLAIN while registering ("": none)
  char saslPassword[kSessionFieldLength];
  bool presence;          // false: "PRESENCE off", chat only (no datagram socket at all)
  bool askRouter;         // the home router is asked to forward the presence port
  int lineIntervalMs;     // outgoing lines: a burst of lineBurst, then one every lineIntervalMs
  int lineBurst;
  char bindAddress[kSessionFieldLength];  // both links' local address, dotted IPv4 ("": any)
  bool ipv4Only;          // IPv4 alone, as a client from before IPv6
  uint8_t look;           // the look the others see us in (core/looks.h; 0: none told)
};

// The room's floor (once it is loaded): positions far outside it are dropped. Without it (the
// headless peer) only positions beyond 10,000 units are.
void SetSessionRoom(float minX, float maxX, float minZ, float maxZ);

// Starts the link thread on a new connection and returns at once: 1, or 0 when no thread could
// be made. The thread opens its sockets and connects; EventConnected says how.
int StartSession(const SessionConfig& config);
// Leaves the server: the typed lines still waiting and a QUIT with the reason (none when null)
// go, the thread ends (within about 100 ms) and the router's mapping is removed. Nothing when
// no thread runs.
void EndSession(const char* quitReason);
bool SessionRunning();
// Before the program ends, after EndSession: the router's mapping is removed (at most about
// 1.5 s; the only wait on the network, and only on the way out).
void SettleSession();

// A line for the server (without its end), queued behind the typed lines before it and sent as
// the pace allows. 1, or -1 when the queue is full.
int QueueChatLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Drops the typed lines still waiting for the pace; returns how many.
int DropQueuedLines();

// Commands the link thread carries out on its next turn.
// NICK and USER, in that order (each field cut to kSessionFieldLength - 1 bytes).
void SessionRegister(const char* nick, const char* user, const char* host, const char* realName);
// A new nickname: taken at once while registering, else asked of the server.
void SessionChangeNick(const char* nick);
// The user asked about nick (/whois) or wrote to it: the server's replies about it are shown.
void SessionNoteQuery(const char* nick, bool whois);
// "/motd": the next message of the day shows whole.
void SessionAskMotd();
// The room the user stands in: its channel ("" none). Positions say it; the view shows it.
void SessionEnterRoom(const char* channel);
// The user's movement keys and pose, once a pass: the keys that changed go to the peers at once,
// the pose when positionDue (PACKETS allows one), and relayed members get it as their pace allows.
void SessionMove(const uint8_t keys[kKeyFlagCount], const PlayerPose& pose, bool positionDue);
// The user is typing a line (the input line holds text) or has stopped: the members linked
// directly see a typing mark over the avatar. Cheap to call every pass: only a change goes on.
void SessionTyping(bool typing);

// What the window shows of the session besides events and the room.
struct SessionStatus {
  char ownNick[kSessionFieldLength];  // as the server knows it ("" before the welcome)
  int linesWaiting;                   // typed lines waiting for the pace
};
void CopySessionStatus(SessionStatus* status);
