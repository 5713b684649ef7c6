// Moves through the IRC server on an injected clock: who is relayed (details that say "relay",
// an older client's first move), moves both ways, a direct link taking over, the nearest
// sharing lines as the server takes them, waiting moves merging, "PRESENCE off" taking none.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <utility>

#include "irc/words/ctcp_lines.h"
#include "irc/chat_commands.h"
#include "irc/discovery_lines.h"
#include "irc/irc_client.h"
#include "irc/line_pacing.h"
#include "irc/peer_reach.h"
#include "irc/irc_event.h"
#include "irc/relay_lines.h"
#include "platform/ticks.h"
#include "presence/datagram_intake.h"
#include "tests/irc/net_test_support.h"

namespace {

void NoteLimitLine(const char* line) {
  static IrcMessage m;
  ParseIrcMessage(line, &m);
  NoteTargetLimit(m);
}

class RelayLinesTest : public FakeClockTest {
 protected:
  void SetUp() override {
    FakeClockTest::SetUp();
    NoteLimitLine(":srv 001 me :Welcome");
    NoteOwnPose(PlayerPose{});
  }
  // A member whose details said "relay", in the table since before the "No direct link" time.
  int Announced(const char* nick, float x = 0) {
    int i = AddKnown(nick);
    Irc.peerTable.links[i].enteredMs = fakeNow - kNoLinkReportMs;
    DiscoveryLink& d = Irc.peerTable.links[i].discovery;
    d.shown = SignDetails;
    d.speaks = d.heardDetails = d.hasOurKey = 1;  // the details are traded: nothing owed
    Irc.peerTable.links[i].relay.announced = 1;
    Irc.peerTable.slots[i].pose.x = x;
    return i;
  }
};

const std::string kBobMove = ":bob!b@h PRIVMSG me :\x01QIVRA-MOVE 01000000 1.00 2.50 90.0 -5.0\x01\r\n";

TEST_F(RelayLinesTest, MembersWhoseDetailsSayRelayAreShownThroughTheServerUntilADirectLinkComes) {
  int bob = AddKnown("bob");
  Service();
  EXPECT_EQ(0, Pass(":bob!b@h NOTICE me :\x01QIVRA ask relay rooms\x01\r\n")) << "his details: never shown";
  EXPECT_EQ(1, Irc.peerTable.links[bob].relay.announced);
  Service();
  char key[kSealKeyTextLength + 1];
  FormatSealKeyText(Irc.peerTable.ownSeal.publicKey, key);
  EXPECT_EQ("NOTICE bob :\x01QIVRA relay rooms key=" + std::string(key) + (SealFastCipherReady() ? " aes" : "") +
                " at=" + TestAddress(0) + "\x01\r\n",
            Next())
      << "ours, to the member that has shown that it runs QIVRA";
  EXPECT_TRUE(server.NothingWithin(30)) << "no move before the No direct link time";
  EXPECT_EQ(0, Pass(kBobMove)) << "a move from a member not relayed is dropped unseen";
  fakeNow += kNoLinkReportMs / 2;  // an older QIVRA asks about now
  EXPECT_EQ(0, Pass(":bob!b@h PRIVMSG me :\x01VERSION\x01\r\n")) << "his question: answered, not shown";
  EXPECT_EQ(std::string("NOTICE bob :\x01VERSION ") + kClientVersion + "\x01\r\n", Next());

  NoteOwnPose(PlayerPose{0, 3.0f, -4.0f, 45.0f, 0, 0, 0});
  Service(kNoLinkReportMs - kNoLinkReportMs / 2);
  EXPECT_EQ("PRIVMSG bob :\x01QIVRA-MOVE 00000000 3.00 -4.00 45.0 0.0\x01\r\n", Next()) << "our state at once";
  EXPECT_EQ(0, Pass(kBobMove));
  EXPECT_EQ(2, Irc.peerTable.IsLinked(bob) + Irc.peerTable.IsActive(bob)) << "drawn, walked on by its keys";
  EXPECT_EQ(1, Irc.peerTable.slots[bob].keys[KeyBack]);
  EXPECT_FLOAT_EQ(2.5f + 90.0f, Irc.peerTable.slots[bob].pose.z + Irc.peerTable.slots[bob].pose.heading);
  const char* bad[] = {
      ":bob!b@h PRIVMSG me :\x01QIVRA-MOVE 01000000 70000.00 2.50 90.0 0.0\x01\r\n",  // outside the room's area
      ":carol!c@h PRIVMSG me :\x01QIVRA-MOVE 00000000 7.00 2.50 90.0 0.0\x01\r\n",    // not a member
      ":bob!b@h PRIVMSG #qivra :\x01QIVRA-MOVE 00000000 7.00 2.50 90.0 0.0\x01\r\n",  // to the channel
  };
  for (const char* line : bad) Pass(line);
  EXPECT_FLOAT_EQ(1.0f, Irc.peerTable.slots[bob].pose.x) << "nothing malformed or foreign was taken";
  SetPositionAreaAround(-5, 5, -5, 5);  // a room's floor: the relayed moves are held to it too
  Pass(":bob!b@h PRIVMSG me :\x01QIVRA-MOVE 01000000 400.00 2.50 90.0 0.0\x01\r\n");
  EXPECT_FLOAT_EQ(1.0f, Irc.peerTable.slots[bob].pose.x) << "far outside the room";
  PositionArea = kWidestPositionArea;

  // A direct link found later takes over: no more moves either way.
  UdpPeer peer;
  ASSERT_TRUE(peer.Bind(1, 6669));
  ASSERT_EQ(1, Irc.peerTable.SetPeerHost(bob, TestAddress(1).c_str()));
  EXPECT_EQ(100, Deliver(peer, "Cbob"));
  Service(kRelayGapMs);
  EXPECT_EQ(0, Irc.peerTable.links[bob].relay.relayed);
  Irc.peerTable.SendKeyState(KeyForward, 1);
  Service(kRelayGapMs);
  Pass(":bob!b@h PRIVMSG me :\x01QIVRA-MOVE 00000000 7.00 2.50 90.0 0.0\x01\r\n");
  EXPECT_FLOAT_EQ(1.0f, Irc.peerTable.slots[bob].pose.x);
  EXPECT_TRUE(server.NothingWithin(30));
}

// Ordinary clients never get a move nor a word of ours; a QIVRA of the version before this one,
// which knows no details, asks VERSION (its answer is paced, never dropped) and is relayed once
// its own first move shows that it takes them.
TEST_F(RelayLinesTest, OrdinaryClientsAreNeverSentMovesAndOlderQivrasAreTakenUpByTheirMoves) {
  const int dave = AddKnown("dave");  // an older QIVRA
  AddKnown("carol");                  // an IRC client
  std::string shown;
  EXPECT_EQ(EventText, Pass(":carol!c@h PRIVMSG me :\x01VERSION\x01\r\n", nullptr, &shown));
  EXPECT_EQ("CTCP VERSION from carol (answered)", shown) << "a question soon after joining shows";
  EXPECT_EQ(std::string("NOTICE carol :\x01VERSION ") + kClientVersion + "\x01\r\n", Next());
  EXPECT_NE(std::string::npos, std::string(kClientVersion).find(" relay/1")) << "older clients still read it";
  Irc.peerTable.SendKeyState(KeyForward, 1);
  for (int i = 0; i < 10; ++i) Service(kNoLinkReportMs);
  EXPECT_TRUE(server.NothingWithin(30)) << "neither is asked anything, nor sent a move";
  EXPECT_EQ(0, Irc.peerTable.links[dave].discovery.shown);

  // Answers wait their turn: a line every 2 s after the first.
  StartLinePacing(2000, 1);
  const std::string toDave = std::string("NOTICE dave :\x01VERSION ") + kClientVersion + "\x01\r\n";
  Pass(":dave!d@h PRIVMSG me :\x01VERSION\x01\r\n");
  EXPECT_EQ(toDave, Next());
  for (int i = 0; i < 6; ++i) Pass(":dave!d@h PRIVMSG me :\x01VERSION\x01\r\n");
  Pass(":carol!c@h PRIVMSG me :\x01VERSION\x01\r\n");
  EXPECT_TRUE(server.NothingWithin(30));
  fakeNow += 2000;
  EXPECT_EQ(toDave, Next()) << "one more for his repeats: they wait behind it, none is dropped";
  fakeNow += 2000;
  EXPECT_EQ(std::string("NOTICE carol :\x01VERSION ") + kClientVersion + "\x01\r\n", Next())
      << "another member's question within the second is answered too";
  fakeNow += 2000;
  EXPECT_TRUE(server.NothingWithin(60));
  StartLinePacing(0, 1);

  EXPECT_EQ(0, Pass(":dave!d@h PRIVMSG me :\x01QIVRA-MOVE 01000000 1.00 2.50 90.0 0.0\x01\r\n"));
  EXPECT_EQ(SignMove, Irc.peerTable.links[dave].discovery.shown);
  EXPECT_EQ(1, Irc.peerTable.IsLinked(dave)) << "his move is taken: he relays";
  Service(kRelayGapMs);
  EXPECT_EQ("PRIVMSG dave :\x01QIVRA-MOVE 10000000 0.00 0.00 0.0 0.0\x01\r\n", Next()) << "and ours go to him";
  EXPECT_TRUE(server.NothingWithin(30)) << "never to carol";
}

// "PRESENCE off" says nothing of relaying and takes no move.
TEST_F(RelayLinesTest, PresenceOffNeverSaysRelayAndTakesNoMoves) {
  const int bob = Announced("bob");
  Irc.presenceOff = true;
  Pass(":bob!b@h PRIVMSG me :\x01VERSION\x01\r\n");
  EXPECT_EQ(std::string("NOTICE bob :\x01VERSION ") + kClientVersionWithoutRelay + "\x01\r\n", Next());
  EXPECT_EQ(std::string::npos, std::string(kClientVersionWithoutRelay).find("relay"));
  EXPECT_EQ(0, Pass(":bob!b@h PRIVMSG me :\x01QIVRA\x01\r\n")) << "an announcement: not shown, not answered";
  EXPECT_EQ(0, Pass(kBobMove)) << "a move: not shown, not taken";
  EXPECT_EQ(0, Irc.peerTable.IsLinked(bob));
  EXPECT_EQ(0u, Irc.peerTable.slots[bob].poseSerial);
  EXPECT_TRUE(server.NothingWithin(30)) << "no details, no move";
}

TEST_F(RelayLinesTest, ServersTellHowManyTargetsALineMayName) {
  const std::pair<const char*, int> cases[] = {
      {":srv 005 me AWAYLEN=200 TARGMAX=NAMES:1,PRIVMSG:4,NOTICE:4 :are supported by this server", 4},
      {":srv 005 me MAXTARGETS=3 :are supported by this server", 3},
      {":srv 005 me TARGMAX=PRIVMSG:,NOTICE: :are supported", kRelayNearest},
      {":srv 005 me TARGMAX=NOTICE:2 :are supported", 1},
      {":srv 005 me TARGMAX=PRIVMSG:2,NOTICE:3 MAXTARGETS=6 :are supported", 2},
      {":srv 005 me PENALTY FNC :are supported", kRelayNearest},  // irc2 names none: tried (it took 5)
      {":srv 005 me RFC2812 IRCD=ngIRCd CHARSET=UTF-8 :are supported", 2},  // ngircd charges a second a target
  };
  for (const auto& c : cases) {
    NoteLimitLine(":srv 001 me :Welcome");
    NoteLimitLine(c.first);
    EXPECT_EQ(c.second, LineTargetLimit()) << c.first;
  }
}

// A server that takes fewer than we tried says so (hybrid and irc2 as they do): the members it
// refused are owed the move again, and the next lines name no more than it took.
TEST_F(RelayLinesTest, ARefusalOfTargetsLowersTheLimitAndTheRefusedGetTheMoveAgain) {
  const struct {
    const char* refusal;  // %s: the first refused member's nickname
    int took;
  } servers[] = {
      {":hybrid.test 407 me %s :Too many recipients. Only 3 processed\r\n", 3},
      {":irc2.test 407 me Too many :%s recipients. No Message Delivered\r\n", 3},
      {":srv 401 me m1,m2,m3,m4,m5 :No such nick/channel\r\n", 1},  // the list taken for one name
  };
  for (const auto& server_case : servers) {
    NoteLimitLine(":srv 001 me :Welcome");
    for (const char* n : {"m1", "m2", "m3", "m4", "m5"}) Announced(n, static_cast<float>(n[1] - '0'));
    Service(kRelayGapMs);
    EXPECT_EQ("PRIVMSG m1,m2,m3,m4,m5 :\x01QIVRA-MOVE 00000000 0.00 0.00 0.0 0.0\x01\r\n", Next());
    char refusal[160];
    std::snprintf(refusal, sizeof refusal, server_case.refusal, server_case.took == 3 ? "m4" : "m1");
    EXPECT_EQ(EventHandled, Pass(refusal)) << refusal;
    EXPECT_EQ(server_case.took, LineTargetLimit()) << refusal;
    Service(kRelayGapMs);
    const std::string again = server_case.took == 3 ? "m4,m5" : "m1";
    EXPECT_EQ("PRIVMSG " + again + " :\x01QIVRA-MOVE 00000000 0.00 0.00 0.0 0.0\x01\r\n", Next()) << refusal;
    for (const char* n : {"m1", "m2", "m3", "m4", "m5"}) Irc.peerTable.RemovePeer(n);
  }
  Pass(":srv 401 me nobody :No such nick/channel\r\n");
  EXPECT_EQ(1, LineTargetLimit()) << "a refusal about anyone else changes nothing";
}

// The nearest eight see us walk, as many a line as the server allows; the farther ones learn
// where we stand when the relay starts and once a minute.
TEST_F(RelayLinesTest, TheEightNearestShareLinesAsTheServerAllows) {
  NoteLimitLine(":srv 005 me TARGMAX=PRIVMSG:4,NOTICE:4 :are supported");
  const char* names[] = {"m9", "m3", "m1", "m10", "m5", "m7", "m2", "m8", "m4", "m6"};
  for (const char* n : names) Announced(n, static_cast<float>(std::stoi(n + 1)));
  Service(kRelayGapMs);
  EXPECT_EQ("PRIVMSG m1,m2,m3,m4 :\x01QIVRA-MOVE 00000000 0.00 0.00 0.0 0.0\x01\r\n", Next());
  Service(kRelayGapMs - 1);
  EXPECT_TRUE(server.NothingWithin(30)) << "a line a second at most";
  Service(1);
  EXPECT_EQ("PRIVMSG m5,m6,m7,m8 :\x01QIVRA-MOVE 00000000 0.00 0.00 0.0 0.0\x01\r\n", Next());
  Irc.peerTable.SendKeyState(KeyForward, 1);
  Service(kRelayGapMs);
  EXPECT_EQ("PRIVMSG m9,m10 :\x01QIVRA-MOVE 00000000 0.00 0.00 0.0 0.0\x01\r\n", Next())
      << "the farther ones learn where we stand, with no key held: nothing would walk them on";
  Service(kRelayGapMs);
  EXPECT_EQ("PRIVMSG m1,m2,m3,m4 :\x01QIVRA-MOVE 10000000 0.00 0.00 0.0 0.0\x01\r\n", Next());
  Service(kRelayGapMs);
  EXPECT_EQ("PRIVMSG m5,m6,m7,m8 :\x01QIVRA-MOVE 10000000 0.00 0.00 0.0 0.0\x01\r\n", Next());
  Service(kRelayGapMs);
  EXPECT_EQ("PRIVMSG m1,m2,m3,m4 :\x01QIVRA-MOVE 10000000 0.00 0.00 0.0 0.0\x01\r\n", Next())
      << "walking: the nearest eight in turn, a line a second";
  Service(kRelayGapMs);
  EXPECT_EQ("PRIVMSG m5,m6,m7,m8 :\x01QIVRA-MOVE 10000000 0.00 0.00 0.0 0.0\x01\r\n", Next());
  Irc.peerTable.SendKeyState(KeyForward, 0);
  for (int i = 0; i < 2; ++i) {
    Service(kRelayGapMs);
    EXPECT_EQ(std::string::npos, Next().find("m9")) << "m9 and m10 see no walk";
  }
  Service(kRelayGapMs);
  EXPECT_TRUE(server.NothingWithin(30));
  Service(kRelayStillMs);
  EXPECT_EQ("PRIVMSG m9,m10 :\x01QIVRA-MOVE 00000000 0.00 0.00 0.0 0.0\x01\r\n", Next()) << "and a move a minute";
}

TEST_F(RelayLinesTest, MovesWaitingForTheAllowanceMergeAndNeverHoldChatBack) {
  Announced("bob");
  StartLinePacing(2000, 5);
  for (int i = 0; i < 3; ++i) SayTo("#qivra", "x");
  for (int i = 0; i < 3; ++i) EXPECT_EQ("PRIVMSG #qivra :x\r\n", Next());
  Service(kRelayGapMs);
  EXPECT_TRUE(server.NothingWithin(30)) << "two lines left: kept for typed chat";
  SayTo("#qivra", "still goes");
  EXPECT_EQ("PRIVMSG #qivra :still goes\r\n", Next());
  Irc.peerTable.SendKeyState(KeyForward, 1);
  NoteOwnPose(PlayerPose{0, 1.0f, 1.0f, 0, 0, 0, 0});
  Service(1000);
  NoteOwnPose(PlayerPose{0, 1.0f, 2.0f, 0, 0, 0, 0});
  Irc.peerTable.SendKeyState(KeyForward, 0);
  Service(1000);
  EXPECT_TRUE(server.NothingWithin(30));
  Service(2000);  // three lines' allowance again
  EXPECT_EQ("PRIVMSG bob :\x01QIVRA-MOVE 00000000 1.00 2.00 0.0 0.0\x01\r\n", Next())
      << "one line with the newest state, none with the key held";
  EXPECT_TRUE(server.NothingWithin(30));
}

}  // namespace
