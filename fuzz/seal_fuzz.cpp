// Fuzz target: what sealed datagrams read from outside, and the text that carries their keys.
// The first byte chooses (its low three bits):
//   0  a public key's text from an IRC message: parsed, and when taken, formatted back alike;
//   1  a datagram from anyone, taken as sealed by a member: it must never open;
//   2  a run of counters (two bytes each, little-endian steps back and forth) against the
//      replay window, checked against a plain record of every counter taken;
//   3  two bytes of place and one of mask, then an inner datagram: sealed, one byte changed
//      by the mask (none when 0), opened; the genuine one then opens exactly once;
//   4  a message's text as QIVRA's CTCP (presence/details_text.h): details read are written
//      back and read again alike, and nothing read outgrows its bounds;
//   7  as 3, sealed with AES-256-GCM (where the machine has it; else as 3 again).
// A broken rule stops the run (a trap), as a crash does.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <set>

#include "presence/datagram_intake.h"
#include "presence/details_text.h"
#include "presence/sealed_datagram.h"

namespace {

SealIdentity me, alice;
SealPair meWithAlice, aliceWithMe;
SealPair meWithAliceFast, aliceWithMeFast;  // AES-256-GCM, where the machine has it

void Require(bool rule) {
  if (!rule) __builtin_trap();
}

void KeyText(const uint8_t* data, std::size_t size) {
  uint8_t key[kSealPublicKeyLength];
  const int length = size > 1000 ? 1000 : static_cast<int>(size);
  if (ParseSealKeyText(reinterpret_cast<const char*>(data), length, key) != 1) return;
  char text[kSealKeyTextLength + 1];
  FormatSealKeyText(key, text);
  Require(length == kSealKeyTextLength && std::memcmp(text, data, kSealKeyTextLength) == 0);
}

void Stranger(const uint8_t* data, std::size_t size) {
  const int length = size > kSealedLength + 100 ? kSealedLength + 100 : static_cast<int>(size);
  const char* bytes = reinterpret_cast<const char*>(data);
  char inner[kSealInnerLength];
  SocketAddress from = {};
  Require(TakeSealedDatagram(&meWithAlice, 1, bytes, length, from, 1000, inner, sizeof inner) < 1);
  SealHeader header;
  if (ReadSealHeader(bytes, length, &header))
    Require(FindSealingPair(&meWithAlice, 1, header) == (SealedByPair(meWithAlice, header) ? 0 : -1));
}

void Counters(const uint8_t* data, std::size_t size) {
  ReplayWindow window;
  ResetReplayWindow(&window);
  std::set<uint64_t> taken = {0};
  uint64_t counter = 1, highest = 0;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const int step = (data[i] | data[i + 1] << 8) - 0x8000;
    const uint64_t by = static_cast<uint64_t>(step < 0 ? -step : step);
    counter = step >= 0 ? counter + by : by > counter ? 0 : counter - by;
    const bool fresh = !taken.count(counter) && counter + kReplayWindow > highest;
    Require(CounterFresh(window, counter) == fresh);
    if (!fresh) continue;
    TakeCounter(&window, counter);
    taken.insert(counter);
    if (counter > highest) highest = counter;
  }
}

void RoundTrip(const uint8_t* data, std::size_t size, SealPair& meWithAlice, const SealPair& aliceWithMe) {
  if (size < 4 || size - 3 > static_cast<std::size_t>(kSealInnerLength)) return;
  const char* inner = reinterpret_cast<const char*>(data + 3);
  const int innerLength = static_cast<int>(size - 3);
  char sealed[kSealedLength], opened[kSealInnerLength];
  const int length = SealDatagram(&alice, aliceWithMe, inner, innerLength, sealed, sizeof sealed);
  Require(length == innerLength + kSealOverhead);
  char changed[kSealedLength];
  std::memcpy(changed, sealed, static_cast<std::size_t>(length));
  changed[(data[0] | data[1] << 8) % length] ^= static_cast<char>(data[2]);
  const int first = OpenSealedDatagram(&meWithAlice, changed, length, opened, sizeof opened);
  if (data[2] != 0) {
    Require(first < 1);
    Require(OpenSealedDatagram(&meWithAlice, sealed, length, opened, sizeof opened) == innerLength);
  } else {
    Require(first == innerLength);
  }
  Require(std::memcmp(opened, inner, static_cast<std::size_t>(innerLength)) == 0);
  Require(OpenSealedDatagram(&meWithAlice, sealed, length, opened, sizeof opened) == SealReplayed);
}

void DetailsText(const uint8_t* data, std::size_t size) {
  static char text[1200];
  const std::size_t n = size < sizeof text - 1 ? size : sizeof text - 1;
  std::memcpy(text, data, n);
  text[n] = '\0';
  static QivraDetails read, again;
  if (ReadQivraText(text, &read) != QivraTextDetails) return;
  Require(read.addressCount >= 0 && read.addressCount <= kDetailAddresses && read.look <= 8);
  for (int i = 0; i < read.addressCount; ++i) Require(strnlen(read.addresses[i], kDetailAddressLength) < kDetailAddressLength);
  static char written[1200 + 200];
  if (FormatQivraDetails(read, written, sizeof written) == 0) return;
  Require(ReadQivraText(written, &again) == QivraTextDetails);
  Require(again.ask == read.ask && again.relay == read.relay && again.rooms == read.rooms && again.look == read.look);
  Require(again.hasKey == read.hasKey && (!read.hasKey || std::memcmp(again.key, read.key, sizeof read.key) == 0));
  Require(again.addressCount == read.addressCount);
  for (int i = 0; i < read.addressCount; ++i) Require(std::strcmp(again.addresses[i], read.addresses[i]) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Require(MakeSealIdentity(&me) == 1 && MakeSealIdentity(&alice) == 1);
  Require(AgreeSeal(me, "me", alice.publicKey, "alice", &meWithAlice) == 1);
  Require(AgreeSeal(alice, "alice", me.publicKey, "me", &aliceWithMe) == 1);
  const bool fast = SealFastCipherReady();
  Require(AgreeSeal(me, "me", alice.publicKey, "alice", &meWithAliceFast, fast) == 1);
  Require(AgreeSeal(alice, "alice", me.publicKey, "me", &aliceWithMeFast, fast) == 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  ResetReplayWindow(&meWithAlice.window);  // every input starts from the same window
  ResetReplayWindow(&meWithAliceFast.window);
  ResetDatagramIntake();
  switch (data[0] & 7) {
    case 0: KeyText(data + 1, size - 1); break;
    case 1: Stranger(data + 1, size - 1); break;
    case 2: Counters(data + 1, size - 1); break;
    case 4: DetailsText(data + 1, size - 1); break;
    case 7: RoundTrip(data + 1, size - 1, meWithAliceFast, aliceWithMeFast); break;
    default: RoundTrip(data + 1, size - 1, meWithAlice, aliceWithMe); break;
  }
  return 0;
}
