// The session's doors for the other threads: starting and ending the link thread, the commands
// and own moves it takes on its next turn, and the state it shows back.
#include "irc/session.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "irc/irc_client.h"
#include "irc/line_pacing.h"
#include "irc/motd_rule.h"
#include "irc/receive_thread.h"
#include "irc/session_turn.h"
#include "irc/words/reply_lines.h"
#include "presence/router_port.h"

namespace {

constexpr int kCommands = 64;
constexpr int kCommandText = 256;

enum CommandKind : uint8_t { CommandRegister, CommandNick, CommandQuery, CommandMotd, CommandRoom, CommandTyping };

struct Command {
  CommandKind kind;
  bool flag;
  char text[kCommandText];
};

// What the other threads hand the link thread, and what it shows them, under one short lock
// that is never held across anything that waits.
struct Inbox {
  std::mutex lock;
  Command commands[kCommands];
  int first = 0, count = 0;
  OwnMoves moves = {};
  SessionStatus status = {};
  bool typing = false;  // as last posted
  float room[4] = {0, 0, 0, 0};  // min x, max x, min z, max z
};
Inbox Door;

void CopyText(char* out, std::size_t size, const char* text) {
  std::size_t n = strnlen(text ? text : "", size - 1);
  if (n) std::memcpy(out, text, n);
  out[n] = '\0';
}

void Post(CommandKind kind, const char* text, bool flag) {
  {
    std::lock_guard<std::mutex> hold(Door.lock);
    if (Door.count == kCommands) return;  // the link thread is far behind: a request is dropped
    Command& c = Door.commands[(Door.first + Door.count) % kCommands];
    c.kind = kind;
    c.flag = flag;
    CopyText(c.text, sizeof c.text, text);
    ++Door.count;
  }
  WakeLinkThread();
}

int QueueFormatted(const char* lineEnd, const char* format, va_list args) {
  char line[kIrcLineLength];
  FormatIrcLine(line, sizeof line, lineEnd, format, args);
  return SendPaced(line, ChatLine);
}

// "nick\nuser\nhost\nreal name" of a registration command, each field cut to fit.
void PackRegistration(char* out, std::size_t size, const char* nick, const char* user, const char* host,
                      const char* realName) {
  const int n = kSessionFieldLength - 1;
  std::snprintf(out, size, "%.*s\n%.*s\n%.*s\n%.*s", n, nick, n, user, n, host, n, realName);
}

// The registration's fields back out of the packed text.
void Register(const char* packed) {
  char field[4][kSessionFieldLength] = {};
  const char* p = packed;
  for (int i = 0; i < 4; ++i) {
    std::size_t n = std::strcspn(p, "\n");
    std::snprintf(field[i], sizeof field[i], "%.*s", static_cast<int>(n), p);
    p += n + (p[n] ? 1 : 0);
  }
  Irc.SetNick(field[0]);
  // The realname after ':' : servers take a last parameter with spaces only that way. A host
  // such as "::1" would begin the last parameter itself: "0::1" is the same address.
  SendIrcLine("\n", "USER %s %s%s 127.0.0.1 :%s", field[1], field[2][0] == ':' ? "0" : "", field[2], field[3]);
}

void Apply(const Command& c) {
  switch (c.kind) {
    case CommandRegister: Register(c.text); break;
    case CommandNick: ChangeOwnNick(c.text); break;
    case CommandQuery: NoteUserQuery(c.text, c.flag); break;
    case CommandMotd: AskForMotd(); break;
    case CommandRoom: EnterRoom(c.text); break;
    case CommandTyping: Irc.peerTable.SendTyping(c.flag); break;
  }
}

}  // namespace

void SetSessionRoom(float minX, float maxX, float minZ, float maxZ) {
  std::lock_guard<std::mutex> hold(Door.lock);
  Door.room[0] = minX, Door.room[1] = maxX, Door.room[2] = minZ, Door.room[3] = maxZ;
}

