// Proof of origin over libsodium: X25519 key agreement, BLAKE2b, ChaCha20-Poly1305 (IETF), and
// AES-256-GCM where the processor has AES instructions.
#include "platform/seal_crypto.h"

#include <sodium.h>

#include <cstring>

static_assert(kSealKeyBytes == crypto_kx_PUBLICKEYBYTES && kSealKeyBytes == crypto_kx_SECRETKEYBYTES &&
                  kSealKeyBytes == crypto_kx_SESSIONKEYBYTES,
              "key agreement sizes");
static_assert(kSealKeyBytes == crypto_aead_chacha20poly1305_ietf_KEYBYTES &&
                  kSealTagBytes == crypto_aead_chacha20poly1305_ietf_ABYTES &&
                  kSealNonceBytes == crypto_aead_chacha20poly1305_ietf_NPUBBYTES,
              "cipher sizes");
static_assert(kSealHashMost == crypto_generichash_BYTES_MAX, "hash size");

bool SealCryptoReady() {
  // sodium_init is safe to call from several threads and again: 1 means it already ran.
  return sodium_init() >= 0;
}

bool SealMakeKeyPair(uint8_t publicKey[kSealKeyBytes], uint8_t secretKey[kSealKeyBytes]) {
  if (!SealCryptoReady()) return false;
  return crypto_kx_keypair(publicKey, secretKey) == 0;
}

bool SealAgreeKeys(const uint8_t ownPublic[kSealKeyBytes], const uint8_t ownSecret[kSealKeyBytes],
                   const uint8_t theirPublic[kSealKeyBytes], bool firstRole,
                   uint8_t receiveKey[kSealKeyBytes], uint8_t sendKey[kSealKeyBytes]) {
  if (!SealCryptoReady()) return false;
  int r = firstRole ? crypto_kx_client_session_keys(receiveKey, sendKey, ownPublic, ownSecret, theirPublic)
                    : crypto_kx_server_session_keys(receiveKey, sendKey, ownPublic, ownSecret, theirPublic);
  return r == 0;
}

bool SealHash(const uint8_t* data, std::size_t length, uint8_t* out, std::size_t outLength) {
  if (outLength < crypto_generichash_BYTES_MIN || outLength > crypto_generichash_BYTES_MAX) return false;
  if (!SealCryptoReady()) return false;
  return crypto_generichash(out, outLength, data, length, nullptr, 0) == 0;
}

bool SealEncrypt(const uint8_t key[kSealKeyBytes], const uint8_t nonce[kSealNonceBytes],
                 const uint8_t* extra, std::size_t extraLength, const uint8_t* plain, std::size_t length,
                 uint8_t* out) {
  unsigned long long written = 0;
  return crypto_aead_chacha20poly1305_ietf_encrypt(out, &written, plain, length, extra, extraLength, nullptr,
                                                   nonce, key) == 0 &&
         written == length + kSealTagBytes;
}

bool SealDecrypt(const uint8_t key[kSealKeyBytes], const uint8_t nonce[kSealNonceBytes],
                 const uint8_t* extra, std::size_t extraLength, const uint8_t* sealed, std::size_t length,
                 uint8_t* plain) {
  if (length < static_cast<std::size_t>(kSealTagBytes)) return false;
  unsigned long long written = 0;
  if (crypto_aead_chacha20poly1305_ietf_decrypt(plain, &written, nullptr, sealed, length, extra, extraLength,
                                                nonce, key) == 0 &&
      written == length - kSealTagBytes)
    return true;
  std::memset(plain, 0, length - kSealTagBytes);
  return false;
}

static_assert(sizeof(SealFastKey) >= sizeof(crypto_aead_aes256gcm_state) && alignof(SealFastKey) >= 16,
              "room for the expanded key");
static_assert(kSealKeyBytes == crypto_aead_aes256gcm_KEYBYTES && kSealTagBytes == crypto_aead_aes256gcm_ABYTES &&
                  kSealNonceBytes == crypto_aead_aes256gcm_NPUBBYTES,
              "the faster cipher's sizes");

bool SealFastCipherReady() { return SealCryptoReady() && crypto_aead_aes256gcm_is_available() == 1; }

static crypto_aead_aes256gcm_state* StateOf(SealFastKey* key) {
  return reinterpret_cast<crypto_aead_aes256gcm_state*>(key->state);
}
static const crypto_aead_aes256gcm_state* StateOf(const SealFastKey& key) {
  return reinterpret_cast<const crypto_aead_aes256gcm_state*>(key.state);
}

bool SealFastKeyMake(const uint8_t key[kSealKeyBytes], SealFastKey* fast) {
  return SealFastCipherReady() && crypto_aead_aes256gcm_beforenm(StateOf(fast), key) == 0;
}

bool SealFastEncrypt(const SealFastKey& key, const uint8_t nonce[kSealNonceBytes], const uint8_t* extra,
                     std::size_t extraLength, const uint8_t* plain, std::size_t length, uint8_t* out) {
  unsigned long long written = 0;
  return crypto_aead_aes256gcm_encrypt_afternm(out, &written, plain, length, extra, extraLength, nullptr, nonce,
                                               StateOf(key)) == 0 &&
         written == length + kSealTagBytes;
}

bool SealFastDecrypt(const SealFastKey& key, const uint8_t nonce[kSealNonceBytes], const uint8_t* extra,
                     std::size_t extraLength, const uint8_t* sealed, std::size_t length, uint8_t* plain) {
  if (length < static_cast<std::size_t>(kSealTagBytes)) return false;
  unsigned long long written = 0;
  if (crypto_aead_aes256gcm_decrypt_afternm(plain, &written, nullptr, sealed, length, extra, extraLength, nonce,
                                            StateOf(key)) == 0 &&
      written == length - kSealTagBytes)
    return true;
  std::memset(plain, 0, length - kSealTagBytes);
  return false;
}

void SealWipe(void* data, std::size_t length) { sodium_memzero(data, length); }
