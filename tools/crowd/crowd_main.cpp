// qivra-crowd: one process playing many channel members for load tests. Each member registers
// from an address of its own, joins, takes part in the address handshake as the client does,
// and once bound to another client walks round the room, sending positions at a set rate.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "irc/irc_message.h"
#include "platform/net.h"
#include "presence/datagram_link.h"

static const char kUsage[] =
    "usage: qivra-crowd --server ADDRESS --port N --channel #CHANNEL --first-address ADDRESS\n"
    "                   --members N [--packets RATE] [--seconds S] [--bind-limit B] [--prefix P]\n"
    "                   [--radius R]\n"
    "\n"
    "Plays N members of the channel, named P001, P002, ... (P is \"m\" unless given), member k\n"
    "on the k-th address from --first-address on (the addresses must be the machine's), each\n"
    "with its own IRC connection and UDP port 6669. A member asks every client that joins later\n"
    "for its address (WHOIS, else a \":Q\" message), answers its hellos and \":Q\" messages, and\n"
    "once bound walks round the room sending RATE positions a second (default 10), on one of four\n"
    "circles round the middle, of radius 1 up to R units (1 to 5, default 4). S seconds\n"
    "(default 60) after every member is bound, or B seconds (default 1200) after all joined\n"
    "if some never are, every member quits.\n"
    "\n"
    "A position's heading is the sending time: the steady clock's milliseconds modulo 100000,\n"
    "so that whoever applies it can tell how late it came. x, z and yaw are the walk's own.\n"
    "\n"
    "Standard output, flushed at once:\n"
    "  joined N                 every member is in the channel\n"
    "  bound P001 NICK          a member finished the handshake with NICK\n"
    "  all bound                every member is bound to someone\n"
    "  sent P001 COUNT          at the end, the positions each member sent\n"
    "  done SENT                at the end, all positions sent\n"
    "  error: TEXT              something went wrong (the process then ends with status 1)\n";

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point t) { return std::chrono::duration<double>(t.time_since_epoch()).count(); }

struct Other {  // another client a member takes part in the handshake with
  std::string nick;
  uint32_t address = 0;  // network order; 0 until known
  uint16_t port = 0;     // its datagrams' source port; 0 until bound
};

struct Member {
  std::string nick;
  uint32_t address = 0;
  std::string dotted;
  int irc = kNoSocket;
  int udp = kNoSocket;
  std::string pending;  // received IRC bytes not yet a whole line
  bool joined = false;
  std::vector<Other> others;
  double nextSend = 0;
  double phase = 0;
  long sent = 0;
};

volatile std::sig_atomic_t stopSignal = 0;
void OnSignal(int) { stopSignal = 1; }

std::string crowdPrefix = "m";
// The largest of the four circles the members walk on (the smallest is 1).
float walkRadius = 4.0f;
double sendInterval = 0.1;  // seconds between a member's positions
int crowdSize = 0;

void Say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Say(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stdout, format, args);
  va_end(args);
  std::printf("\n");
  std::fflush(stdout);
}

// One of this process's own members: they leave each other alone.
bool IsCrowdNick(const std::string& nick) {
  if (nick.size() != crowdPrefix.size() + 3 || nick.compare(0, crowdPrefix.size(), crowdPrefix) != 0) return false;
  int number = std::atoi(nick.c_str() + crowdPrefix.size());
  return number >= 1 && number <= crowdSize;
}

void SendLine(Member& m, const std::string& line) {
  std::string text = line + "\r\n";
  NetSend(m.irc, text.data(), text.size());
}

void SendDatagram(Member& m, const std::string& bytes, uint32_t address, uint16_t port) {
  NetSendTo(m.udp, bytes.data(), bytes.size(), address, port);
}

void Hello(Member& m, Other& o) {
  SendDatagram(m, "c" + m.nick, o.address, NetPortToWire(kPresencePort));
}

Other* FindOther(Member& m, const std::string& nick) {
  for (Other& o : m.others)
    if (o.nick == nick) return &o;
  return nullptr;
}

// A host from WHOIS or a ":Q"/":A" message: a dotted address is used (nothing else could be
// looked up where this runs); anything else is not known.
void TakeHost(Member& m, Other& o, const std::string& host) {
  uint32_t address = 0;
  if (!NetParseDotted(host.c_str(), &address)) return;
  o.address = address;
  Hello(m, o);
}

void Meet(Member& m, const std::string& nick) {
  if (nick.empty() || nick == m.nick || IsCrowdNick(nick) || FindOther(m, nick)) return;
  m.others.push_back(Other{nick});
  SendLine(m, "WHOIS " + nick);
}

