// qivra-peer: a headless QIVRA client for tests and benchmarks, driven from stdin, reporting on stdout.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "console/console_log.h"
#include "console/settings.h"
#include "core/irc_case.h"
#include "irc/chat_commands.h"
#include "irc/irc_client.h"
#include "irc/receive_thread.h"
#include "irc/room_publish.h"
#include "irc/session.h"
#include "irc/words/chat_lines.h"
#include "platform/net.h"
#include "platform/ticks.h"
#include "tools/peer/peer_walk.h"

#ifndef QIVRA_VERSION
#define QIVRA_VERSION "unknown"
#endif

static const char kUsage[] =
    "usage: qivra-peer --server HOST --port N --nick NICK --channel #CHANNEL\n"
    "                  [--bind ADDRESS] [--packets N] [--user NAME] [--realname TEXT]\n"
    "                  [--pace MS] [--router on|off] [--ipv6 on|off] [--presence on|off]\n"
    "                  [--look N]\n"
    "       qivra-peer --help | --version\n"
    "\n"
    "Connects like the QIVRA client, registers, joins the channel and takes part in the\n"
    "presence exchange. --bind fixes the local address of the TCP connection and of the\n"
    "UDP socket (port 6669 on it), so several peers can share one machine. --packets is the\n"
    "most position datagrams a second while walking (default 10). --pace: after a burst of\n"
    "5 lines, one IRC line every MS milliseconds (default 2000, as the client; 0: unpaced).\n"
    "--router off: the home router is not asked to forward UDP 6669 (as \"ROUTER off\" in\n"
    "config.txt). --ipv6 off: IPv4 alone (connect, lookups, the UDP socket), as a client\n"
    "from before IPv6 (default on: IPv6 and IPv4).\n"
    "--presence off: chat only, as \"PRESENCE off\" in config.txt: no UDP socket, no\n"
    "announcement, no details or address handshake and no member look-ups. --look N: the look\n"
    "others see it in, as IMAGE in config.txt names it for the client: 1 red, 2 blue, 3 green,\n"
    "4 yellow, 5 purple, 6 orange, 7 white, 8 black (core/looks.h); 0, the default: none told,\n"
    "so the others draw the figure before looks.\n"
    "\n"
    "Standard output, one line per event, flushed at once:\n"
    "  Connected.                          registration done (then it joins)\n"
    "  <nick> text | * nick text | <nick> [Private] text | nick has joined the channel |\n"
    "  nick has left the channel | nick has quit irc | old is now known as new |\n"
    "  kicked was kicked by kicker         chat and channel events, as the client shows them\n"
    "  any other text                      server text, notices, topics, names, as the client shows them\n"
    "  presence active NICK                the UDP handshake with NICK is done\n"
  "  presence relayed NICK               NICK's moves began to come through the IRC server\n"
  "                                      (no direct link); keys and positions follow as below\n"
  "  presence look NICK N                NICK's look as told so far (hello or details), with\n"
  "                                      presence active\n"
  "  presence sealed NICK                NICK's first sealed datagram opened: its plain ones are\n"
  "                                      refused from now on\n"
  "  presence typing NICK on|off         NICK's typing mark\n"
    "  presence position NICK x=X z=Z yaw=Y heading=H pitch=P\n"
    "  presence key NICK INDEX held|released\n"
    "  presence keys NICK F0 F1 ... F9     a key-block datagram (also the keep-alive)\n"
    "  walk started                        a scripted walk's first key is down (datagram sent)\n"
    "  walk done                           a scripted walk has ended\n"
  "  own position x=X z=Z yaw=Y heading=H pitch=P   the answer to /where\n"
    "  members #CHANNEL COUNT              the answer to /members, then COUNT lines:\n"
    "  member NICK here x=X z=Z serial=S reach=R look=N typing=T\n"
    "  member NICK elsewhere ROOM x=X z=Z serial=S reach=R look=N typing=T\n"
    "                                      as the room shows it: standing here, or where it last\n"
    "                                      stood here while it stands in ROOM (\"-\": not ours);\n"
    "                                      S grows with each pose it reports; R is direct,\n"
    "                                      relayed or none; N the look it told (0: none);\n"
    "                                      T 1 while its typing mark shows\n"
    "  error: TEXT                         a stdin command was not understood\n"
    "Server lines shown during registration, and the lines about direct links and the\n"
    "router, go to standard error as \"[console] line\".\n"
    "\n"
    "Standard input, one command per line:\n"
    "  TEXT                 say TEXT to the channel it stands in\n"
    "  /me TEXT             an action\n"
    "  /msg NICK TEXT       a private message\n"
    "  /nick NAME           change the nickname\n"
    "  /join #CHANNEL       join another channel too, and stand in its room\n"
    "  /room #CHANNEL       stand in the room of a channel it is in, where it last stood there\n"
    "  /part [#CHANNEL]     leave the channel (the one it stands in when none is named)\n"
    "  /members             print the members of the room it stands in\n"
    "  /walk KEY SECONDS [KEY SECONDS ...]\n"
    "                       hold each key in turn (forward back left right strafeleft\n"
    "                       straferight lookup lookdown): key datagrams on press and release,\n"
    "                       positions at the packet rate meanwhile, \"walk done\" at the end\n"
    "  /pos X Z YAW HEADING PITCH   stand there and send one position datagram\n"
    "  /wait MS             take the next command only after MS milliseconds\n"
  "  /where               print this peer's own pose\n"
  "  /typing on|off       start or stop typing (the others' typing mark)\n"
    "  /quit [REASON]       leave IRC and exit\n"
    "End of input leaves the peer running; SIGTERM or SIGINT quits like /quit.\n";