void TakeSessionRoom(float room[4]) {
  std::lock_guard<std::mutex> hold(Door.lock);
  for (int i = 0; i < 4; ++i) room[i] = Door.room[i];
}

int StartSession(const SessionConfig& config) {
  StopReceiveThread();  // a second start without an end must not leave two threads
  {
    std::lock_guard<std::mutex> hold(Door.lock);
    Door.count = 0;
    Door.moves = OwnMoves{};
    Door.status = SessionStatus{};
    Door.typing = false;
  }
  StartLinePacing(config.lineIntervalMs, config.lineBurst);
  ClearPendingEvents();
  return StartReceiveThread(config) ? 1 : 0;
}

void EndSession(const char* quitReason) {
  if (!ReceiveThreadRunning()) return;
  EndLinePacing();  // typed lines still go, then the QUIT at once; lookups are dropped
  if (quitReason) QueueChatLine("QUIT :%s", quitReason);
  StopReceiveThread();  // the thread sends the typed lines left and the QUIT, then ends
  RouterPortStop();     // the router stops forwarding the port
  ClearPendingEvents();
}

bool SessionRunning() { return ReceiveThreadRunning(); }

void SettleSession() { RouterPortSettle(); }

int QueueChatLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = QueueFormatted("\r\n", format, args);
  va_end(args);
  return result;
}

int DropQueuedLines() { return DropChatLines(); }

void SessionRegister(const char* nick, const char* user, const char* host, const char* realName) {
  char packed[kCommandText];
  PackRegistration(packed, sizeof packed, nick, user, host, realName);
  Post(CommandRegister, packed, false);
}

void SessionChangeNick(const char* nick) { Post(CommandNick, nick, false); }
void SessionNoteQuery(const char* nick, bool whois) { Post(CommandQuery, nick, whois); }
void SessionAskMotd() { Post(CommandMotd, "", false); }
void SessionEnterRoom(const char* channel) { Post(CommandRoom, channel, false); }

void SessionMove(const uint8_t keys[kKeyFlagCount], const PlayerPose& pose, bool positionDue) {
  bool wake;
  {
    std::lock_guard<std::mutex> hold(Door.lock);
    OwnMoves& m = Door.moves;
    wake = positionDue || std::memcmp(m.keys, keys, sizeof m.keys) != 0;
    std::memcpy(m.keys, keys, sizeof m.keys);
    m.pose = pose;
    m.positionDue = m.positionDue || positionDue;
    m.fresh = true;
  }
  if (wake) WakeLinkThread();
}

void SessionTyping(bool typing) {
  {
    std::lock_guard<std::mutex> hold(Door.lock);
    if (Door.typing == typing) return;
    Door.typing = typing;
  }
  Post(CommandTyping, "", typing);
}

void CopySessionStatus(SessionStatus* status) {
  {
    std::lock_guard<std::mutex> hold(Door.lock);
    *status = Door.status;
  }
  status->linesWaiting = PacedChatLinesWaiting();
}

// The link thread's side.

void TakeSessionCommands() {
  for (;;) {
    Command c;
    {
      std::lock_guard<std::mutex> hold(Door.lock);
      if (Door.count == 0) break;
      c = Door.commands[Door.first];
      Door.first = (Door.first + 1) % kCommands;
      --Door.count;
    }
    Apply(c);
  }
}

bool TakeOwnMoves(OwnMoves* moves) {
  std::lock_guard<std::mutex> hold(Door.lock);
  if (!Door.moves.fresh) return false;
  *moves = Door.moves;
  Door.moves.fresh = false;
  Door.moves.positionDue = false;
  return true;
}

void ShowOwnNick(const char* nick) {
  std::lock_guard<std::mutex> hold(Door.lock);
  CopyText(Door.status.ownNick, sizeof Door.status.ownNick, nick);
}
