// Our own addresses as peers need them, and the per-pass presence upkeep with its console lines.
#include "irc/peer_reach.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <strings.h>

#include "console/console_log.h"
#include "irc/irc_client.h"
#include "irc/line_parse.h"
#include "platform/net.h"
#include "platform/ticks.h"
#include "presence/router_port.h"

namespace {
// Our host as the server showed it in 001, and that host as an address when it is one.
// Written on the thread that reads registration lines, read by the receive thread.
std::mutex OwnHostMutex;
char OwnHost[256];
uint32_t OwnAddress = 0;

void CopyText(char* out, std::size_t size, const char* text) {
  std::size_t n = strnlen(text, size - 1);
  std::memcpy(out, text, n);
  out[n] = '\0';
}
}  // namespace

void NoteWelcomeLine(const char* line) {
  static thread_local IrcLineParts p;  // 10 KB: off the stack
  ParseIrcLine(line, &p);
  if (std::strcmp(p.command, "001") != 0) return;
  // The welcome text ends with our full name: nick!user@host.
  const char* last = std::strrchr(p.params, ' ');
  last = last ? last + 1 : p.params;
  const char* at = std::strrchr(last, '@');
  if (!at || !at[1]) return;
  std::lock_guard<std::mutex> hold(OwnHostMutex);
  CopyText(OwnHost, sizeof OwnHost, at + 1);
  uint32_t address = 0;
  OwnAddress = NetParseDotted(OwnHost, &address) ? address : 0;
}

void ForgetOwnHost() {
  std::lock_guard<std::mutex> hold(OwnHostMutex);
  OwnHost[0] = '\0';
  OwnAddress = 0;
}

void ReachableAddressText(char* out, std::size_t size) {
  uint32_t address = RouterPublicAddress();
  if (!address) {
    std::lock_guard<std::mutex> hold(OwnHostMutex);
    address = OwnAddress;
  }
  if (!address) address = LinkBindAddress;
  if (address) {
    NetAddressText(address, out, size);
  } else if (!NetLocalHostName(out, size)) {
    out[0] = '\0';
  }
}

void LocalAddressText(char* out, std::size_t size) {
  uint32_t address = LinkBindAddress ? LinkBindAddress : NetLocalAddress(Irc.streamLink.socket);
  if (address) {
    NetAddressText(address, out, size);
  } else if (!NetLocalHostName(out, size)) {
    out[0] = '\0';
  }
}

bool IsOwnPublicHost(const char* host, uint32_t address) {
  if (address && address == RouterPublicAddress()) return true;
  std::lock_guard<std::mutex> hold(OwnHostMutex);
  if (address && address == OwnAddress) return true;
  return OwnHost[0] && host && strcasecmp(host, OwnHost) == 0;
}

void ServicePresence() {
  const uint32_t now = TickCountMs();
  Irc.peerTable.ServiceLinks(now);
  char nick[kNickLength];
  while (Irc.peerTable.NextNoLinkReport(now, nick)) {
    char text[kNickLength + 80];
    std::snprintf(text, sizeof text, "No direct link to %s yet: the avatar will appear when one is found.", nick);
    ConsoleAppend(text);
  }
  char text[128];
  if (RouterPortTakeReport(text, sizeof text)) ConsoleAppend(text);
}
