// The console's words for events, table by table: real server lines from ngircd and InspIRCd,
// chat and membership events, and the connection's state lines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "irc/irc_message.h"
#include "irc/irc_event.h"
#include "irc/words/chat_lines.h"
#include "irc/words/connection_lines.h"
#include "irc/words/server_lines.h"

namespace {

std::string Registration(const char* line) {
  static IrcMessage m;
  ParseIrcMessage(line, &m);
  char out[kIrcLineLength];
  FormatRegistrationText(m, out, sizeof out);
  return out;
}

TEST(ServerText, RepliesLoseTheirPrefixNumericAndTarget) {
  const struct {
    const char* line;
    const char* shown;
  } cases[] = {
      {":hub.ux 372 visitor :- ux hub\r\n", "-server- - ux hub"},
      {":ngircd.test 001 bob :Welcome to the Internet Relay Network bob!~u@10.0.0.2",
       "-server- Welcome to the Internet Relay Network bob!~u@10.0.0.2"},
      {":insp.test 005 bob AWAYLEN=200 CASEMAPPING=rfc1459 :are supported by this server", ""},
      {":srv 252 bob 1 :operator(s) online", "-server- Operators online: 1"},
      {":srv 004 * srv.test ngircd-26.1 abc defg", "-server- srv.test runs ngircd-26.1"},
      {"NOTICE AUTH :*** Looking up your hostname...", "-server- *** Looking up your hostname..."},
      {":insp.test NOTICE * :*** Raw I/O logging is enabled", "-server- *** Raw I/O logging is enabled"},
      {"ERROR :Closing connection", "-server- Closing connection"},
      {":bob MODE bob :+i", "bob sets mode +i"},
      {":NickServ!s@services.test NOTICE bob :This nickname is registered", "-NickServ- This nickname is registered"},
      {":srv 311 me bob ~b 10.0.0.3 * :Bob B", "-server- bob is ~b@10.0.0.3 (Bob B)"},
      {":srv 319 me bob :@#qivra #other", "-server- bob is in @#qivra #other"},
      {":srv 999 me", "-server- "},
  };
  for (const auto& c : cases) EXPECT_EQ(c.shown, Registration(c.line)) << c.line;
}

TEST(ServerText, ErrorRepliesSayWhatFailedAndWhatToDo) {
  const struct {
    const char* line;
    const char* shown;
  } cases[] = {
      {":qivra.local 433 * friend :Nickname already in use",
       "The nickname \"friend\" is already in use: choose another with /nick name."},
      {":srv 432 * b@d :Erroneous nickname",
       "The server refused the nickname \"b@d\" (Erroneous nickname): choose another with /nick name."},
      {":srv 461 me JOIN :Syntax error", "The server says JOIN needs more parameters: check the command."},
      {":srv 471 me #full :Cannot join channel (+l)",
       "Cannot join #full: the channel is full. Try again later, or /join another channel."},
      {":srv 473 me #club :Cannot join channel (+i)",
       "Cannot join #club: it is invite-only. Ask one of its members to invite you, or /join another channel."},
      {":srv 474 me #no :Cannot join channel (+b)", "Cannot join #no: you are banned from it. /join another channel."},
      {":srv 475 me #key :Cannot join channel (+k)",
       "Cannot join #key: it needs a channel key, which QIVRA cannot send. /join another channel."},
      {":srv 464 * :Password incorrect", "The server refused the password: check the PASS line in config.txt."},
      {":srv 482 me #qivra :You're not channel operator",
       "You are not a channel operator in #qivra, so the server refused (You're not channel operator)."},
      {":srv 404 me #quiet :Cannot send to channel", "Your message to #quiet was not delivered (Cannot send to channel)."},
  };
  for (const auto& c : cases) EXPECT_EQ(c.shown, Registration(c.line)) << c.line;
}

// Modes, invitations, away and the channel list in words, whether registering or later.
TEST(ServerText, ModesInvitationsAwayAndChannelListsInWords) {
  const struct {
    const char* line;
    const char* shown;
  } cases[] = {
      {":bob!b@10.0.0.3 MODE #room +o alice", "bob sets mode +o alice"},
      {":bob!b@10.0.0.3 MODE #room +m", "bob sets mode +m on #room"},
      {":bob!b@10.0.0.3 MODE #room -o+v alice carol", "bob sets mode -o+v alice carol"},
      {":ann MODE ann :+i", "ann sets mode +i"},
      {":oper!o@h MODE ann :-w", "oper sets mode -w on ann"},
      {":bob!b@h INVITE ann :#club", "bob invites you to #club (/join #club)"},
      {":insp.test 301 ann alice :gone fishing", "alice is away: gone fishing"},
      {":ngircd.test 305 ann :You are no longer marked as being away", "You are no longer marked as away"},
      {":ngircd.test 306 ann :You have been marked as being away", "You are marked as away"},
      {":insp.test 321 ann Channel :Users Name", "Channels (members): topic"},
      {":ngircd.test 322 ann #room 5 :the topic here", "#room (5): the topic here"},
      {":insp.test 322 ann #quiet 1 :[+nt] ", "#quiet (1): [+nt] "},
      {":ngircd.test 323 ann :End of LIST", "End of the channel list"},
      {":ngircd.test 324 ann #room +ntl 10", "#room has mode +ntl 10"},
      {":ngircd.test 341 ann bob #club", "You invited bob to #club"},
      {":old.server 341 ann #club bob", "You invited bob to #club"},
      // Too short to say anything: read as plain server text.
      {":bob!b@h MODE #room", "-server- MODE #room"},
      {":srv 301 ann", "-server- "},
  };
  for (const auto& c : cases) EXPECT_EQ(c.shown, Registration(c.line)) << c.line;
}

// The replies ngircd 26.1, InspIRCd 3.15, ircd-hybrid 8.2 and ircd-irc2 2.11 sent at connect
// and for WHOIS, LIST, MODE and NAMES, as recorded from each: one line per server where they
// differ. Moments read in UTC here.
TEST(ServerText, ConnectAndLookupRepliesOfFourServersInWords) {
  setenv("TZ", "UTC", 1);
  tzset();
  const struct {
    const char* line;
    const char* shown;
  } cases[] = {
      {":ngircd.test 004 alice ngircd.test ngircd-26.1 abBcCFiIoqrRswx abehiIklmMnoOPqQrRstvVz",
       "-server- ngircd.test runs ngircd-26.1"},
      {":insp.test 004 alice insp.test InspIRCd-3 iosw biklmnopstv :bklov", "-server- insp.test runs InspIRCd-3"},
      {":ngircd.test 005 alice CHANNELLEN=50 NICKLEN=31 TOPICLEN=490 AWAYLEN=127 KICKLEN=400 MODES=5 "
       "MAXLIST=beI:50 EXCEPTS=e INVEX=I PENALTY FNC :are supported on this server",
       "-server- On this server: channel names up to 50 characters, nicknames up to 31, topics up to 490"},
      {":insp.test 005 alice MAXTARGETS=20 MODES=20 NAMELEN=128 NETWORK=Test NICKLEN=30 PREFIX=(ov)@+ SAFELIST "
       "STATUSMSG=@+ TOPICLEN=307 USERLEN=10 USERMODES=,,s,iow WHOX :are supported by this server",
       "-server- Network Test: nicknames up to 30 characters, topics up to 307"},
      {":irc2.test 005 alice PENALTY FNC EXCEPTS=e INVEX=I CASEMAPPING=ascii NETWORK=Test :are supported by this server",
       "-server- Network Test"},
      {":ngircd.test 005 alice RFC2812 IRCD=ngIRCd CHARSET=UTF-8 CASEMAPPING=ascii PREFIX=(qaohv)~&@%+ "
       "CHANTYPES=#&+ CHANMODES=beI,k,l,imMnOPQRstVz CHANLIMIT=#&+:10 :are supported on this server", ""},
      {":irc2.test 042 alice 000AAAAAA :your unique ID", "-server- Your unique ID is 000AAAAAA"},
      {":ngircd.test 351 alice ngIRCd-26.1. ngircd.test :IDENT+IPv6+IRCPLUS+PAM+SSL+SYSLOG+ZLIB-x86_64/pc/linux-gnu",
       "-server- ngircd.test runs ngIRCd-26.1."},
      {":insp.test 406 alice nosuch :There was no such nickname", "There was no user named nosuch lately."},
      {":hybrid.test 253 alice 1 :unknown connection(s)", "-server- Unknown connections: 1"},
      {":ngircd.test 254 alice 1 :channels formed", "-server- Channels: 1"},
      {":ngircd.test 265 alice 4 4 :Current local users: 4, Max: 4", "-server- Local users: 4 (most 4)"},
      {":insp.test 265 alice :Current local users: 2  Max: 3", "-server- Local users: 2 (most 3)"},
      {":irc2.test 266 alice 2 5 :Current global users 2, max 5", "-server- Global users: 2 (most 5)"},
      {":hybrid.test 266 alice :Current global users: 1  Max: 1", "-server- Global users: 1 (most 1)"},
      {":insp.test 221 alice :+", "You have no user modes"},
      {":hybrid.test 221 alice +i", "Your user modes: +i"},
      {":hybrid.test 375 alice :- hybrid.test Message of the Day - ", "-server- - hybrid.test Message of the Day -"},
      // WHOIS
      {":ngircd.test 311 alice bob ~bob 10.200.11.3 * :Bob Example", "-server- bob is ~bob@10.200.11.3 (Bob Example)"},
      {":insp.test 312 alice bob insp.test :test", "-server- bob is on insp.test (test)"},
      {":irc2.test 319 alice bob :#room ", "-server- bob is in #room"},
      {":ngircd.test 317 alice bob 6 1796705946 :seconds idle, signon time",
       "-server- bob has been idle for 6 seconds, online since 2026-12-08 04:59"},
      {":srv 317 alice bob 7384 :seconds idle", "-server- bob has been idle for 2 hours 3 minutes"},
      {":hybrid.test 338 alice alice ~alice@10.200.68.2 10.200.68.2 :Actual user@host, actual IP",
       "-server- alice's actual address is ~alice@10.200.68.2 (10.200.68.2)"},
      {":insp.test 378 alice alice :is connecting from alice@10.200.211.2 10.200.211.2",
       "-server- alice is connecting from alice@10.200.211.2 10.200.211.2"},
      {":hybrid.test 301 alice bob :bob is away", "bob is away: bob is away"},
      // LIST
      {":hybrid.test 321 alice Channel :Users  Name", "Channels (members): topic"},
      {":insp.test 322 alice #room 2 :[+nt] a topic for the room", "#room (2): [+nt] a topic for the room"},
      {":irc2.test 323 alice :End of LIST", "End of the channel list"},
      // MODE
      {":ngircd.test 324 alice #room +ntlk 10 secret", "#room has mode +ntlk 10 secret"},
      {":insp.test 324 alice #room +klnt secret :10", "#room has mode +klnt secret 10"},
      {":irc2.test 324 alice #room + ", "#room has no modes"},
      {":ngircd.test 329 alice #room 1796705947", "#room was created on 2026-12-08 04:59"},
      {":insp.test 329 alice #room :1796705999", "#room was created on 2026-12-08 04:59"},
      {":hybrid.test 367 alice #room *!*@bad.example alice!~alice@10.200.68.2 1796706104",
       "#room bans *!*@bad.example (set by alice on 2026-12-08 05:01)"},
      {":ngircd.test 368 alice #room :End of channel ban list", "End of the ban list of #room"},
      {":hybrid.test MODE #room +nt", "hybrid.test sets mode +nt on #room"},
      {":alice!alice@10.200.211.2 MODE #room +lk 10 :secret", "alice sets mode +lk 10 secret"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.shown, Registration(c.line)) << c.line;
  unsetenv("TZ");
  tzset();
}

TEST(ServerText, SplittingKeepsTrailingBlanksAndBoundsEveryPiece) {
  static IrcMessage m;
  ParseIrcMessage(":a!b@c PRIVMSG  #x   :two  blanks \r\n", &m);
  EXPECT_TRUE(m.fromUser);
  EXPECT_STREQ("a", m.source);
  EXPECT_STREQ("PRIVMSG", m.command);
  ASSERT_EQ(2, m.count);
  EXPECT_STREQ("#x", Param(m, 0));
  EXPECT_STREQ("two  blanks ", Param(m, 1));
  EXPECT_STREQ("", Param(m, 2));
  std::string many = "CMD";
  for (int i = 0; i < 20; ++i) many += " p" + std::to_string(i);
  ParseIrcMessage(many.c_str(), &m);
  EXPECT_EQ(kIrcMaxParams, m.count);
  EXPECT_STREQ("p14 p15 p16 p17 p18 p19", Param(m, kIrcMaxParams - 1)) << "the rest stays in the last";
  std::string huge = "NOTICE AUTH :" + std::string(3000, 'x');
  ParseIrcMessage(huge.c_str(), &m);
  char out[64];
  FormatServerText(m, out, sizeof out);
  EXPECT_EQ(63u, std::string(out).size());
}

// The line of an event of that kind: nick did it, text says what; in channel, with result.
std::string Event(int kind, const char* nick, const char* text, const char* channel = "#room", int result = 0) {
  static IrcEvent e;
  e = IrcEvent{};
  e.kind = kind;
  e.result = result;
  std::snprintf(e.channel, sizeof e.channel, "%s", channel);
  std::snprintf(e.nick, sizeof e.nick, "%s", nick);
  std::snprintf(e.text, sizeof e.text, "%s", text);
  static char t[kEventLineSize];
  if (!FormatEventLine(e, t, sizeof t)) return "(none)";
  return t;
}

TEST(EventLines, EachCodeHasItsLine) {
  EXPECT_EQ("(none)", Event(0, "alice", "hi"));
  EXPECT_EQ("<alice> hi", Event(1, "alice", "hi"));
  EXPECT_EQ("* alice waves", Event(2, "alice", "waves"));
  EXPECT_EQ("<alice> [Private] psst", Event(3, "alice", "psst", "alice"));
  EXPECT_EQ("alice has joined the channel", Event(4, "alice", "ignored"));
  EXPECT_EQ("alice has left the channel", Event(5, "alice", ""));
  EXPECT_EQ("alice has quit irc", Event(6, "alice", ""));
  EXPECT_EQ("alice is now known as alicia", Event(9, "alice", "alicia"));
  EXPECT_EQ("alice sets mode +o bob", Event(11, "alice", "#room +o bob"));
  EXPECT_EQ("alice sets mode +mn on #room", Event(11, "alice", "#room +mn"));
  EXPECT_EQ("(none)", Event(11, "alice", "+o"));
  EXPECT_EQ("-bob- a notice", Event(20, "", "-bob- a notice"));
}

TEST(EventLines, TheUsersOwnChannelsSayHowToGoBack) {
  EXPECT_EQ("You have joined #club", Event(EventJoined, "me", "", "#club"));
  EXPECT_EQ("You have left #club (later): /join #club to go back", Event(EventLeft, "me", "later", "#club"));
  EXPECT_EQ("You were kicked from #club by op: /join #club to go back", Event(EventLeft, "op", "", "#club", 1));
  EXPECT_EQ("Cannot join #club: it is invite-only. (/join #club to try again)",
            Event(EventJoinRefused, "", "Cannot join #club: it is invite-only.", "#club"));
  EXPECT_EQ("In #club: a, b (2)", Event(EventMemberList, "", "a, b", "#club", 2));
  EXPECT_EQ("In #club: a, b", Event(EventMemberList, "", "a, b", "#club", 0)) << "a part of a long list";
  EXPECT_EQ("-bob:#club- to all", Event(EventNotice, "bob", "to all", "#club"));
  EXPECT_EQ("-bob- to you", Event(EventNotice, "bob", "to you", ""));
}

TEST(EventLines, PartAndQuitReasonsFollowInParentheses) {
  EXPECT_EQ("alice has left the channel (lunch)", Event(5, "alice", "lunch"));
  EXPECT_EQ("alice has quit irc (Quit: bye)", Event(6, "alice", "Quit: bye"));
}

TEST(EventLines, KickNamesTheKickedUserFirst) {
  EXPECT_EQ("bob was kicked by alice", Event(10, "alice", "bob"));
}

TEST(EventLines, TwoLongestStringsFitWhole) {
  std::string rn(2047, 'n'), rm(2047, 'm');
  std::string line = Event(3, rn.c_str(), rm.c_str());
  EXPECT_EQ("<" + rn + "> [Private] " + rm, line);
}

TEST(EventLines, ASmallBufferIsNeverOverrun) {
  char t[8];
  std::memset(t, 'x', sizeof t);
  static IrcEvent e;
  e = IrcEvent{};
  e.kind = EventChannelMessage;
  std::snprintf(e.nick, sizeof e.nick, "alice");
  std::snprintf(e.text, sizeof e.text, "a long line of chat");
  ASSERT_TRUE(FormatEventLine(e, t, 6));
  EXPECT_STREQ("<alic", t);
  EXPECT_EQ('x', t[6]);
}

TEST(EventLines, ConnectionLinesReadAsTheReadmeShowsThem) {
  char t[256];
  FormatConnectFailure("10.0.0.9", 6667, "connection refused", 8000, t, sizeof t);
  EXPECT_STREQ("Could not connect to 10.0.0.9:6667: connection refused. Next try in 8 s.", t);
  FormatConnectFailure("10.0.0.9", 6667, "no answer", 0, t, sizeof t);
  EXPECT_STREQ("Could not connect to 10.0.0.9:6667: no answer.", t);
  FormatReconnecting(2000, t, sizeof t);
  EXPECT_STREQ("Reconnecting in 2 s (Escape or /disconnect stops it).", t);
  FormatConnecting("2001:db8::1", 6667, t, sizeof t);  // a bare IPv6 literal gets its brackets
  EXPECT_STREQ("Connecting to [2001:db8::1]:6667...", t);
  FormatConnectFailure("[2001:db8::1]", 6697, "no answer", 0, t, sizeof t);
  EXPECT_STREQ("Could not connect to [2001:db8::1]:6697: no answer.", t);
  FormatCertificateRefused("10.0.0.9", 6697, "IP address mismatch", t, sizeof t);
  EXPECT_STREQ("The certificate of 10.0.0.9:6697 was refused: IP address mismatch.", t);
  const std::string longName(100, 's');
  FormatLinkLost(longName.c_str(), t, sizeof t);
  EXPECT_EQ("Connection to " + longName.substr(0, 63) + " lost.", std::string(t));
}

}  // namespace