namespace {

struct Options {
  std::string server, nick, channel, bind, user = "qivra", realName = "QIVRA Peer";
  int port = 0;
  float packets = 10;
  int pace = kDefaultLineIntervalMs;
  bool router = true;
  bool ipv6 = true;
  bool presence = true;
  int look = 0;
};

std::atomic<int> StopSignal{0};
std::mutex InputMutex;
std::deque<std::string> InputLines;

// Each line goes out in one call: the link thread prints too, and a line made of several calls
// could take another's words into its middle.
void Say(const char* format, const char* a = "", const char* b = "") {
  char line[1024];
  std::snprintf(line, sizeof line, format, a, b);
  std::printf("%s\n", line);
  std::fflush(stdout);
}

void OnSignal(int) { StopSignal.store(1); }

void ReadInput() {
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::lock_guard<std::mutex> hold(InputMutex);
    InputLines.push_back(line);
  }
}

bool TakeInput(std::string* line) {
  std::lock_guard<std::mutex> hold(InputMutex);
  if (InputLines.empty()) return false;
  *line = InputLines.front();
  InputLines.pop_front();
  return true;
}

// Runs on the link thread, which owns the peer table, as each datagram is applied.
void OnPeerChange(char kind, int index, int key) {
  const PeerSlot& slot = Irc.peerTable.slots[index];
  if (kind == 'a') {
    std::printf("presence active %s\n", slot.nick);
    if (slot.look) std::printf("presence look %s %d\n", slot.nick, slot.look);
  } else if (kind == 's') {
    std::printf("presence sealed %s\n", slot.nick);
  } else if (kind == 't') {
    std::printf("presence typing %s %s\n", slot.nick, slot.typing ? "on" : "off");
  } else if (kind == 'r') {
    std::printf("presence relayed %s\n", slot.nick);
  } else if (kind == 'd') {
    std::printf("presence position %s x=%.3f z=%.3f yaw=%.3f heading=%.3f pitch=%.3f\n", slot.nick,
                slot.reportedPose[0], slot.reportedPose[1], slot.reportedPose[2],
                slot.reportedPose[3], slot.reportedPose[4]);
  } else if (kind == 'i') {
    std::printf("presence key %s %d %s\n", slot.nick, key, slot.keys[key] ? "held" : "released");
  } else if (kind == 'k') {
    char flags[2 * kKeyFlagCount + 1];
    for (int k = 0; k < kKeyFlagCount; ++k) std::snprintf(flags + 2 * k, 3, " %d", slot.keys[k] ? 1 : 0);
    std::printf("presence keys %s%s\n", slot.nick, flags);
  }
  std::fflush(stdout);
}

