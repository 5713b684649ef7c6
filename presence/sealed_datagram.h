// The sealed datagram: any plain datagram (hello, key, key block, position) carried encrypted
// under a pair's keys, so that only the member who agreed them can have sent it, once.
//
//   'e' | pair id (8) | counter (8, little-endian) | the plain datagram, encrypted | tag (16)
//
// The kind, pair id and counter travel in the clear and are covered by the tag. An older
// client takes 'e' for a kind it does not know and changes nothing.
#pragma once
#include <cstdint>

#include "presence/seal_keys.h"

constexpr char kSealedKind = 'e';
constexpr int kSealHeaderLength = 1 + kSealPairIdLength + 8;
constexpr int kSealOverhead = kSealHeaderLength + 16;             // the header and the tag
constexpr int kSealInnerLength = 2040;                            // the longest plain datagram
constexpr int kSealedLength = kSealInnerLength + kSealOverhead;   // the longest sealed one

// Why a sealed datagram did not open (OpenSealedDatagram's results below 1).
enum SealOpenResult {
  SealMalformed = -1,  // not the sealed kind, too short or too long, or no room for its inner one
  SealForged = -2,     // the tag does not prove it sealed with the pair's keys, or the pair is not agreed
  SealReplayed = -3,   // a counter taken before, or fallen out of the window
};

// Seals innerLength bytes (1 to kSealInnerLength) into out under the pair's send key, with
// own's next counter. The sealed length (innerLength + kSealOverhead), or 0 when the pair is
// not agreed, the inner datagram is empty or too long, outCapacity is too small, or the
// counters are used up. own and pair are the caller's to guard (the link thread's, as every send).
int SealDatagram(SealIdentity* own, const SealPair& pair, const char* inner, int innerLength, char* out,
                 int outCapacity);

// The clear part of a sealed datagram: which pair sealed it, and its counter.
struct SealHeader {
  uint8_t pairId[kSealPairIdLength];
  uint64_t counter;
};
// 1 when data has the sealed kind and the length of a header, a tag and an inner datagram of
// 1 to kSealInnerLength bytes; the header is read but nothing is proven yet. Else 0.
int ReadSealHeader(const char* data, int length, SealHeader* header);
// Whether the header names the datagrams this pair's member seals to us.
bool SealedByPair(const SealPair& pair, const SealHeader& header);
// The index of the first agreed pair among pairs[0..count) that the header names, or -1:
// a peer table keeps a pair per member slot and finds the sender in one pass.
int FindSealingPair(const SealPair* pairs, int count, const SealHeader& header);

// Opens a datagram the pair's member sealed: checks the tag, then the counter against the
// window, and only then takes the counter and writes the inner datagram. The inner length
// (1 or more), or a SealOpenResult; the pair changes only when it opened.
int OpenSealedDatagram(SealPair* pair, const char* data, int length, char* inner, int innerCapacity);
