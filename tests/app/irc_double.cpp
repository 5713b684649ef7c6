// The recording session linked into interpreter tests in place of the real one.
#include "tests/app/irc_double.h"

#include <cstdarg>
#include <cstdio>
#include <string>
#include <utility>

#include "irc/chat_commands.h"
#include "irc/session.h"

IrcDoubleRecord IrcDouble;

void ResetIrcDouble() {
  IrcDouble.calls.clear();
  IrcDouble.connectResult = 1;
  IrcDouble.connectFailure = LinkFailRefused;
  IrcDouble.room.clear();
  IrcDouble.running = false;
  IrcDouble.config = SessionConfig{};
  IrcDouble.check = TlsCertificateCheck{};
  IrcDouble.linesWaiting = 0;
}

LinkReport DoubleReport() {
  LinkReport r = {};
  r.failure = IrcDouble.connectResult == 1 ? LinkFailNone : IrcDouble.connectFailure;
  r.tls = IrcDouble.config.tls;
  r.tlsResult = IrcDouble.connectResult < 0 ? IrcDouble.connectResult : 0;
  r.check = IrcDouble.check;
  return r;
}

static int Record(const std::string& call) {
  IrcDouble.calls.push_back(call);
  return 1;
}

int StartSession(const SessionConfig& c) {
  IrcDouble.running = true;
  IrcDouble.config = c;
  return Record("StartSession(" + std::string(c.server) + ", " + std::to_string(c.port) + ")");
}

void EndSession(const char* reason) {
  IrcDouble.running = false;
  Record("EndSession(" + std::string(reason ? reason : "") + ")");
}

bool SessionRunning() { return IrcDouble.running; }

// Lines the interpreter formats itself (/kick, /mode, /quote ...), without their line end.
int QueueChatLine(const char* format, ...) {
  char line[kIrcLineLength];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  return Record("Send(" + std::string(line) + ")");
}

int DropQueuedLines() { return std::exchange(IrcDouble.linesWaiting, 0); }
void SessionRegister(const char* nick, const char* user, const char* host, const char* realName) {
  Record("Register(" + std::string(nick) + ", " + user + ", " + host + ", " + realName + ")");
}
void SessionChangeNick(const char* nick) { Record("ChangeNick(" + std::string(nick) + ")"); }
void SessionNoteQuery(const char*, bool) {}
void SessionAskMotd() { Record("AskForMotd()"); }
void SessionEnterRoom(const char* channel) { IrcDouble.room = channel; }
void SessionMove(const uint8_t*, const PlayerPose&, bool) {}
void CopySessionStatus(SessionStatus* status) { *status = SessionStatus{}; }

int JoinChannel(const char* channel) { return Record("Join(" + std::string(channel) + ")"); }
int PartChannel(const char* channel, const char* reason) {
  return Record("Part(" + std::string(channel) + (reason && *reason ? ", " + std::string(reason) : "") + ")");
}
int SayTo(const char* target, const char* text) { return Record("SayTo(" + std::string(target) + ", " + text + ")"); }
int NoticeTo(const char* target, const char* text) {
  return Record("Notice(" + std::string(target) + ", " + text + ")");
}
int AskWhois(const char* nick) { return Record("Whois(" + std::string(nick) + ")"); }
int AskTopic(const char* channel, const char* text) {
  return Record("Topic(" + std::string(channel) + (text && *text ? ", " + std::string(text) : "") + ")");
}
int AskNames(const char* channel) { return Record("Names(" + std::string(channel) + ")"); }
