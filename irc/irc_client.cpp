// The link thread's connection record: opening and closing both links, and every line queued.
#include "irc/irc_client.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "irc/line_pacing.h"
#include "irc/membership.h"
#include "platform/net.h"
#include "presence/datagram_intake.h"
#include "presence/host_resolver.h"

IrcClient Irc;

static void CopyField(char* out, const char* text) {
  std::size_t n = text ? strnlen(text, kIrcLineLength - 1) : 0;
  if (n) std::memmove(out, text, n);
  out[n] = '\0';
}

void FormatIrcLine(char* out, std::size_t size, const char* lineEnd, const char* format, va_list args) {
  std::size_t endLength = strnlen(lineEnd, 2);
  std::size_t room = size - endLength;  // text plus its NUL
  int n = std::vsnprintf(out, room, format, args);
  std::size_t used = n < 0 ? 0 : (static_cast<std::size_t>(n) < room ? n : room - 1);
  // A line break inside the text would end the line early and send the rest to the server
  // as a command of its own: whatever the caller passed, only lineEnd ends the line.
  for (std::size_t i = 0; i < used; ++i)
    if (out[i] == '\r' || out[i] == '\n') out[i] = ' ';
  std::memcpy(out + used, lineEnd, endLength);
  out[used + endLength] = '\0';
}

// Formats into a line of its own and queues it as its kind.
static int SendFormatted(LineKind kind, const char* lineEnd, const char* format, va_list args) {
  char line[kIrcLineLength];
  FormatIrcLine(line, sizeof line, lineEnd, format, args);
  return SendPaced(line, kind);
}

int SendIrcLine(const char* lineEnd, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = SendFormatted(ChatLine, lineEnd, format, args);
  va_end(args);
  return result;
}

int SendLookupLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = SendFormatted(LookupLine, "\r\n", format, args);
  va_end(args);
  return result;
}

int SendAnswerLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = SendFormatted(AnswerLine, "\r\n", format, args);
  va_end(args);
  return result;
}

// A member from the names after the own JOIN is found by the WHO that follows them; later
// joiners, one by one, by WHOIS.
static int RequestWhois(const char* nick) {
  if (NamesPending() || Irc.presenceOff) return 1;  // "PRESENCE off": nobody is looked up
  return SendLookupLine("WHOIS %s", nick);
}

IrcClient::IrcClient() {
  static_assert(sizeof line >= kNickLength, "the peer table formats datagrams into line");
  peerTable.datagramLink = &datagramLink;
  peerTable.line = line;
  peerTable.requestHost = RequestWhois;
}

int IrcClient::SetBindAddress(const char* dotted) {
  if (!dotted || !*dotted) {
    LinkBindAddress = 0;
    return 1;
  }
  uint32_t address = 0;
  if (!NetParseDotted(dotted, &address)) return 0;
  LinkBindAddress = address;
  return 1;
}

int IrcClient::OpenLinks() {
  peerTable.Clear();
  ForgetHostLookups();
  ResetDatagramIntake();
  if (streamLink.Open() != 1) return 0;
  if (presenceOff) {  // "PRESENCE off": no datagram socket at all
    datagramLink.Close();
    return 1;
  }
  if (datagramLink.Open() != 1) {
    streamLink.Close();
    return 0;
  }
  datagramLink.Bind(kPresencePort);
  // A key pair of this session's own for sealed datagrams; without one, members get plain ones.
  MakeSealIdentity(&peerTable.ownSeal);
  peerTable.ownLook = look;
  return 1;
}

int IrcClient::CloseLinks() {
  peerTable.Clear();
  streamLink.Close();
  datagramLink.Close();
  return 1;
}

int IrcClient::SetNick(const char* nick) {
  CopyField(peerTable.self.nick, nick);
  SendIrcLine("\n", "NICK %s", peerTable.self.nick);
  return 1;
}
