// Proof of origin in our own words: key pairs, key agreement, a hash, and authenticated ciphers
// (the one file that names libsodium is seal_crypto.cpp).
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int kSealKeyBytes = 32;    // a public, secret or session key
constexpr int kSealTagBytes = 16;    // proves that a sealed text and its extra bytes are untouched
constexpr int kSealNonceBytes = 12;  // never twice under one session key
constexpr int kSealHashMost = 64;    // the longest hash SealHash makes

// Readies the library; any thread, any number of times. False: nothing below can work.
bool SealCryptoReady();

// A fresh key pair from the system's random source. False when the library cannot work.
bool SealMakeKeyPair(uint8_t publicKey[kSealKeyBytes], uint8_t secretKey[kSealKeyBytes]);

// The two session keys both sides of a pair arrive at: the side with `firstRole` true takes
// receive and send where the other takes send and receive. False when their key is unusable
// (a key of small order, all zeros among them).
bool SealAgreeKeys(const uint8_t ownPublic[kSealKeyBytes], const uint8_t ownSecret[kSealKeyBytes],
                   const uint8_t theirPublic[kSealKeyBytes], bool firstRole,
                   uint8_t receiveKey[kSealKeyBytes], uint8_t sendKey[kSealKeyBytes]);

// An unkeyed hash of `length` bytes into outLength bytes (16 to kSealHashMost).
bool SealHash(const uint8_t* data, std::size_t length, uint8_t* out, std::size_t outLength);

// Encrypts `length` bytes of plain into out, which takes length + kSealTagBytes bytes (the tag
// last); the tag also covers `extraLength` bytes of extra that travel unencrypted.
bool SealEncrypt(const uint8_t key[kSealKeyBytes], const uint8_t nonce[kSealNonceBytes],
                 const uint8_t* extra, std::size_t extraLength, const uint8_t* plain, std::size_t length,
                 uint8_t* out);
// The reverse for `length` bytes of sealed (tag included) into length - kSealTagBytes bytes of
// plain. False, with plain zeroed, when the tag does not prove sealed and extra untouched.
bool SealDecrypt(const uint8_t key[kSealKeyBytes], const uint8_t nonce[kSealNonceBytes],
                 const uint8_t* extra, std::size_t extraLength, const uint8_t* sealed, std::size_t length,
                 uint8_t* plain);

// The faster cipher, AES-256-GCM, where this machine has AES instructions (most do): the same
// sizes of key, nonce and tag, its key schedule made once per key. False: not here.
bool SealFastCipherReady();
struct alignas(16) SealFastKey {
  unsigned char state[512];  // the library's expanded key
};
bool SealFastKeyMake(const uint8_t key[kSealKeyBytes], SealFastKey* fast);
bool SealFastEncrypt(const SealFastKey& key, const uint8_t nonce[kSealNonceBytes], const uint8_t* extra,
                     std::size_t extraLength, const uint8_t* plain, std::size_t length, uint8_t* out);
// False, with plain zeroed, when the tag does not prove it.
bool SealFastDecrypt(const SealFastKey& key, const uint8_t nonce[kSealNonceBytes], const uint8_t* extra,
                     std::size_t extraLength, const uint8_t* sealed, std::size_t length, uint8_t* plain);

// Overwrites secret bytes in a way the compiler may not leave out.
void SealWipe(void* data, std::size_t length);
