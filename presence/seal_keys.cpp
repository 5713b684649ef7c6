// Session key pairs, the keys agreed with a member and bound to both nicknames, key text.
#include "presence/seal_keys.h"

#include <cstring>

#include "core/irc_case.h"
#include "platform/seal_crypto.h"

static_assert(kSealPublicKeyLength == kSealKeyBytes, "one key size");

namespace {

// Names what the hash makes, so that no other use of the same keys can make the same bytes.
constexpr char kDirectionLabel[] = "QIVRA sealed datagrams 1";
constexpr int kDirectionLength = kSealKeyBytes + kSealPairIdLength;

// Appends the nickname's length (two bytes) and its lower-case form: false when too long.
bool PutNick(const char* nick, uint8_t* out, int* at) {
  const std::size_t n = strnlen(nick, kSealNickLength + 1);
  if (n == 0 || n > static_cast<std::size_t>(kSealNickLength)) return false;
  out[(*at)++] = static_cast<uint8_t>(n >> 8);
  out[(*at)++] = static_cast<uint8_t>(n & 0xFF);
  for (std::size_t i = 0; i < n; ++i) out[(*at)++] = static_cast<uint8_t>(IrcLowerCase(nick[i]));
  return true;
}

// One direction's key and id from its agreed key and the nicknames of sender and receiver:
// the receiver derives the same only when it names both alike.
bool DeriveDirection(const uint8_t agreed[kSealKeyBytes], const char* sender, const char* receiver,
                     uint8_t key[kSealKeyBytes], uint8_t id[kSealPairIdLength]) {
  uint8_t input[sizeof kDirectionLabel + kSealKeyBytes + 2 * (2 + kSealNickLength)];
  int at = 0;
  std::memcpy(input, kDirectionLabel, sizeof kDirectionLabel);
  at += static_cast<int>(sizeof kDirectionLabel);
  std::memcpy(input + at, agreed, kSealKeyBytes);
  at += kSealKeyBytes;
  uint8_t made[kDirectionLength];
  bool ok = PutNick(sender, input, &at) && PutNick(receiver, input, &at) &&
            SealHash(input, static_cast<std::size_t>(at), made, sizeof made);
  if (ok) {
    std::memcpy(key, made, kSealKeyBytes);
    std::memcpy(id, made + kSealKeyBytes, kSealPairIdLength);
  }
  SealWipe(input, sizeof input);
  SealWipe(made, sizeof made);
  return ok;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

int MakeSealIdentity(SealIdentity* own) {
  std::memset(own, 0, sizeof *own);
  if (!SealMakeKeyPair(own->publicKey, own->secretKey)) return 0;
  own->nextCounter = 1;
  own->made = 1;
  return 1;
}

void ForgetSealIdentity(SealIdentity* own) { SealWipe(own, sizeof *own); }

void ForgetSealPair(SealPair* pair) { SealWipe(pair, sizeof *pair); }

int AgreeSeal(const SealIdentity& own, const char* ownNick, const uint8_t theirKey[kSealPublicKeyLength],
              const char* theirNick, SealPair* pair, bool fast) {
  ForgetSealPair(pair);
  if (!own.made || !ownNick || !theirNick) return 0;
  // Both sides must take opposite roles without a word between them: the smaller key is first.
  const int order = std::memcmp(own.publicKey, theirKey, kSealPublicKeyLength);
  if (order == 0) return 0;  // our own key sent back to us
  uint8_t receive[kSealKeyBytes], send[kSealKeyBytes];
  bool ok = SealAgreeKeys(own.publicKey, own.secretKey, theirKey, order < 0, receive, send) &&
            DeriveDirection(send, ownNick, theirNick, pair->sendKey, pair->sendId) &&
            DeriveDirection(receive, theirNick, ownNick, pair->receiveKey, pair->receiveId);
  SealWipe(receive, sizeof receive);
  SealWipe(send, sizeof send);
  if (ok && fast) {
    ok = SealFastKeyMake(pair->sendKey, &pair->sendFast) && SealFastKeyMake(pair->receiveKey, &pair->receiveFast);
    pair->fast = 1;
  }
  if (!ok) {
    ForgetSealPair(pair);
    return 0;
  }
  ResetReplayWindow(&pair->window);
  std::memcpy(pair->theirKey, theirKey, sizeof pair->theirKey);
  pair->agreed = 1;
  return 1;
}

void FormatSealKeyText(const uint8_t key[kSealPublicKeyLength], char out[kSealKeyTextLength + 1]) {
  static const char digits[] = "0123456789abcdef";
  for (int i = 0; i < kSealPublicKeyLength; ++i) {
    out[2 * i] = digits[key[i] >> 4];
    out[2 * i + 1] = digits[key[i] & 0x0F];
  }
  out[kSealKeyTextLength] = '\0';
}

int ParseSealKeyText(const char* text, int length, uint8_t key[kSealPublicKeyLength]) {
  if (!text || length != kSealKeyTextLength) return 0;
  uint8_t read[kSealPublicKeyLength];
  uint8_t any = 0;
  for (int i = 0; i < kSealPublicKeyLength; ++i) {
    const int high = HexDigit(text[2 * i]), low = HexDigit(text[2 * i + 1]);
    if (high < 0 || low < 0) return 0;
    read[i] = static_cast<uint8_t>(high << 4 | low);
    any |= read[i];
  }
  if (!any) return 0;
  std::memcpy(key, read, sizeof read);
  return 1;
}
