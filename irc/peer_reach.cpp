// Our own addresses as peers need them, and the per-pass presence upkeep with its console lines.
#include "irc/peer_reach.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <strings.h>

#include "irc/discovery_lines.h"
#include "irc/irc_client.h"
#include "irc/receive_thread.h"
#include "irc/relay_lines.h"
#include "platform/net.h"
#include "platform/ticks.h"
#include "presence/router_port.h"

namespace {
// Our host as the server showed it in 001, and that host as an address when it is one, under
// the lock: written on the thread that reads registration lines, read by the receive thread.
// And the members who came due for the "No direct link" line this turn (the link thread's,
// kept off the stack).
struct ReachRecord {
  std::mutex lock;
  char ownHost[256];
  NetAddress ownAddress = {};
  NoLinkLine due;
};
ReachRecord Reach;

void CopyText(char* out, std::size_t size, const char* text) {
  std::size_t n = strnlen(text, size - 1);
  std::memcpy(out, text, n);
  out[n] = '\0';
}
}  // namespace

void NoteWelcome(const IrcMessage& m) {
  if (NumericOf(m) != 1) return;
  // The welcome text ends with our full name: nick!user@host.
  const char* text = Param(m, m.count - 1);
  const char* last = std::strrchr(text, ' ');
  last = last ? last + 1 : text;
  const char* at = std::strrchr(last, '@');
  if (!at || !at[1]) return;
  std::lock_guard<std::mutex> hold(Reach.lock);
  CopyText(Reach.ownHost, sizeof Reach.ownHost, at + 1);
  NetAddress address = {};
  Reach.ownAddress = NetParseAddress(Reach.ownHost, &address) ? address : NetAddress{};
}

void ForgetOwnHost() {
  std::lock_guard<std::mutex> hold(Reach.lock);
  Reach.ownHost[0] = '\0';
  Reach.ownAddress = NetAddress{};
}

void ReachableAddressText(char* out, std::size_t size) {
  NetAddress address = NetAddressFromV4(RouterPublicAddress());
  if (!NetAddressIsSet(address)) {
    std::lock_guard<std::mutex> hold(Reach.lock);
    address = Reach.ownAddress;
  }
  if (!NetAddressIsSet(address)) address = NetAddressFromV4(LinkBindAddress);
  if (NetAddressIsSet(address)) {
    NetAddressText(address, out, size);
  } else if (!NetLocalHostName(out, size)) {
    out[0] = '\0';
  }
}

bool ReachableIPv4Text(const char* nick, char* out, std::size_t size) {
  {
    std::lock_guard<std::mutex> hold(Reach.lock);
    if (RouterPublicAddress() || Reach.ownAddress.family != kNetIPv6) return false;  // already IPv4
  }
  NetAddress address = NetAddressFromV4(LinkBindAddress);
  if (!NetAddressIsSet(address)) {
    const int index = Irc.peerTable.FindByNick(nick);
    for (int i = 0; index && i < kLinkAddresses && !NetAddressIsSet(address); ++i) {
      const NetAddress& theirs = Irc.peerTable.links[index].to[i].address;
      if (theirs.family == kNetIPv4) address = NetSourceAddressToward(theirs);
    }
  }
  if (address.family != kNetIPv4) return false;
  NetAddressText(address, out, size);
  return true;
}

void LocalAddressText(char* out, std::size_t size) {
  NetAddress address = LinkBindAddress ? NetAddressFromV4(LinkBindAddress) : NetLocalAddressOf(Irc.streamLink.socket);
  if (NetAddressIsSet(address)) {
    NetAddressText(address, out, size);
  } else if (!NetLocalHostName(out, size)) {
    out[0] = '\0';
  }
}

int OwnAddressesForDetails(bool local, char (*out)[kDetailAddressLength], int most) {
  if (most < 1) return 0;
  if (local) {
    LocalAddressText(out[0], kDetailAddressLength);
    return out[0][0] ? 1 : 0;
  }
  ReachableAddressText(out[0], kDetailAddressLength);
  int n = out[0][0] ? 1 : 0;
  NetAddress first = {};
  const bool literal = n && NetParseAddress(out[0], &first);
  // The other family: the address this machine would send from to the far side of the
  // internet (no packet goes anywhere). Only an address others can reach is worth naming.
  static const char* const kFarAway[] = {"2001:db8::1", "192.0.2.1"};
  for (const char* far : kFarAway) {
    NetAddress probe = {};
    if (n >= most || !NetParseAddress(far, &probe)) continue;
    if ((literal && probe.family == first.family) || (probe.family == kNetIPv6 && !LinkIPv6)) continue;
    const NetAddress own = NetSourceAddressToward(probe);
    if (!NetAddressIsPublic(own) || (literal && own == first)) continue;
    NetAddressText(own, out[n], kDetailAddressLength);
    ++n;
  }
  return n;
}

bool IsOwnPublicHost(const char* host, const HostAddresses& addresses) {
  const NetAddress router = NetAddressFromV4(RouterPublicAddress());
  std::lock_guard<std::mutex> hold(Reach.lock);
  for (int i = 0; i < addresses.count && i < kHostAddresses; ++i) {
    const NetAddress& a = addresses.list[i];
    if (NetAddressIsSet(a) && (a == router || a == Reach.ownAddress)) return true;
  }
  return Reach.ownHost[0] && host && strcasecmp(host, Reach.ownHost) == 0;
}

void NoLinkLineAdd(NoLinkLine* line, const char* nick) {
  if (line->count < kNoLinkNamed) {
    int n = std::snprintf(line->names + line->used, sizeof line->names - line->used, "%s%s",
                          line->count ? ", " : "", nick);
    if (n > 0) line->used += static_cast<std::size_t>(n);
    if (line->used >= sizeof line->names) line->used = sizeof line->names - 1;  // cut, still ended
  }
  ++line->count;
}

bool FormatNoLinkLine(const NoLinkLine& line, char* out, std::size_t size) {
  if (line.count == 0) return false;
  if (line.count == 1) {
    std::snprintf(out, size, "No direct link to %s yet: the avatar will appear when one is found.",
                  line.names);
  } else if (line.count <= kNoLinkNamed) {
    std::snprintf(out, size, "No direct link to %s yet: the avatars will appear when one is found.",
                  line.names);
  } else {
    std::snprintf(out, size,
                  "No direct link to %s and %d more yet: the avatars will appear when one is found.",
                  line.names, line.count - kNoLinkNamed);
  }
  return true;
}

void ServicePresence() {
  if (Irc.presenceOff) return;  // "PRESENCE off": no hellos, and no "No direct link" lines
  const uint32_t now = TickCountMs();
  Irc.peerTable.ServiceLinks(now);
  // Members who came together (the channel's names on joining) come due together: one line
  // for all of them, so a channel full of members that cannot be reached does not bury the chat.
  NoLinkLine& due = Reach.due;
  due = NoLinkLine{};
  char nick[kNickLength];
  while (Irc.peerTable.NextNoLinkReport(now, nick)) NoLinkLineAdd(&due, nick);
  char text[sizeof due.names + 96];
  if (FormatNoLinkLine(due, text, sizeof text)) HandOverPresenceText(text);
  ServiceDiscovery(now);  // our details to the members that have shown that they run QIVRA
  ServiceRelay(now);  // members without a direct link, through the server
  if (RouterPortTakeReport(text, sizeof text)) {
    HandOverPresenceText(text);
    RetellDetails();  // the router's public address is ours to name from now on
  }
}