void HandleLine(Member& m, const char* line, const std::string& channel) {
  static IrcMessage p;
  ParseIrcMessage(line, &p);
  char reply[kIrcLineLength];
  if (BuildPingReply(p, reply, sizeof reply)) {
    NetSend(m.irc, reply, std::strlen(reply));
    return;
  }
  std::string command = p.command, sender = p.fromUser ? p.source : "";
  if (command == "001") {
    SendLine(m, "JOIN " + channel);
  } else if (command == "JOIN") {
    if (sender == m.nick) m.joined = true;
    else Meet(m, sender);
  } else if (command == "353") {  // someone who was there first
    const char* walk = Param(p, p.count - 1);
    char name[kIrcLineLength];
    for (;;) {
      walk = CopyWord(walk, " ", name, sizeof name);
      if (!name[0]) break;
      Meet(m, name + std::strspn(name, "@+%&~"));
    }
  } else if (command == "311") {
    const char* nick = Param(p, 1);
    const char* host = Param(p, 3);
    Other* o = FindOther(m, nick);
    if (!o) return;
    uint32_t address = 0;
    if (NetParseDotted(host, &address))
      TakeHost(m, *o, host);
    else
      SendLine(m, "PRIVMSG " + o->nick + " :\x01VERSION\x01:Q" + m.dotted);
  } else if (command == "PRIVMSG" && std::strncmp(Param(p, 1), "\x01VERSION\x01", 9) == 0) {
    Other* o = FindOther(m, sender);
    std::string text = Param(p, 1);
    if (!o || text.size() < 11) return;
    std::string host = text.substr(11);
    host = host.substr(0, host.find_first_of("\x01\r\n"));
    TakeHost(m, *o, host);
    if (text[10] == 'Q') SendLine(m, "PRIVMSG " + o->nick + " :\x01VERSION\x01:A" + m.dotted);
  } else if (command == "QUIT" || command == "PART") {
    for (std::size_t i = 0; i < m.others.size(); ++i)
      if (m.others[i].nick == sender) m.others.erase(m.others.begin() + static_cast<long>(i));
  }
}

bool ReadIrc(Member& m, const std::string& channel) {
  char buffer[4096];
  int n = NetReceive(m.irc, buffer, sizeof buffer);
  if (n <= 0) return false;
  m.pending.append(buffer, static_cast<std::size_t>(n));
  std::size_t end;
  while ((end = m.pending.find('\n')) != std::string::npos) {
    std::string line = m.pending.substr(0, end + 1);
    m.pending.erase(0, end + 1);
    HandleLine(m, line.c_str(), channel);
  }
  return true;
}

void ReadDatagrams(Member& m, double now) {
  char buffer[2048];
  for (;;) {
    uint32_t address = 0;
    uint16_t port = 0;
    int n = NetReceiveFrom(m.udp, buffer, sizeof buffer - 1, &address, &port);
    if (n <= 0) return;
    buffer[n] = '\0';
    if (buffer[0] != 'c' && buffer[0] != 'C') continue;
    Other* o = FindOther(m, buffer + 1);
    if (!o || o->address != address || (o->port == port && port != 0)) continue;
    bool first = o->port == 0;
    o->port = port;
    if (buffer[0] == 'c') SendDatagram(m, "C" + m.nick, address, port);
    if (!first) continue;
    Say("bound %s %s", m.nick.c_str(), o->nick.c_str());
    // Each member's positions at its own point of the interval, by its phase: members bound in
    // the same moment would otherwise all send in the same moment of every interval.
    if (m.nextSend == 0) m.nextSend = now + sendInterval * m.phase / 6.2831853;
  }
}

void PutFloat(std::string& out, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(bits >> (8 * i)));
}

// Round the middle of the room, each member on its own circle and phase.
void SendPosition(Member& m, double now, int index) {
  double angle = m.phase + now * 0.5;
  float radius = 1.0f + (walkRadius - 1.0f) * static_cast<float>(index % 4) / 3.0f;
  std::string d = "d";
  PutFloat(d, radius * static_cast<float>(std::cos(angle)));
  PutFloat(d, radius * static_cast<float>(std::sin(angle)));
  PutFloat(d, static_cast<float>(std::fmod(-angle * 57.29578, 360.0)));
  long long ms = static_cast<long long>(Seconds(Clock::now()) * 1000.0);
  PutFloat(d, static_cast<float>(ms % 100000));
  PutFloat(d, 0.0f);
  for (Other& o : m.others) {
    if (o.port == 0) continue;
    SendDatagram(m, d, o.address, o.port);
    ++m.sent;
  }
}

// A blocking connect within a few seconds: the server is on the same bridge.
bool Connected(int s, uint32_t address, uint16_t wirePort) {
  NetConnectOutcome outcome = NetConnectStart(s, address, wirePort);
  if (outcome == NetConnecting) outcome = NetConnectWait(s, 5000);
  return outcome == NetConnected;
}

struct Options {
  std::string server, channel, first, prefix = "m";
  int port = 0, members = 0;
  double packets = 10, seconds = 60, bindLimit = 1200, radius = 4;
};

