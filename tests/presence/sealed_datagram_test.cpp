// Sealed datagrams: round trips, every byte tampered, nicknames bound into the keys, sessions,
// the replay window and the key's text form.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "presence/sealed_datagram.h"

namespace {

struct Member {
  SealIdentity identity;
  SealPair pair;  // with the other member
};

// alice and bob in one session each, agreed with the nicknames each gives.
void Agree(Member& alice, Member& bob, const char* aliceSaysBob = "bob", const char* bobSaysAlice = "alice",
           const char* aliceIs = "alice", const char* bobIs = "bob") {
  ASSERT_EQ(1, MakeSealIdentity(&alice.identity));
  ASSERT_EQ(1, MakeSealIdentity(&bob.identity));
  ASSERT_EQ(1, AgreeSeal(alice.identity, aliceIs, bob.identity.publicKey, aliceSaysBob, &alice.pair));
  ASSERT_EQ(1, AgreeSeal(bob.identity, bobIs, alice.identity.publicKey, bobSaysAlice, &bob.pair));
}

std::string Seal(Member& from, const std::string& inner) {
  char out[kSealedLength];
  int n = SealDatagram(&from.identity, from.pair, inner.data(), static_cast<int>(inner.size()), out, sizeof out);
  return std::string(out, static_cast<std::size_t>(n > 0 ? n : 0));
}

// The inner datagram, or the SealOpenResult as text.
std::string Open(Member& to, const std::string& sealed) {
  char inner[kSealInnerLength];
  int n = OpenSealedDatagram(&to.pair, sealed.data(), static_cast<int>(sealed.size()), inner, sizeof inner);
  return n > 0 ? std::string(inner, static_cast<std::size_t>(n)) : "refused " + std::to_string(n);
}

std::string Pattern(std::size_t length) {
  std::string s(length, '\0');
  s[0] = 'd';
  for (std::size_t i = 1; i < length; ++i) s[i] = static_cast<char>(i * 7);
  return s;
}

TEST(SealedDatagram, OpensForItsMemberOnlyBothWaysAtEveryLength) {
  Member alice, bob, carol;
  Agree(alice, bob);
  ASSERT_EQ(1, MakeSealIdentity(&carol.identity));
  ASSERT_EQ(1, AgreeSeal(carol.identity, "carol", alice.identity.publicKey, "alice", &carol.pair));
  for (std::size_t length : {1u, 3u, 21u, 2040u}) {
    const std::string inner = Pattern(length);
    const std::string sealed = Seal(alice, inner);
    ASSERT_EQ(length + kSealOverhead, sealed.size());
    if (length >= 21) {
      EXPECT_EQ(std::string::npos, sealed.find(inner.substr(1))) << "the inner bytes travel encrypted";
    }
    EXPECT_EQ(inner, Open(bob, sealed)) << length << " bytes alice to bob";
    EXPECT_EQ(inner, Open(alice, Seal(bob, inner))) << length << " bytes bob to alice";
    EXPECT_EQ("refused -2", Open(carol, sealed)) << "another member's pair with alice";
  }
  char out[kSealedLength + 1];
  const std::string tooLong = Pattern(kSealInnerLength + 1);
  EXPECT_EQ(0, SealDatagram(&alice.identity, alice.pair, tooLong.data(), kSealInnerLength + 1, out, sizeof out));
  EXPECT_EQ(0, SealDatagram(&alice.identity, alice.pair, "d", 1, out, kSealOverhead)) << "no room";
  const std::string position = Seal(alice, Pattern(21));
  char small[20];
  EXPECT_EQ(SealMalformed, OpenSealedDatagram(&bob.pair, position.data(), 54, small, sizeof small));
  EXPECT_EQ(Pattern(21), Open(bob, position)) << "refused for want of room, it still opens once";
}

TEST(SealedDatagram, EveryByteTamperedIsRefusedAndLeavesTheWindowAsItWas) {
  Member alice, bob;
  Agree(alice, bob);
  const std::string sealed = Seal(alice, Pattern(21));
  for (std::size_t i = 0; i < sealed.size(); ++i) {
    for (int mask : {0x01, 0x80}) {
      std::string bad = sealed;
      bad[i] = static_cast<char>(bad[i] ^ mask);
      EXPECT_EQ(0u, Open(bob, bad).find("refused")) << "byte " << i << " ^ " << mask;
    }
  }
  EXPECT_EQ(0u, Open(bob, sealed.substr(0, sealed.size() - 1)).find("refused")) << "cut short";
  EXPECT_EQ(0u, Open(bob, sealed + '\0').find("refused")) << "one byte more";
  EXPECT_EQ(0u, bob.pair.window.highest);
  EXPECT_EQ(0, bob.pair.heard) << "no plain datagram is refused on a forgery's word";
  EXPECT_EQ(Pattern(21), Open(bob, sealed));
  EXPECT_EQ(1, bob.pair.heard);
  EXPECT_EQ("refused -3", Open(bob, sealed)) << "and only once";
}

TEST(SealedDatagram, KeysAreBoundToBothNicknamesByTheIrcCaseRule) {
  struct Case {
    const char *aliceIs, *bobSaysAlice, *bobIs, *aliceSaysBob;
    bool opens;
  } cases[] = {
      {"alice", "alice", "bob", "bob", true},
      {"Alice", "aLICE", "BOB", "bob", true},
      {"[al]~", "{AL}^", "b\\", "B|", true},
      {"alice", "carol", "bob", "bob", false},    // bob thinks the key came from carol
      {"alice", "alice", "bob", "bobby", false},  // alice thinks she agreed with bobby
      {"alice", "alice_", "bob", "bob", false},
  };
  for (const Case& c : cases) {
    Member alice, bob;
    Agree(alice, bob, c.aliceSaysBob, c.bobSaysAlice, c.aliceIs, c.bobIs);
    const std::string inner = Pattern(21);
    EXPECT_EQ(c.opens, Open(bob, Seal(alice, inner)) == inner) << c.aliceIs << " as " << c.bobSaysAlice;
    EXPECT_EQ(c.opens, Open(alice, Seal(bob, inner)) == inner) << c.bobIs << " as " << c.aliceSaysBob;
  }
  SealIdentity own;
  ASSERT_EQ(1, MakeSealIdentity(&own));
  SealIdentity other;
  ASSERT_EQ(1, MakeSealIdentity(&other));
  SealPair pair;
  const std::string longest(kSealNickLength, 'n'), tooLong(kSealNickLength + 1, 'n');
  EXPECT_EQ(1, AgreeSeal(own, longest.c_str(), other.publicKey, "bob", &pair));
  EXPECT_EQ(0, AgreeSeal(own, tooLong.c_str(), other.publicKey, "bob", &pair));
  EXPECT_EQ(0, AgreeSeal(own, "alice", other.publicKey, "", &pair));
  EXPECT_EQ(0, pair.agreed);
}

TEST(SealedDatagram, OwnAndUnusableKeysAgreeOnNothingAndSessionsDoNotMix) {
  Member alice, bob;
  Agree(alice, bob);
  SealPair pair;
  const uint8_t zero[kSealPublicKeyLength] = {};
  EXPECT_EQ(0, AgreeSeal(alice.identity, "alice", alice.identity.publicKey, "bob", &pair)) << "our own key";
  EXPECT_EQ(0, AgreeSeal(alice.identity, "alice", zero, "bob", &pair)) << "a key of small order";
  char out[kSealedLength];
  EXPECT_EQ(0, SealDatagram(&alice.identity, pair, "d", 1, out, sizeof out)) << "nothing agreed";

  // Counters run on across every pair of a session: none is used twice under a key.
  Member carol;
  Agree(alice, carol, "carol", "alice");
  const std::string toCarol = Seal(alice, "x");
  ASSERT_EQ(1, AgreeSeal(alice.identity, "alice", bob.identity.publicKey, "bob", &alice.pair));
  SealHeader first, second;
  ASSERT_EQ(1, ReadSealHeader(toCarol.data(), static_cast<int>(toCarol.size()), &first));
  const std::string toBob = Seal(alice, "x");
  ASSERT_EQ(1, ReadSealHeader(toBob.data(), static_cast<int>(toBob.size()), &second));
  EXPECT_EQ(first.counter + 1, second.counter);

  // A new session of bob's: what his last one agreed opens nothing of the new one's.
  Member bobAgain;
  bobAgain.identity = bob.identity;
  ASSERT_EQ(1, MakeSealIdentity(&bob.identity));
  EXPECT_NE(0, std::memcmp(bob.identity.publicKey, bobAgain.identity.publicKey, kSealPublicKeyLength));
  ASSERT_EQ(1, AgreeSeal(bob.identity, "bob", alice.identity.publicKey, "alice", &bob.pair));
  EXPECT_EQ("refused -2", Open(bob, toBob)) << "sealed for bob's last session";
  ForgetSealIdentity(&bobAgain.identity);
  EXPECT_EQ(0, bobAgain.identity.made);
}

// Two machines with AES instructions seal with AES-256-GCM: the same datagrams, tags, window;
// a pair agreed for the other cipher opens none of them.
TEST(SealedDatagram, TheFasterCipherSealsAlikeAndOpensOnlyForItsOwnKind) {
  if (!SealFastCipherReady()) GTEST_SKIP() << "no AES instructions here";
  Member alice, bob, slow;
  ASSERT_EQ(1, MakeSealIdentity(&alice.identity));
  ASSERT_EQ(1, MakeSealIdentity(&bob.identity));
  ASSERT_EQ(1, AgreeSeal(alice.identity, "alice", bob.identity.publicKey, "bob", &alice.pair, true));
  ASSERT_EQ(1, AgreeSeal(bob.identity, "bob", alice.identity.publicKey, "alice", &bob.pair, true));
  slow.identity = bob.identity;
  ASSERT_EQ(1, AgreeSeal(slow.identity, "bob", alice.identity.publicKey, "alice", &slow.pair, false));
  for (std::size_t length : {1u, 21u, 2040u}) {
    const std::string inner = Pattern(length);
    const std::string sealed = Seal(alice, inner);
    ASSERT_EQ(length + kSealOverhead, sealed.size());
    EXPECT_EQ("refused -2", Open(slow, sealed)) << "the same keys under the other cipher";
    std::string tampered = sealed;
    tampered[kSealHeaderLength] ^= 1;
    EXPECT_EQ("refused -2", Open(bob, tampered));
    EXPECT_EQ(inner, Open(bob, sealed));
    EXPECT_EQ("refused -3", Open(bob, sealed)) << "a repeat";
    EXPECT_EQ(inner, Open(alice, Seal(bob, inner)));
  }
}

TEST(ReplayWindow, RepeatsAndCountersOlderThanTheWindowAreRefusedLateOnesTakenOnce) {
  ReplayWindow w;
  ResetReplayWindow(&w);
  // Each step: a counter and whether it is fresh (a fresh one is taken).
  const struct {
    uint64_t counter;
    bool fresh;
  } steps[] = {{0, false}, {1, true}, {3, true}, {2, true}, {3, false}, {1, false}, {70, true}, {6, false},
               {7, true},  {7, false}, {69, true}, {134, true}, {5, false}, {70, false}, {71, true}, {1000000, true},
               {999937, true}, {999936, false}, {UINT64_MAX, true}, {UINT64_MAX - 63, true}, {1000000, false}};
  for (const auto& s : steps) {
    EXPECT_EQ(s.fresh, CounterFresh(w, s.counter)) << "counter " << s.counter;
    if (CounterFresh(w, s.counter)) TakeCounter(&w, s.counter);
  }
}

TEST(SealKeyText, RoundTripsAndTakesNothingElse) {
  SealIdentity own;
  ASSERT_EQ(1, MakeSealIdentity(&own));
  char text[kSealKeyTextLength + 1];
  FormatSealKeyText(own.publicKey, text);
  uint8_t key[kSealPublicKeyLength] = {};
  ASSERT_EQ(1, ParseSealKeyText(text, kSealKeyTextLength, key));
  EXPECT_EQ(0, std::memcmp(own.publicKey, key, sizeof key));

  const std::string good(text);
  const std::string refused[] = {good.substr(1), good + "0", " " + good.substr(1), good.substr(0, 63) + "G",
                                 good.substr(0, 63) + "g", good.substr(0, 10) + "A" + good.substr(11),
                                 good.substr(0, 31) + std::string(1, '\0') + good.substr(32),
                                 std::string(64, '0'), "", std::string(64, ' ')};
  uint8_t untouched[kSealPublicKeyLength];
  std::memset(untouched, 0xAB, sizeof untouched);
  for (const std::string& t : refused) {
    EXPECT_EQ(0, ParseSealKeyText(t.data(), static_cast<int>(t.size()), untouched)) << "\"" << t << "\"";
  }
  EXPECT_EQ(0xAB, untouched[0]);
  EXPECT_EQ(0, ParseSealKeyText(nullptr, kSealKeyTextLength, untouched));
}

}  // namespace
