// The relay's pure rules: the move text both ways, and when members are relayed and owed our
// state.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "presence/relay_state.h"

namespace {

TEST(RelayStateTest, MovesRoundTripWithBoundedPrecision) {
  RelayMove out = {};
  out.keys[KeyForward] = out.keys[KeyTurnLeft] = out.keys[KeyLookDown] = 1;
  out.keys[0] = out.keys[9] = 1;  // no key uses these: not carried
  out.x = -12.3456f, out.z = 7.0f, out.yaw = 725.04f, out.pitch = -190.0f;
  char text[kRelayMoveLength];
  ASSERT_NE(0u, FormatRelayMove(out, text, sizeof text));
  EXPECT_STREQ("QIVRA-MOVE 10100001 -12.35 7.00 5.0 170.0", text) << "angles folded into -180..180";
  RelayMove in;
  ASSERT_TRUE(ParseRelayMove(("\x01" + std::string(text) + "\x01").c_str(), &in));
  EXPECT_EQ(0, in.keys[0] + in.keys[KeyBack]);
  EXPECT_EQ(2, in.keys[KeyForward] + in.keys[KeyLookDown]);
  EXPECT_NEAR(-12.35f, in.x, 1e-4);
  EXPECT_NEAR(170.0f, in.pitch, 1e-4);

  out.x = NAN;
  EXPECT_EQ(0u, FormatRelayMove(out, text, sizeof text));
  out.x = 99999.5f;
  EXPECT_EQ(0u, FormatRelayMove(out, text, sizeof text)) << "beyond what the reader takes";
  out.x = 1.0f;
  EXPECT_EQ(0u, FormatRelayMove(out, text, 20)) << "does not fit";
}

TEST(RelayStateTest, OnlyWellFormedMovesAreTaken) {
  struct Case {
    const char* text;
    bool good;
  };
  const Case cases[] = {
      {"\x01QIVRA-MOVE 00000000 0 0 0 0\x01", true},
      {"\x01QIVRA-MOVE 11111111 -99999.99 99999.99 -180.0 180.0\x01", true},
      {"\x01QIVRA-MOVE 01000000 1.5 -2.25 90 -9.9\x01", true},
      {"\x01QIVRA-MOVE 01000000 1.5 -2.25 90 -9.9", false},           // no closing \x01
      {"\x01QIVRA-MOVE 01000000 1.5 -2.25 90 -9.9\x01 ", false},      // something after it
      {"QIVRA-MOVE 01000000 1.5 -2.25 90 -9.9\x01", false},           // no opening \x01
      {"\x01QIVRA-MOVE 0100000 1.5 -2.25 90 -9.9\x01", false},        // seven keys
      {"\x01QIVRA-MOVE 01000020 1.5 -2.25 90 -9.9\x01", false},       // a 2
      {"\x01QIVRA-MOVE 01000000 1.5 -2.25 90\x01", false},            // three numbers
      {"\x01QIVRA-MOVE 01000000 1.5 -2.25 90 -9.9 1\x01", false},     // five
      {"\x01QIVRA-MOVE 01000000  1.5 -2.25 90 -9.9\x01", false},      // two blanks
      {"\x01QIVRA-MOVE 01000000 1.555 -2.25 90 -9.9\x01", false},     // three places
      {"\x01QIVRA-MOVE 01000000 1.5 -2.25 90.25 -9.9\x01", false},    // an angle with two
      {"\x01QIVRA-MOVE 01000000 100000 0 0 0\x01", false},            // six digits
      {"\x01QIVRA-MOVE 01000000 1.5 -2.25 180.1 0\x01", false},       // past 180
      {"\x01QIVRA-MOVE 01000000 1. 0 0 0\x01", false},
      {"\x01QIVRA-MOVE 01000000 .5 0 0 0\x01", false},
      {"\x01QIVRA-MOVE 01000000 - 0 0 0\x01", false},
      {"\x01QIVRA-MOVE 01000000 1e3 0 0 0\x01", false},
      {"\x01QIVRA-MOVE\x01", false},
      {"", false},
  };
  for (const Case& c : cases) {
    RelayMove m;
    EXPECT_EQ(c.good, ParseRelayMove(c.text, &m)) << c.text;
  }
  RelayMove m;
  EXPECT_FALSE(ParseRelayMove(("\x01QIVRA-MOVE 01000000 1 2 3 4" + std::string(80, ' ') + "\x01").c_str(), &m));
}

TEST(RelayStateTest, MembersAreRelayedOnlyAfterAnnouncing) {
  RelayLink answered = {};  // its details did not say "relay"
  EXPECT_EQ(RelayUnchanged, UpdateRelay(&answered, true, false));

  answered.announced = 1;
  EXPECT_EQ(RelayUnchanged, UpdateRelay(&answered, false, true));
  EXPECT_EQ(RelayStarted, UpdateRelay(&answered, true, false));
  EXPECT_EQ(1, answered.owed) << "our state goes at once";
  answered.shown = 1;
  EXPECT_EQ(RelayStopped, UpdateRelay(&answered, false, true)) << "a direct link takes over";
  EXPECT_EQ(0, answered.relayed + answered.shown + answered.owed);
}

TEST(RelayStateTest, StateIsOwedOnKeysWhileMovingAndRarelyStandingStill) {
  const uint32_t start = 4294960000u;
  RelayLink r = {};
  r.announced = 1;
  UpdateRelay(&r, true, false);
  r.owed = 0;
  r.sentMs = start;
  const struct {
    uint32_t at;  // ms after start
    bool keys, moving, owed;
  } steps[] = {
      {7000, true, true, true},                       // a key change: at once
      {7000 + kRelayMovingMs - 1, false, true, false},
      {7000 + kRelayMovingMs, false, true, true},     // a pose while moving
      {12000, true, false, true},                     // stopping is a key change
      {12000 + kRelayStillMs - 1, false, false, false},
      {12000 + kRelayStillMs, false, false, true},    // standing still: rarely
  };
  for (const auto& s : steps) {
    MarkRelayOwed(&r, s.keys, s.moving, start + s.at);
    EXPECT_EQ(s.owed, r.owed != 0) << "at " << s.at;
    if (r.owed) r.sentMs = start + s.at;  // sent
    r.owed = 0;
  }
  RelayLink idle = {};
  MarkRelayOwed(&idle, true, true, start);
  EXPECT_EQ(0, idle.owed) << "nothing is owed to a member that is not relayed";

  r.owed = 0;
  EXPECT_TRUE(NoteFirstRelayMove(&r));
  EXPECT_EQ(1, r.owed) << "the first move from it is answered: ours may have come too early";
  r.owed = 0;
  EXPECT_FALSE(NoteFirstRelayMove(&r));
  EXPECT_EQ(0, r.owed);
}

}  // namespace
