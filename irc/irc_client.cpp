// The chat-client object: setting up both links, connecting, registering and every line sent.
#include "irc/irc_client.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "console/console_log.h"
#include "console/settings.h"
#include "irc/line_pacing.h"
#include "irc/peer_reach.h"
#include "irc/receive_thread.h"
#include "irc/relay_lines.h"
#include "platform/net.h"
#include "presence/datagram_intake.h"
#include "presence/host_resolver.h"
#include "presence/router_port.h"

IrcClient Irc;

using Hold = std::lock_guard<std::recursive_mutex>;

static void CopyField(char* out, const char* text) {
  std::size_t n = text ? strnlen(text, kIrcLineLength - 1) : 0;
  if (n) std::memmove(out, text, n);
  out[n] = '\0';
}

// Formats into Irc.line (the caller holds the client lock), cut so that it still ends with
// lineEnd.
static void FormatLine(const char* lineEnd, const char* format, va_list args) {
  std::size_t endLength = std::strlen(lineEnd);
  std::size_t room = sizeof Irc.line - endLength;  // text plus its NUL
  int n = std::vsnprintf(Irc.line, room, format, args);
  std::size_t used = n < 0 ? 0 : (static_cast<std::size_t>(n) < room ? n : room - 1);
  // A line break inside the text would end the line early and send the rest to the server
  // as a command of its own: whatever the caller passed, only lineEnd ends the line.
  for (std::size_t i = 0; i < used; ++i)
    if (Irc.line[i] == '\r' || Irc.line[i] == '\n') Irc.line[i] = ' ';
  std::memcpy(Irc.line + used, lineEnd, endLength + 1);
}

// Formats under the client lock and queues the line as its kind.
static int SendFormatted(LineKind kind, const char* lineEnd, const char* format, va_list args) {
  Hold hold(ClientLock());
  FormatLine(lineEnd, format, args);
  return SendPaced(Irc.line, kind);
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

std::atomic<uint8_t> HostsByWho{0};

// A member from the names after the own JOIN is found by the WHO that follows them; later
// joiners, one by one, by WHOIS.
static int RequestWhois(const char* nick) {
  if (HostsByWho.load() || Irc.presenceOff) return 1;  // "PRESENCE off": nobody is looked up
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

int IrcClient::Init() {
  // Test seam: run the client from a chosen local address; unset leaves any address.
  const char* seam = std::getenv("QIVRA_BIND_ADDRESS");
  if (LinkBindAddress == 0 && seam && *seam) SetBindAddress(seam);
  ReadRelaySeams();
  // Test seam: behave as a client from before IPv6 (IPv4 connects, lookups and datagrams).
  const char* ipv6 = std::getenv("QIVRA_IPV6");
  if (ipv6 && std::strcmp(ipv6, "off") == 0) LinkIPv6 = false;
  if (streamLink.Open() != 1) return 0;
  if (Settings.noPresence) {  // "PRESENCE off": no datagram socket at all
    datagramLink.Close();
    return 1;
  }
  if (datagramLink.Open() != 1) {
    streamLink.Close();
    return 0;
  }
  return 1;
}

int IrcClient::Cleanup() {
  StopReceiveThread();  // never close a socket under a running receive thread
  RouterPortStop();
  streamLink.Close();
  datagramLink.Close();
  return 1;
}

int IrcClient::Connect(const char* serverName, int serverPort) {
  StopReceiveThread();  // a second Connect without Disconnect must not leave two threads
  CopyField(server, serverName);
  port = serverPort;
  presenceOff = Settings.noPresence;
  askRouter = !Settings.noRouterMapping && !presenceOff;  // "ROUTER off" in config.txt
  peerTable.Clear();
  ForgetHostLookups();
  ResetDatagramIntake();
  HostsByWho.store(0);
  StartLinePacing(Settings.lineIntervalMs, Settings.lineBurst);
  if (!presenceOff) datagramLink.Bind(kPresencePort);
  if (streamLink.connectTried) {
    // A socket connects once: a new connection after a disconnect needs a fresh socket.
    streamLink.Close();
    if (streamLink.Open() != 1) return 0;
  }
  ClearPendingEvents();
  ForgetOwnHost();
  return StartReceiveThread() ? 1 : 0;
}

int IrcClient::Disconnect(const char* reason) {
  EndLinePacing();  // typed lines still go, then the QUIT at once; lookups are dropped
  HostsByWho.store(0);
  SendIrcLine("\r\n", "QUIT :%s", reason ? reason : "");
  StopReceiveThread();  // the thread sends the typed lines left and the QUIT, then ends
  RouterPortStop();     // the router stops forwarding the port
  peerTable.Clear();
  ClearPendingEvents();
  return 1;
}

int IrcClient::SetNick(const char* nick) {
  {
    Hold hold(ClientLock());
    CopyField(peerTable.self.nick, nick);
  }
  SendIrcLine("\n", "NICK %s", peerTable.self.nick);
  return 1;
}

int IrcClient::SendUser(const char* user, const char* host, const char* realName) {
  // The realname after ':' : servers take a last parameter with spaces only that way. A host
  // such as "::1" would begin the last parameter itself: "0::1" is the same address.
  SendIrcLine("\n", "USER %s %s%s 127.0.0.1 :%s", user, host[0] == ':' ? "0" : "", host, realName);
  return 1;
}

int IrcClient::Join(const char* channelName) {
  CopyField(channel, channelName);
  peerTable.Clear();
  HostsByWho.store(1);
  SendIrcLine("\r\n", "JOIN %s", channel);
  return 1;
}

int IrcClient::Part(const char* reason) {
  peerTable.Clear();
  HostsByWho.store(0);
  if (reason && *reason) {
    SendIrcLine("\r\n", "PART %s :%s", channel, reason);
  } else {
    SendIrcLine("\r\n", "PART %s", channel);
  }
  return 1;
}

int IrcClient::Say(const char* text) {
  SendIrcLine("\r\n", "PRIVMSG %s :%s", channel, text);
  return 1;
}