bool ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i], v = argv[i + 1];
    if (a == "--server") o->server = v;
    else if (a == "--port") o->port = std::atoi(v.c_str());
    else if (a == "--channel") o->channel = v;
    else if (a == "--first-address") o->first = v;
    else if (a == "--members") o->members = std::atoi(v.c_str());
    else if (a == "--packets") o->packets = std::atof(v.c_str());
    else if (a == "--seconds") o->seconds = std::atof(v.c_str());
    else if (a == "--bind-limit") o->bindLimit = std::atof(v.c_str());
    else if (a == "--prefix") o->prefix = v;
    else if (a == "--radius") o->radius = std::atof(v.c_str());
    else return false;
  }
  return argc % 2 == 1 && !o->server.empty() && o->port > 0 && !o->channel.empty() && !o->first.empty() &&
         o->members > 0 && o->members <= 999 && o->packets > 0 && o->seconds > 0 && o->bindLimit > 0 &&
         o->radius >= 1 && o->radius <= 5;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  uint32_t server = 0;
  unsigned octet[4] = {0, 0, 0, 0};
  if (!ParseOptions(argc, argv, &options) || !NetParseDotted(options.server.c_str(), &server) ||
      std::sscanf(options.first.c_str(), "%u.%u.%u.%u", &octet[0], &octet[1], &octet[2], &octet[3]) != 4) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const uint32_t first = (octet[0] << 24) | (octet[1] << 16) | (octet[2] << 8) | octet[3];
  crowdPrefix = options.prefix;
  crowdSize = options.members;
  walkRadius = static_cast<float>(options.radius);
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGINT, OnSignal);
  std::vector<Member> members(static_cast<std::size_t>(options.members));
  for (int k = 0; k < options.members; ++k) {
    Member& m = members[static_cast<std::size_t>(k)];
    char nick[32];
    std::snprintf(nick, sizeof nick, "%s%03d", options.prefix.c_str(), k + 1);
    m.nick = nick;
    const uint32_t own = first + static_cast<uint32_t>(k);
    char dotted[32];
    std::snprintf(dotted, sizeof dotted, "%u.%u.%u.%u", own >> 24, (own >> 16) & 255, (own >> 8) & 255, own & 255);
    m.dotted = dotted;
    NetParseDotted(dotted, &m.address);
    m.phase = 6.2831853 * k / options.members;
    m.irc = NetOpenStream();
    m.udp = NetOpenDatagram();
    if (m.irc == kNoSocket || m.udp == kNoSocket || !NetBind(m.irc, m.address, 0) ||
        !NetBind(m.udp, m.address, NetPortToWire(kPresencePort)) ||
        !Connected(m.irc, server, NetPortToWire(options.port))) {
      Say("error: member %s cannot use %s or reach the server", m.nick.c_str(), m.dotted.c_str());
      return 1;
    }
    SendLine(m, "NICK " + m.nick);
    SendLine(m, "USER " + m.nick + " crowd 127.0.0.1 :QIVRA crowd");
  }

  std::vector<int> sockets;
  for (Member& m : members) {
    sockets.push_back(m.irc);
    sockets.push_back(m.udp);
  }
  std::unique_ptr<bool[]> flags(new bool[sockets.size()]);
  bool allJoined = false;
  double joinedAt = 0, allBoundAt = 0;
  const double interval = 1.0 / options.packets;
  sendInterval = interval;
  while (!stopSignal) {
    double now = Seconds(Clock::now());
    if (allBoundAt > 0 && now - allBoundAt >= options.seconds) break;
    if (joinedAt > 0 && now - joinedAt >= options.bindLimit + options.seconds) break;
    // Sends wait for the next 5 ms tick: a wake for every member's every position would cost
    // the machine more than the program measured beside it.
    int wait = 50;
    for (Member& m : members)
      if (m.nextSend > 0) wait = std::min(wait, std::max(5, static_cast<int>((m.nextSend - now) * 1000)));
    if (NetWaitReadableAny(sockets.data(), flags.get(), static_cast<int>(sockets.size()), wait) < 0) break;
    now = Seconds(Clock::now());
    for (std::size_t k = 0; k < members.size(); ++k) {
      Member& m = members[k];
      if (flags[2 * k] && !ReadIrc(m, options.channel)) {
        Say("error: %s lost its connection", m.nick.c_str());
        return 1;
      }
      if (flags[2 * k + 1]) ReadDatagrams(m, now);
      if (m.nextSend > 0 && now >= m.nextSend) {
        SendPosition(m, now, static_cast<int>(k));
        // Spread evenly: a member late by a whole interval starts afresh rather than bursting.
        m.nextSend += interval;
        if (m.nextSend < now) m.nextSend = now + interval;
      }
    }
    if (!allJoined) {
      allJoined = true;
      for (Member& m : members) allJoined = allJoined && m.joined;
      if (allJoined) Say("joined %zu", members.size());
      if (allJoined) joinedAt = now;
    } else if (allBoundAt == 0) {
      bool all = true;
      for (Member& m : members) all = all && m.nextSend > 0;
      if (all) {
        allBoundAt = now;
        Say("all bound");
      }
    }
  }
  long total = 0;
  for (Member& m : members) {
    SendLine(m, "QUIT :done");
    Say("sent %s %ld", m.nick.c_str(), m.sent);
    total += m.sent;
  }
  Say("done %ld", total);
  for (Member& m : members) {
    NetClose(m.irc);
    NetClose(m.udp);
  }
  return 0;
}
