// Taking a fallback nickname's own name back: real server lines in order, and what goes out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "irc/irc_message.h"
#include "irc/nick_regain.h"

namespace {

// kind: 'c' a new connection, 'r' a registration line, 'd' a line after registration, 'n' the
// server's NICK for us (text: the new name), 't' the tick. taken: 'd' the rules' own line, 'n'
// the wanted name came back. send and show: "" for none.
struct Step {
  char kind;
  const char* text;
  uint32_t at;  // ms
  const char *send, *show;
  bool taken;
};

void Play(const std::vector<Step>& steps, NickRegain* r) {
  IrcMessage m;
  for (const Step& s : steps) {
    RegainStep out{};
    bool taken = false;
    std::string where = std::string(1, s.kind) + " " + s.text + " at " + std::to_string(s.at);
    if (s.kind == 'c') RegainNewConnection(r);
    if (s.kind == 'r' || s.kind == 'd') ParseIrcMessage(s.text, &m);
    if (s.kind == 'r') RegainRegistrationLine(r, m, s.at, &out);
    if (s.kind == 'd') taken = RegainServerLine(r, m, s.at, &out);
    if (s.kind == 'n') taken = RegainOwnNickChange(r, s.text, &out);
    if (s.kind == 't') RegainTick(r, s.at, &out);
    EXPECT_EQ(s.send, std::string(out.send)) << where;
    EXPECT_EQ(s.show, std::string(out.show)) << where;
    EXPECT_EQ(s.taken, taken) << where;
  }
}

// ngircd has no MONITOR: ISON every 30 s once the message of the day has ended.
TEST(NickRegain, UnderAFallbackIsonAsksEveryHalfMinuteAndNickTakesTheNameWhenFree) {
  NickRegain r{};
  Play({{'c', "", 0, "", "", false},
        {'r', ":ngircd.test 433 * carol :Nickname already in use", 100, "", "", false},
        {'r', ":ngircd.test 001 carol_ :Welcome to the Internet Relay Network carol_!~user@10.200.1.3", 200, "",
         "", false},
        {'r', ":ngircd.test 005 carol_ RFC2812 IRCD=ngIRCd CASEMAPPING=ascii :are supported on this server", 210,
         "", "", false},
        {'r', ":ngircd.test 376 carol_ :End of MOTD command", 300, "ISON carol", "", false},
        {'d', ":ngircd.test 303 carol_ :carol", 400, "", "", true},  // still held
        {'t', "", 30299, "", "", false},
        {'t', "", 30300, "ISON carol", "", false},
        {'d', ":ngircd.test 303 carol_ :", 30400, "NICK carol", "", true},
        {'t', "", 30500, "", "", false},
        {'d', ":ngircd.test 303 carol_ :", 30600, "", "", false},  // not asked: shown as it is
        {'n', "carol", 30700, "", "Took back your nickname carol.", true},
        {'t', "", 90000, "", "", false}},
       &r);
}

// InspIRCd with its monitor module tells when the name goes offline; the watch is dropped after.
TEST(NickRegain, WithMonitorTheServerSaysWhenTheNameIsFree) {
  NickRegain r{};
  Play({{'r', ":insp.test 433 * Carol :Nickname is already in use.", 0, "", "", false},
        {'r', ":insp.test 001 Carol_ :Welcome to the Test IRC Network Carol_!u@10.200.1.3", 10, "", "", false},
        {'r', ":insp.test 005 Carol_ AWAYLEN=200 CASEMAPPING=rfc1459 MONITOR=30 NICKLEN=30 :are supported by "
              "this server", 20, "", "", false},
        {'r', ":insp.test 422 Carol_ :There is no message of the day.", 30, "MONITOR + Carol", "", false},
        {'d', ":insp.test 730 Carol_ :Carol!u@10.200.1.2", 40, "", "", true},
        {'t', "", 60000, "", "", false},  // no ISON beside MONITOR
        {'d', ":insp.test 731 Carol_ :Carol", 61000, "NICK Carol", "", true},
        {'d', ":insp.test 731 Carol_ :Carol", 61100, "", "", true},  // one NICK until its answer
        {'n', "Carol", 61200, "MONITOR - Carol", "Took back your nickname Carol.", true}},
       &r);
}

// The ghost's ping timeout seen in a shared channel takes the name at once; a refusal (someone
// was quicker) is not shown, and the next round asks again; a server with a full monitor list
// is asked with ISON.
TEST(NickRegain, TheHoldersLeavingTakesItAtOnceAndARefusalWaitsForTheNextRound) {
  NickRegain r{};
  Play({{'r', ":ngircd.test 433 * carol :Nickname already in use", 0, "", "", false},
        {'r', ":ngircd.test 001 carol_ :Welcome", 10, "", "", false},
        {'d', ":ngircd.test 005 carol_ MONITOR= :are supported on this server", 15, "", "", false},
        {'d', ":ngircd.test 376 carol_ :End of MOTD command", 20, "MONITOR + carol", "", false},
        {'d', ":ngircd.test 734 carol_ 100 carol :Monitor list is full.", 25, "ISON carol", "", true},
        {'d', ":ngircd.test 303 carol_ :carol", 30, "", "", true},
        {'d', ":alice!~a@10.200.1.4 QUIT :bye", 40, "", "", false},
        {'d', ":carol!~user@10.200.1.3 QUIT :Ping timeout: 20 seconds", 50, "NICK carol", "", false},
        {'d', ":ngircd.test 433 carol_ carol :Nickname already in use", 60, "", "", true},
        {'d', ":ngircd.test 433 carol_ carol :Nickname already in use", 70, "", "", false},  // not ours
        {'t', "", 30025, "ISON carol", "", false},
        {'d', ":ngircd.test 303 carol_ :", 30100, "NICK carol", "", true}},
       &r);
}

// A reconnect registers with the name the last connection ended with: the fallback's fallback
// still wants "carol". A name the user chose (a new one at Connect, "/nick") ends the asking.
TEST(NickRegain, TheWantedNameOutlivesAReconnectUntilTheUserChoosesAnother) {
  NickRegain r{};
  Play({{'r', ":ngircd.test 433 * carol :Nickname already in use", 0, "", "", false},
        {'r', ":ngircd.test 001 carol_ :Welcome", 10, "", "", false},
        {'c', "", 20, "", "", false},
        {'r', ":ngircd.test 433 * carol_ :Nickname already in use", 30, "", "", false},
        {'r', ":ngircd.test 001 carol__ :Welcome", 40, "", "", false},
        {'t', "", 30039, "", "", false},
        {'t', "", 30040, "ISON carol", "", false},  // no end of the MOTD came: asked all the same
        {'n', "zed", 30100, "", "", false},
        {'d', ":ngircd.test 303 zed :", 30200, "", "", true},
        {'t', "", 90000, "", "", false},
        {'c', "", 100000, "", "", false},
        {'r', ":ngircd.test 433 * zed :Nickname already in use", 100005, "", "", false},  // then "/nick dave"
        {'r', ":ngircd.test 001 dave :Welcome", 100010, "", "", false},
        {'r', ":ngircd.test 376 dave :End of MOTD command", 100020, "", "", false},
        {'t', "", 200000, "", "", false}},
       &r);
  EXPECT_STREQ("dave", r.wanted);
  EXPECT_FALSE(RegainActive(r));
}

}  // namespace
