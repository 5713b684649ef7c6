// The text of QIVRA's own CTCP, both ways: the announcement a client sends to a channel on
// joining, and the details two members trade privately once each has shown that it runs QIVRA.
//
//   announcement   \x01QIVRA\x01
//   details        \x01QIVRA [ask] [relay] [rooms] [key=<64 hex>] [aes] [look=<1..8>] [at=<address>]...\x01
//
// "ask": the sender lacks ours and wants them; "relay": it takes moves relayed through the
// server; "rooms": its positions name their room; "key": its public key for sealed datagrams
// this session; "aes": its machine seals with AES-256-GCM as fast as it can (two that both say
// so use it); "at": an address (or host name) to greet it at, up to four. Words a reader does
// not know are passed over, so later clients may add some.
#pragma once
#include <cstddef>
#include <cstdint>

#include "presence/seal_keys.h"

constexpr int kDetailAddresses = 4;
constexpr int kDetailAddressLength = 256;  // a host name at most this long, its zero included

struct QivraDetails {
  bool ask;
  bool relay;
  bool rooms;
  bool hasKey;
  uint8_t key[kSealPublicKeyLength];
  bool fast;
  uint8_t look;  // 0: not told
  int addressCount;
  char addresses[kDetailAddresses][kDetailAddressLength];
};

enum QivraTextKind {
  QivraTextNone,          // not QIVRA's CTCP
  QivraTextAnnouncement,  // "\x01QIVRA\x01"
  QivraTextDetails,       // details (perhaps with nothing in them)
  QivraTextMalformed,     // QIVRA's CTCP, but unreadable: taken, never shown
};

// Reads a message's whole text. Details go into *details (cleared first); a word that does
// not read (a key that is not 64 lower-case hex digits, a look out of range, an address too
// long or beyond the fourth) is passed over.
QivraTextKind ReadQivraText(const char* text, QivraDetails* details);
// "\x01QIVRA ...\x01" into out: the length, or 0 when it does not fit in size.
std::size_t FormatQivraDetails(const QivraDetails& details, char* out, std::size_t size);
extern const char kQivraAnnouncement[];  // "\x01QIVRA\x01"
