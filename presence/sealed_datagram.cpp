// Sealing plain datagrams under a pair's keys and opening the member's, once each.
#include "presence/sealed_datagram.h"

#include <cstring>

#include "platform/seal_crypto.h"

static_assert(kSealOverhead == kSealHeaderLength + kSealTagBytes, "one tag size");

namespace {

void PutCounter(uint64_t counter, uint8_t* out) {  // little-endian whatever the host
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(counter >> (8 * i));
}

uint64_t GetCounter(const uint8_t* in) {
  uint64_t counter = 0;
  for (int i = 0; i < 8; ++i) counter |= static_cast<uint64_t>(in[i]) << (8 * i);
  return counter;
}

// The counter is unique under each key (one counter for all of a session's pairs), so it is
// the nonce as it stands.
void MakeNonce(uint64_t counter, uint8_t nonce[kSealNonceBytes]) {
  std::memset(nonce, 0, kSealNonceBytes);
  PutCounter(counter, nonce);
}

const uint8_t* Bytes(const char* data) { return reinterpret_cast<const uint8_t*>(data); }

}  // namespace

int SealDatagram(SealIdentity* own, const SealPair& pair, const char* inner, int innerLength, char* out,
                 int outCapacity) {
  if (!own->made || !pair.agreed || innerLength < 1 || innerLength > kSealInnerLength) return 0;
  if (outCapacity < innerLength + kSealOverhead || own->nextCounter == UINT64_MAX) return 0;
  const uint64_t counter = own->nextCounter++;  // used up even when sealing fails below
  uint8_t* header = reinterpret_cast<uint8_t*>(out);
  header[0] = static_cast<uint8_t>(kSealedKind);
  std::memcpy(header + 1, pair.sendId, kSealPairIdLength);
  PutCounter(counter, header + 1 + kSealPairIdLength);
  uint8_t nonce[kSealNonceBytes];
  MakeNonce(counter, nonce);
  const std::size_t n = static_cast<std::size_t>(innerLength);
  const bool sealed = pair.fast ? SealFastEncrypt(pair.sendFast, nonce, header, kSealHeaderLength, Bytes(inner), n,
                                                  header + kSealHeaderLength)
                                : SealEncrypt(pair.sendKey, nonce, header, kSealHeaderLength, Bytes(inner), n,
                                              header + kSealHeaderLength);
  if (!sealed) return 0;
  return innerLength + kSealOverhead;
}

int ReadSealHeader(const char* data, int length, SealHeader* header) {
  if (!data || length < 1 + kSealOverhead || length > kSealedLength || data[0] != kSealedKind) return 0;
  std::memcpy(header->pairId, data + 1, kSealPairIdLength);
  header->counter = GetCounter(Bytes(data) + 1 + kSealPairIdLength);
  return 1;
}

bool SealedByPair(const SealPair& pair, const SealHeader& header) {
  return pair.agreed && std::memcmp(pair.receiveId, header.pairId, kSealPairIdLength) == 0;
}

int FindSealingPair(const SealPair* pairs, int count, const SealHeader& header) {
  for (int i = 0; i < count; ++i)
    if (SealedByPair(pairs[i], header)) return i;
  return -1;
}

int OpenSealedDatagram(SealPair* pair, const char* data, int length, char* inner, int innerCapacity) {
  SealHeader header;
  if (!ReadSealHeader(data, length, &header)) return SealMalformed;
  const int innerLength = length - kSealOverhead;
  if (!inner || innerCapacity < innerLength) return SealMalformed;
  if (!SealedByPair(*pair, header)) return SealForged;
  uint8_t nonce[kSealNonceBytes];
  MakeNonce(header.counter, nonce);
  uint8_t* plain = reinterpret_cast<uint8_t*>(inner);
  const std::size_t n = static_cast<std::size_t>(length - kSealHeaderLength);
  const bool opened = pair->fast ? SealFastDecrypt(pair->receiveFast, nonce, Bytes(data), kSealHeaderLength,
                                                   Bytes(data) + kSealHeaderLength, n, plain)
                                 : SealDecrypt(pair->receiveKey, nonce, Bytes(data), kSealHeaderLength,
                                               Bytes(data) + kSealHeaderLength, n, plain);
  if (!opened) return SealForged;
  if (!CounterFresh(pair->window, header.counter)) {
    std::memset(inner, 0, static_cast<std::size_t>(innerLength));
    return SealReplayed;
  }
  TakeCounter(&pair->window, header.counter);
  pair->heard = 1;
  return innerLength;
}