void ShowEvent(const IrcEvent& e) {
  const int code = e.kind;
  const char* nick = e.nick;
  const char* message = e.text;
  switch (code) {
    case EventChannelMessage: Say("<%s> %s", nick, message); break;
    case EventAction: Say("* %s %s", nick, message); break;
    case EventPrivateMessage: Say("<%s> [Private] %s", nick, message); break;
    case EventJoin: Say("%s has joined the channel", nick); break;
    case EventPart: Say("%s has left the channel", nick); break;
    case EventQuit: Say("%s has quit irc", nick); break;
    case EventNickChange: Say("%s is now known as %s", nick, message); break;
    case EventKick: Say("%s was kicked by %s", message, nick); break;
    case EventText: Say("%s", message); break;
    default: {
      static char line[kEventLineSize];  // the other kinds as the client words them
      if (FormatEventLine(e, line, sizeof line)) Say("%s", line);
      break;
    }
  }
}

// Waits for the link thread's connect (it ends within the connect's limit): true when it linked.
bool Connected() {
  static IrcEvent event;
  while (!TakeIrcEvent(&event)) SleepMs(5);
  return event.kind == EventConnected && event.result == 1;
}

bool ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") return false;
    if (i + 1 >= argc) return false;
    std::string v = argv[++i];
    if (a == "--server") o->server = v;
    else if (a == "--port") o->port = std::atoi(v.c_str());
    else if (a == "--nick") o->nick = v;
    else if (a == "--channel") o->channel = v;
    else if (a == "--bind") o->bind = v;
    else if (a == "--packets") o->packets = static_cast<float>(std::atof(v.c_str()));
    else if (a == "--user") o->user = v;
    else if (a == "--realname") o->realName = v;
    else if (a == "--pace") o->pace = std::atoi(v.c_str());
    else if (a == "--router" && (v == "on" || v == "off")) o->router = v == "on";
    else if (a == "--ipv6" && (v == "on" || v == "off")) o->ipv6 = v == "on";
    else if (a == "--presence" && (v == "on" || v == "off")) o->presence = v == "on";
    else if (a == "--look" && std::atoi(v.c_str()) >= 0 && std::atoi(v.c_str()) <= 8) o->look = std::atoi(v.c_str());
    else return false;
  }
  return !o->server.empty() && o->port > 0 && !o->nick.empty() && !o->channel.empty();
}

struct Peer {
  Options options;
  bool inChannel = false;
  bool quit = false;
  std::string quitReason = "Quit";
  WalkBody body = {};
  WalkState walk;
  std::chrono::steady_clock::time_point waitUntil = std::chrono::steady_clock::now();
  // Its channels (options.channel: the one whose room it stands in), where it last stood in
  // each room it left for another, and a room come back to whose place is still to be taken.
  std::vector<std::string> joined;
  std::vector<std::pair<std::string, PlayerPose>> kept;
  std::string entering;
};

RoomView View;  // the room it stands in, as last copied when needed (60 KB: kept off the stack)

bool SameName(const std::string& a, const std::string& b) { return SameIrcName(a.c_str(), b.c_str()); }

bool Joined(const Peer& p, const std::string& channel) {
  for (const std::string& c : p.joined)
    if (SameName(c, channel)) return true;
  return false;
}

void ForgetPlace(Peer& p, const std::string& channel) {
  for (size_t i = p.kept.size(); i-- > 0;)
    if (SameName(p.kept[i].first, channel)) p.kept.erase(p.kept.begin() + static_cast<long>(i));
}

// As the program does: the place left is kept, and the room stood in before is stood in again
// where it was left, once the link thread stands there (so that the position names that room).
void EnterRoom(Peer& p, const std::string& channel) {
  if (!SameName(channel, p.options.channel)) {
    ForgetPlace(p, p.options.channel);
    p.kept.emplace_back(p.options.channel, p.body.pose);
    p.options.channel = channel;
    p.entering = channel;
  }
  SessionEnterRoom(channel.c_str());
}

// The walk's keys and pose to the session; a position goes when one is due.
void TellMoves(Peer& p) {
  SessionMove(p.body.keys, p.body.pose, p.body.positionDue);
  p.body.positionDue = false;
}

