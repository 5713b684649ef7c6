// Where peers can reach this client (told over IRC in ":Q"/":A"), who shares our router, and
// the presence upkeep of every pass in a channel.
#pragma once
#include <cstddef>
#include <cstdint>
#include "irc/irc_message.h"

#include "presence/details_text.h"
#include "presence/host_lookup.h"

// Takes our own host from the server's welcome line («:srv 001 me :Welcome ... me!user@host»);
// other lines change nothing.
void NoteWelcome(const IrcMessage& m);
// Forgets it (a new connection).
void ForgetOwnHost();
// The address a peer anywhere can reach: the router's public address while it forwards our
// port, else the address the server showed in its welcome line when that is an IP, else the
// address the links are bound to (QIVRA_BIND_ADDRESS), else the machine's host name.
void ReachableAddressText(char* out, std::size_t size);
// When the address above is an IPv6 one: an IPv4 address of ours for the member nick, whose
// client may use IPv4 alone (one from before IPv6): the router's public address, the bound
// one, else the address we send from towards the member's own IPv4 address. False if none.
bool ReachableIPv4Text(const char* nick, char* out, std::size_t size);
// Our address on the local network, for a peer behind the same router.
void LocalAddressText(char* out, std::size_t size);
// The addresses our details name (each kDetailAddressLength bytes, at most `most`): the local
// one for a member behind our router; else the one above that peers anywhere can reach, and
// beside it one of the other family (IPv6 beside IPv4 or the reverse) when this machine has
// one that can be reached from anywhere. The count.
int OwnAddressesForDetails(bool local, char (*out)[kDetailAddressLength], int most);
// True when a member's host (as the server shows it, with the addresses it resolved to, if any)
// is our own public one: the member is behind the same router.
bool IsOwnPublicHost(const char* host, const HostAddresses& addresses);
// The "No direct link" line for the members whose presence was not set up in time: the first
// kNoLinkNamed are named, the rest counted.
constexpr int kNoLinkNamed = 8;
struct NoLinkLine {
  char names[1024];  // "alice, bob, ..."
  std::size_t used;
  int count;
};
void NoLinkLineAdd(NoLinkLine* line, const char* nick);
bool FormatNoLinkLine(const NoLinkLine& line, char* out, std::size_t size);  // false: nobody
// Link thread, each turn in a channel: hellos, keep-alives and key blocks, and the console
// lines about direct links and the router (as events).
void ServicePresence();
