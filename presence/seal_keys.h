// The keys behind sealed datagrams: this side's key pair for one session, the keys agreed with
// one member (bound to both nicknames), and a public key's text form for an IRC message.
#pragma once
#include <cstdint>

#include "platform/seal_crypto.h"
#include "presence/replay_window.h"

constexpr int kSealPublicKeyLength = 32;
constexpr int kSealPairIdLength = 8;    // names a pair's direction in every sealed datagram
constexpr int kSealKeyTextLength = 64;  // a public key as lower-case hex digits
constexpr int kSealNickLength = 256;    // a longer nickname agrees on nothing

// This side for one session: made afresh for every session, so that no key outlives it.
struct SealIdentity {
  uint8_t publicKey[kSealPublicKeyLength];
  uint8_t secretKey[kSealPublicKeyLength];
  // The next datagram's counter, shared by the datagrams to every member: no counter is ever
  // used twice under one key, even when a member's keys are agreed again.
  uint64_t nextCounter;
  uint8_t made;
};

// What this side agreed with one member, from both public keys and both nicknames.
struct SealPair {
  uint8_t sendKey[kSealPublicKeyLength];     // seals our datagrams to the member
  uint8_t receiveKey[kSealPublicKeyLength];  // opens the member's datagrams to us
  uint8_t sendId[kSealPairIdLength];         // carried in our datagrams to the member
  uint8_t receiveId[kSealPairIdLength];      // carried in the member's datagrams to us
  ReplayWindow window;                       // the member's counters taken so far
  uint8_t theirKey[kSealPublicKeyLength];    // the member's public key it was agreed from
  // AES-256-GCM in place of ChaCha20-Poly1305: both machines have AES instructions and said
  // so. The keys expanded once for it.
  uint8_t fast;
  SealFastKey sendFast;
  SealFastKey receiveFast;
  uint8_t agreed;
  // A datagram of the member's has opened: the member seals, so its plain datagrams (which
  // anyone could have forged) are to be refused from now on.
  uint8_t heard;
};

// Makes this session's key pair and starts its counter: 1, or 0 when no key could be made.
int MakeSealIdentity(SealIdentity* own);
// Overwrites the secret keys (at the session's end, and before a record is dropped).
void ForgetSealIdentity(SealIdentity* own);
void ForgetSealPair(SealPair* pair);

// Agrees the pair's keys with the member theirNick whose public key came in its IRC message.
// Both sides arrive at the same keys only when each names itself and the other alike (IRC case
// rule: "Alice" is "alice"). fast: both sides said they have the faster cipher (each passes
// the same, from both messages; SealFastCipherReady must hold here too). 1 agreed (a fresh
// window); 0 when their key is ours or unusable, a nickname is empty or longer than
// kSealNickLength, or own has no key pair: the pair is then left not agreed.
int AgreeSeal(const SealIdentity& own, const char* ownNick, const uint8_t theirKey[kSealPublicKeyLength],
              const char* theirNick, SealPair* pair, bool fast = false);

// The text form: kSealKeyTextLength lower-case hex digits and a NUL.
void FormatSealKeyText(const uint8_t key[kSealPublicKeyLength], char out[kSealKeyTextLength + 1]);
// Strict: exactly kSealKeyTextLength lower-case hex digits in `length` bytes, not all zero.
// 1 and the key, or 0 and key untouched.
int ParseSealKeyText(const char* text, int length, uint8_t key[kSealPublicKeyLength]);
