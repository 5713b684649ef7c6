// Who has shown that it runs QIVRA and when our details are due to it (pure rules), and QIVRA's
// own CTCP text read and written.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "presence/details_text.h"
#include "presence/discovery_state.h"

namespace {

const uint32_t kStart = 4294960000u;  // the 32-bit count wraps on the way

TEST(DiscoveryStateTest, AsksAreRepeatedAfterTwoFourEightSecondsUpToAMinuteAndNeverGiveUp) {
  const uint32_t expected[] = {2000, 4000, 8000, 16000, 32000, 60000, 60000, 60000};
  for (int asks = 1; asks <= 8; ++asks) EXPECT_EQ(expected[asks - 1], AskBackoff(asks)) << "after ask " << asks;

  DiscoveryLink d = {};
  EXPECT_TRUE(NoteQivraSign(&d, SignAnnounced, true, kStart, 700));
  EXPECT_FALSE(DetailsDue(d, kStart + 699)) << "an answer waits for its share of the spread";
  ASSERT_TRUE(DetailsDue(d, kStart + 700));
  EXPECT_TRUE(WantsTheirs(d)) << "ours carry \"ask\" while theirs have not come";
  uint32_t now = kStart + 700;
  for (int ask = 1; ask <= 20; ++ask) {
    NoteDetailsQueued(&d);
    EXPECT_FALSE(DetailsDue(d, now + 600000)) << "nothing more while a line of ours waits";
    now += 5000;  // the pace let it go
    NoteDetailsGone(&d, now, 300);
    const uint32_t wait = AskBackoff(ask) + 300;
    EXPECT_FALSE(DetailsDue(d, now + wait - 1)) << "ask " << ask;
    ASSERT_TRUE(DetailsDue(d, now + wait)) << "ask " << ask << ": asked again while both stay";
    now += wait;
  }
  NoteDetails(&d, DetailsHeard{false, true, true, 3}, now);
  EXPECT_FALSE(DetailsDue(d, now + 3600000)) << "its details came without \"ask\": it has ours, asks stop";
  EXPECT_EQ(1, d.hasOurKey);
  EXPECT_EQ(1, d.relay);
  EXPECT_EQ(3, d.look);
  EXPECT_EQ(SignAnnounced, d.shown) << "the first sign is kept";
}

TEST(DiscoveryStateTest, AnAskIsAnsweredAtOnceUnlessALineOfOursIsOnItsWay) {
  DiscoveryLink d = {};
  NoteDetails(&d, DetailsHeard{true, true, false, 0}, kStart);
  EXPECT_EQ(SignDetails, d.shown);
  ASSERT_TRUE(DetailsDue(d, kStart)) << "an ask: ours at once, no spread";
  EXPECT_FALSE(WantsTheirs(d)) << "we have theirs now: our answer asks nothing";
  NoteDetailsQueued(&d);
  NoteDetails(&d, DetailsHeard{true, true, false, 0}, kStart + 10);
  EXPECT_FALSE(DetailsDue(d, kStart + 10)) << "asked again while our answer waits: that answer serves";
  NoteDetailsGone(&d, kStart + 2000, 0);
  EXPECT_FALSE(DetailsDue(d, kStart + 120000)) << "an answer is not repeated by itself";
  OweDetailsAgain(&d, kStart + 130000);  // our address changed
  EXPECT_TRUE(DetailsDue(d, kStart + 130000));
}

TEST(DiscoveryStateTest, OlderClientsAreShownButNeverSentDetails) {
  const QivraSign oldSigns[] = {SignHello, SignAddressLine, SignMove};
  for (QivraSign sign : oldSigns) {
    DiscoveryLink d = {};
    EXPECT_TRUE(NoteQivraSign(&d, sign, false, kStart, 0));
    EXPECT_FALSE(NoteQivraSign(&d, SignHello, false, kStart + 1, 0)) << "shown once";
    EXPECT_EQ(sign, d.shown);
    EXPECT_FALSE(DetailsDue(d, kStart + 600000)) << "a client that knows no details gets none";
    OweDetailsAgain(&d, kStart);
    EXPECT_FALSE(DetailsDue(d, kStart + 600000));
  }
  DiscoveryLink newer = {};
  NoteQivraSign(&newer, SignHello, true, kStart, 0);  // its hello names "seal"
  EXPECT_TRUE(DetailsDue(newer, kStart));
}

TEST(QivraTextTest, AnnouncementsAndDetailsAreReadWordByWord) {
  QivraDetails d;
  EXPECT_EQ(QivraTextAnnouncement, ReadQivraText("\x01QIVRA\x01", &d));
  const struct {
    const char* text;
    QivraTextKind kind;
  } kinds[] = {
      {"\x01QIVRA-MOVE 00000000 0 0 0 0\x01", QivraTextNone},
      {"\x01QIVRAX\x01", QivraTextNone},
      {"QIVRA\x01", QivraTextNone},
      {"\x01VERSION\x01", QivraTextNone},
      {"\x01QIVRA", QivraTextMalformed},
      {"\x01QIVRA relay", QivraTextMalformed},
      {"\x01QIVRA \x01", QivraTextDetails},
      {"\x01QIVRA ask something-new relay\x01", QivraTextDetails},
  };
  for (const auto& k : kinds) EXPECT_EQ(k.kind, ReadQivraText(k.text, &d)) << k.text;

  const std::string key(64, 'a'), upper(64, 'A'), zeros(64, '0');
  const std::string text = "\x01QIVRA ask  relay rooms key=" + key + " aes look=4 at=10.0.0.7 at=2001:db8::9 "
                           "at=host.example at=fourth at=fifth\x01";
  ASSERT_EQ(QivraTextDetails, ReadQivraText(text.c_str(), &d));
  EXPECT_TRUE(d.ask && d.relay && d.rooms && d.hasKey && d.fast);
  EXPECT_EQ(0xAA, d.key[0]);
  EXPECT_EQ(4, d.look);
  ASSERT_EQ(kDetailAddresses, d.addressCount) << "four addresses at most";
  EXPECT_STREQ("2001:db8::9", d.addresses[1]);
  EXPECT_STREQ("fourth", d.addresses[3]);

  const std::string bad[] = {"key=" + upper, "key=" + zeros, "key=" + key.substr(1), "look=9", "look=0",
                             "look=12", "at=", "at=a\x02" "b", "at=" + std::string(300, 'h')};
  for (const std::string& word : bad) {
    ASSERT_EQ(QivraTextDetails, ReadQivraText(("\x01QIVRA " + word + "\x01").c_str(), &d)) << word;
    EXPECT_FALSE(d.hasKey || d.look || d.addressCount) << "taken: " << word;
  }
  const std::string overlong = "\x01QIVRA " + std::string(2000, 'x') + "\x01";
  EXPECT_EQ(QivraTextMalformed, ReadQivraText(overlong.c_str(), &d));
}

TEST(QivraTextTest, DetailsWrittenAreReadBackAlike) {
  QivraDetails out = {};
  out.relay = out.rooms = out.hasKey = out.fast = true;
  for (int i = 0; i < kSealPublicKeyLength; ++i) out.key[i] = static_cast<uint8_t>(i * 7 + 1);
  out.look = 8;
  out.addressCount = 3;
  std::strcpy(out.addresses[0], "11.200.3.101");
  std::strcpy(out.addresses[1], "has space");  // nothing a reader could take: left out
  std::strcpy(out.addresses[2], "2001:db8:3:1::2");
  char text[512];
  const std::size_t n = FormatQivraDetails(out, text, sizeof text);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(std::strlen(text), n);
  EXPECT_EQ(nullptr, std::strstr(text, "ask")) << text;
  QivraDetails in;
  ASSERT_EQ(QivraTextDetails, ReadQivraText(text, &in));
  EXPECT_EQ(0, std::memcmp(out.key, in.key, sizeof in.key));
  EXPECT_TRUE(in.relay && in.rooms && in.fast && !in.ask);
  EXPECT_EQ(8, in.look);
  ASSERT_EQ(2, in.addressCount);
  EXPECT_STREQ("2001:db8:3:1::2", in.addresses[1]);
  EXPECT_EQ(0u, FormatQivraDetails(out, text, 40)) << "does not fit: nothing";
  EXPECT_STREQ("", text);
  const QivraDetails none = {};
  ASSERT_GT(FormatQivraDetails(none, text, sizeof text), 0u);
  EXPECT_EQ(QivraTextDetails, ReadQivraText(text, &in)) << "details without a word are no announcement";
}

}  // namespace