// Once the link thread stands in the room come back to, the peer stands where it left it.
void TakeKeptPlace(Peer& p) {
  if (p.entering.empty()) return;
  CopyRoomView(&View);
  if (!SameName(View.channel, p.entering)) return;
  for (const auto& k : p.kept) {
    if (!SameName(k.first, p.entering)) continue;
    p.body.pose = k.second;
    p.body.positionDue = true;
    TellMoves(p);
  }
  p.entering.clear();
}

// Its own join stands it in the channel's room; leaving the room it stands in, it stands in
// the channel joined last. A room left or joined again is arrived in afresh.
void NoteOwnChannel(Peer& p, const IrcEvent& e) {
  const std::string channel = e.channel;
  if (e.kind == EventJoined) {
    ForgetPlace(p, channel);
    if (!Joined(p, channel)) p.joined.push_back(channel);
    return EnterRoom(p, channel);
  }
  for (size_t i = p.joined.size(); i-- > 0;)
    if (SameName(p.joined[i], channel)) p.joined.erase(p.joined.begin() + static_cast<long>(i));
  if (SameName(channel, p.options.channel) && !p.joined.empty()) EnterRoom(p, p.joined.back());
  ForgetPlace(p, channel);
}

// The answer to /members: the room it stands in as the link thread last published it.
void ShowMembers() {
  static const char* const kReach[] = {"none", "direct", "relayed"};
  CopyRoomView(&View);
  std::printf("members %s %d\n", View.channel[0] ? View.channel : "-", View.count);
  for (int i = 0; i < View.count; ++i) {
    const RoomMember& m = View.members[i];
    const char* room = m.elsewhereIn[0] ? m.elsewhereIn : "-";
    std::printf("member %s %s%s%s x=%.3f z=%.3f serial=%u reach=%s look=%d typing=%d\n", m.nick,
                m.elsewhere ? "elsewhere" : "here", m.elsewhere ? " " : "", m.elsewhere ? room : "", m.pose.x,
                m.pose.z, m.poseSerial, kReach[m.reach <= 2 ? m.reach : 0], m.look, m.typing ? 1 : 0);
  }
  std::fflush(stdout);
}

void RunCommand(Peer& p, const std::string& line) {
  if (line.empty()) return;
  const char* channel = p.options.channel.c_str();
  if (line[0] != '/') {
    SayTo(channel, line.c_str());
    return;
  }
  std::string word = line.substr(0, line.find(' '));
  std::string rest = line.size() > word.size() ? line.substr(word.size() + 1) : "";
  if (word == "/me") {
    SayTo(channel, ("\x01" "ACTION " + rest + "\x01").c_str());
  } else if (word == "/msg") {
    size_t space = rest.find(' ');
    if (space == std::string::npos) return Say("error: /msg NICK TEXT");
    SayTo(rest.substr(0, space).c_str(), rest.substr(space + 1).c_str());
  } else if (word == "/nick" && !rest.empty()) {
    SessionChangeNick(rest.c_str());
  } else if (word == "/join" && !rest.empty()) {
    JoinChannel(rest.c_str());  // its room is stood in once the server says it is in
  } else if (word == "/room") {
    if (!Joined(p, rest)) return Say("error: /room: not in %s", rest.c_str());
    EnterRoom(p, rest);
  } else if (word == "/part") {
    PartChannel(rest.empty() ? channel : rest.c_str(), "");
  } else if (word == "/members") {
    ShowMembers();
  } else if (word == "/walk") {
    std::vector<WalkStep> steps;
    std::string error;
    if (!ParseWalk(rest, &steps, &error)) return Say("error: /walk: %s", error.c_str());
    StartWalk(&p.walk, steps, &p.body);
    // The first key goes down now, so that "walk started" marks when the others learn of it.
    bool done = AdvanceWalk(&p.walk, 0, p.options.packets, &p.body);
    TellMoves(p);
    Say("walk started");
    if (done) Say("walk done");
  } else if (word == "/pos") {
    float v[5];
    if (std::sscanf(rest.c_str(), "%f %f %f %f %f", &v[0], &v[1], &v[2], &v[3], &v[4]) != 5)
      return Say("error: /pos X Z YAW HEADING PITCH");
    PlayerPose& pose = p.body.pose;
    pose.x = v[0], pose.z = v[1], pose.yaw = v[2], pose.heading = v[3], pose.pitch = v[4];
    p.body.positionDue = true;
    TellMoves(p);
  } else if (word == "/where") {
    const PlayerPose& pose = p.body.pose;
    std::printf("own position x=%.3f z=%.3f yaw=%.3f heading=%.3f pitch=%.3f\n", pose.x, pose.z, pose.yaw,
                pose.heading, pose.pitch);
    std::fflush(stdout);
  } else if (word == "/typing" && (rest == "on" || rest == "off")) {
    SessionTyping(rest == "on");
  } else if (word == "/wait") {
    p.waitUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::atoi(rest.c_str()));
  } else if (word == "/quit") {
    p.quit = true;
    if (!rest.empty()) p.quitReason = rest;
  } else {
    Say("error: unknown command %s", word.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Asked for on their own, help and the version go to standard output and succeed.
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc == 2 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-V") == 0)) {
    std::printf("qivra-peer %s\n", QIVRA_VERSION);
    return 0;
  }
  Peer p;
  if (!ParseOptions(argc, argv, &p.options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  uint32_t bound = 0;
  if (!p.options.bind.empty() && !NetParseDotted(p.options.bind.c_str(), &bound)) {
    std::fprintf(stderr, "qivra-peer: --bind needs a dotted IPv4 address\n");
    return 2;
  }
  setenv("QIVRA_CONSOLE_STDERR", "1", 1);  // registration lines, as the console would show them
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGINT, OnSignal);
  PeerChangeHook = OnPeerChange;
  SessionConfig config = {};
  std::snprintf(config.server, sizeof config.server, "%s", p.options.server.c_str());
  config.port = p.options.port;
  config.presence = p.options.presence;
  config.askRouter = p.options.router;
  config.lineIntervalMs = p.options.pace > 0 ? p.options.pace : 0;
  config.lineBurst = kDefaultLineBurst;
  std::snprintf(config.bindAddress, sizeof config.bindAddress, "%s", p.options.bind.c_str());
  config.ipv4Only = !p.options.ipv6;
  config.look = static_cast<uint8_t>(p.options.look);
  if (StartSession(config) != 1 || !Connected()) {
    std::fprintf(stderr, "qivra-peer: cannot connect to %s:%d\n", p.options.server.c_str(), p.options.port);
    EndSession(nullptr);
    return 1;
  }
  SessionRegister(p.options.nick.c_str(), p.options.user.c_str(), p.options.server.c_str(), p.options.realName.c_str());
  std::thread(ReadInput).detach();

  static IrcEvent event;
  auto last = std::chrono::steady_clock::now();
  while (!p.quit && !StopSignal.load()) {
    auto now = std::chrono::steady_clock::now();
    double dt = std::chrono::duration<double>(now - last).count();
    last = now;
    while (TakeIrcEvent(&event)) {
      if (event.kind == EventRegistered && !p.inChannel) {
        if (event.text[0]) ConsoleAppend(event.text);
        Say("Connected.");
        JoinChannel(p.options.channel.c_str());
        p.inChannel = true;
      } else if (event.kind == EventJoined) {
        NoteOwnChannel(p, event);  // positions name the room it stands in
      } else if (event.kind == EventLeft) {
        NoteOwnChannel(p, event);
        ShowEvent(event);
      } else if ((!p.inChannel && event.kind == EventText) || event.kind == EventPresenceText) {
        // Registration lines and those about the presence links, on standard error as the
        // console shows them.
        ConsoleAppend(event.text);
      } else if (event.kind == EventLinkEnded) {
        Say("Connection lost.");
      } else {
        ShowEvent(event);
      }
    }
    if (p.inChannel) {
      bool done = AdvanceWalk(&p.walk, dt, p.options.packets, &p.body);
      TellMoves(p);  // the keys that changed go at once; the pose for moves relayed through the server
      if (done) Say("walk done");
    }
    TakeKeptPlace(p);
    std::string line;
    while (now >= p.waitUntil && !p.quit && TakeInput(&line)) RunCommand(p, line);
    SleepMs(2);
  }
  EndSession(p.quitReason.c_str());
  SettleSession();  // the router's mapping is removed before the peer ends
  Say("Disconnected.");
  return 0;
}
