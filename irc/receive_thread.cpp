// The link thread: the connect step, then reading, answering and sending until it is stopped.
#include "irc/receive_thread.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "irc/dispatcher.h"
#include "irc/line_pacing.h"
#include "irc/session.h"
#include "irc/session_turn.h"
#include "irc/link_watch.h"
#include "irc/membership.h"
#include "irc/nick_regain.h"
#include "irc/peer_reach.h"
#include "irc/registration.h"
#include "irc/relay_lines.h"
#include "platform/net.h"
#include "platform/ticks.h"
#include "presence/datagram_intake.h"
#include "presence/host_lookup.h"
#include "presence/host_resolver.h"
#include "presence/router_port.h"

ReceiveSwitches Receive;

namespace {

// A ring with one writer (the link thread moves `put`) and one reader (the window's thread
// moves `taken`); a place is filled completely before `put` passes it.
struct EventRing {
  IrcEvent places[kPendingEvents];
  std::atomic<uint32_t> put{0};
  std::atomic<uint32_t> taken{0};
  int signal = NetOpenWakeSignal();  // for the life of the process
};

// What the link thread alone reads and writes about its connection.
struct LinkProgress {
  bool registering = true;   // lines go to the registration until it ends
  bool endHandedOver = false;  // the link's end has been told as an event
  char line[kIrcLineLength];   // the line last read
  SessionConfig config;      // as StartReceiveThread was given it
};

struct ThreadRecord {
  std::thread handle;
  std::atomic<uint8_t> ended{0};
};

// The events waiting for the window, the connection's progress and the thread itself: one
// link thread at a time, started and joined again for each connection.
struct LinkRecord {
  EventRing events;
  LinkProgress progress;
  ThreadRecord thread;
};
LinkRecord Link;

bool EventsFull() { return Link.events.put.load() - Link.events.taken.load() >= kPendingEvents; }

// A server line is read only while its events fit: a quit or a new nickname makes one for every
// room shared, and the line's own event comes last.
bool RoomForALine() { return Link.events.put.load() - Link.events.taken.load() + kMaxRooms + 1 <= kPendingEvents; }

IrcEvent& FreePlace() {
  IrcEvent& place = Link.events.places[Link.events.put.load() % kPendingEvents];
  place.kind = EventNone;
  place.result = 0;
  place.channel[0] = '\0';
  place.nick[0] = '\0';
  place.text[0] = '\0';
  return place;
}

// The link's details as they stand, for the window to report.
void FillReport(LinkReport* r) {
  const StreamLink& link = Irc.streamLink;
  r->failure = link.failure;
  r->tls = link.tls.wanted;
  r->tlsResult = link.tls.result;
  r->check = link.tls.check;
  r->firstByteCount = link.firstByteCount < 2 ? link.firstByteCount : 2;
  std::memcpy(r->firstBytes, link.firstBytes, sizeof r->firstBytes);
}

void HandOver() {
  Link.events.put.store(Link.events.put.load() + 1);
  NetRaiseWakeSignal(Link.events.signal);
}

// An event of the link's own (no server line behind it); false while every place is taken.
bool HandOverState(int kind, int result) {
  if (EventsFull()) return false;
  IrcEvent& place = FreePlace();
  place.kind = kind;
  place.result = result;
  FillReport(&place.report);
  HandOver();
  return true;
}

// The longest the thread sleeps in one wait: it looks at Receive.stop at least this often.
constexpr int kLongestWaitMs = 50;

// Waits on the server's socket, the presence socket, the signal of queued lines and that of
// looked-up hosts, until one is ready, a paced line is due or the wait's bound passes. True:
// the server's socket is ready.
bool WaitForInput(bool mayRead) {
  bool held = Receive.held.load() != 0;
  if (mayRead && Irc.streamLink.HasBufferedInput()) return true;  // TLS holds a line already
  int wait = kLongestWaitMs;
  int paced = MsUntilPacedLine();
  if (paced >= 0 && paced < wait) wait = paced;
  int sockets[4] = {mayRead ? Irc.streamLink.socket.load() : kNoSocket,
                    held ? kNoSocket : Irc.datagramLink.socket, OutgoingLineSignal(), ResolvedHostSignal()};
  bool ready[4] = {false, false, false, false};
  if (NetWaitReadableAny(sockets, ready, 4, wait) < 0) SleepMs(1);  // never spin on a failure
  if (ready[2]) NetClearWakeSignal(OutgoingLineSignal());
  if (ready[3]) NetClearWakeSignal(ResolvedHostSignal());
  if (!held) DeliverResolvedHosts();  // members' hosts a helper looked up meanwhile (held: the test's)
  if (ready[1] && !Receive.stop.load()) TakeWaitingDatagrams(Irc.peerTable);
  return ready[0];
}

// The connection's settings into the link's own record, before anything is opened.
void TakeConfig(const SessionConfig& c) {
  Irc.SetBindAddress(c.bindAddress);
  LinkIPv6 = !c.ipv4Only;
  ReadRelaySeams();
  std::snprintf(Irc.server, sizeof Irc.server, "%s", c.server);
  Irc.port = c.port;
  Irc.streamLink.tls.wanted = c.tls;
  std::snprintf(Irc.login.serverPassword, sizeof Irc.login.serverPassword, "%s", c.serverPassword);
  std::snprintf(Irc.login.account, sizeof Irc.login.account, "%s", c.saslAccount);
  std::snprintf(Irc.login.password, sizeof Irc.login.password, "%s", c.saslPassword);
  Irc.presenceOff = !c.presence;
  Irc.askRouter = c.askRouter && c.presence;  // "ROUTER off", or no presence to forward
  Irc.look = c.look;
  // Positions far outside the room are nobody's: the intake drops them. Without a room (the
  // headless peer) the wide default stays.
  float room[4];
  TakeSessionRoom(room);
  if (room[1] > room[0] && room[3] > room[2]) {
    SetPositionAreaAround(room[0], room[1], room[2], room[3]);
  } else {
    PositionArea = kWidestPositionArea;
  }
}

// The connect step: name lookup, TCP connect and TLS handshake within the connect's limit,
// then the login lines that go before NICK and USER. True when the link is up.
bool ConnectLink() {
  TakeConfig(Link.progress.config);
  ForgetRoom();
  ForgetMembership();
  if (Irc.OpenLinks() != 1) {
    Irc.streamLink.failure = LinkFailNoSocket;
    HandOverState(EventConnected, -3);
    return false;
  }
  Irc.streamLink.abandon = &Receive.stop;
  int result = Irc.streamLink.Connect(Irc.server, Irc.port);
  if (result == 1) {
    // Members not yet shown to run QIVRA are greeted only in the family the server shows us in.
    Irc.peerTable.serverFamily = NetLocalAddressOf(Irc.streamLink.socket).family;
    StartServerWatch();
    StartLogin();
    RouterPortStart(Irc.askRouter, LinkBindAddress);
  }
  // The result's details (failure, TLS check) go with the event.
  HandOverState(EventConnected, result);  // the first event: a place is free
  return result == 1;
}

// Reads, answers and sends until stopped. Once the link has ended nothing more will come:
// it says so once and waits to be stopped.
void ServeLink() {
  for (;;) {
    if (Receive.stop.load()) return;
    TakeSessionCommands();
    SendPacedLinesDue();
    LinkEnd end = ServerLinkEnd();
    if (end != LinkUp && !Link.progress.endHandedOver)
      Link.progress.endHandedOver = HandOverState(EventLinkEnded, end);
    bool mayRead = !Receive.held.load() && RoomForALine() && end == LinkUp;
    bool ready = WaitForInput(mayRead);
    if (Receive.stop.load() || !mayRead) continue;
    bool heard = ready && Irc.streamLink.ReadLine(Link.progress.line) == 1;
    WatchServerLink(heard);  // at least every wait's length: the idle timers run on
    AskForWantedNickIfDue();  // under a fallback nickname (irc/nick_regain.h)
    if (heard) PassReceivedLine(Link.progress.line);
    if (!Link.progress.registering) RunSessionTurn(TickCountMs());
  }
}

void LinkThread() {
  LowerThreadPriority();
  bool linked = ConnectLink();
  if (linked) ServeLink();
  if (linked) SendChatLinesLeft();  // typed lines and the QUIT; nothing before the link is up
  ForgetRoom();
  Irc.CloseLinks();
  Link.thread.ended.store(1);
}

bool WaitForEnd(int ms) {
  auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!Link.thread.ended.load()) {
    if (std::chrono::steady_clock::now() >= limit) return false;
    SleepMs(1);
  }
  return true;
}

}  // namespace

bool TakeIrcEvent(IrcEvent* event) {
  uint32_t taken = Link.events.taken.load();
  if (taken == Link.events.put.load()) return false;
  *event = Link.events.places[taken % kPendingEvents];
  Link.events.taken.store(taken + 1);
  return true;
}

int PendingEventCount() { return static_cast<int>(Link.events.put.load() - Link.events.taken.load()); }

void ClearPendingEvents() { Link.events.taken.store(Link.events.put.load()); }

int PendingEventSignal() { return Link.events.signal; }

bool PassReceivedLine(const char* line) {
  if (!RoomForALine()) return false;
  static thread_local IrcMessage m;  // 6 KB: kept off the thread's stack
  ParseIrcMessage(line, &m);
  IrcEvent& place = FreePlace();
  int kind = Link.progress.registering ? RegistrationLine(m, &place) : DispatchMessage(m, &place);
  if (kind == EventRegistered) Link.progress.registering = false;
  place.kind = kind;
  if (IsShownKind(kind)) HandOver();
  return true;
}

void BeginRegistration() {
  Link.progress.registering = true;
  Link.progress.endHandedOver = false;
}

bool HandOverLine(int kind, const char* text);

bool HandOverEvent(const IrcEvent& event) {
  if (EventsFull()) return false;
  IrcEvent& place = FreePlace();
  place = event;
  HandOver();
  return true;
}

bool HandOverText(const char* text) { return HandOverLine(EventText, text); }
bool HandOverPresenceText(const char* text) { return HandOverLine(EventPresenceText, text); }

bool HandOverLine(int kind, const char* text) {
  if (EventsFull()) return false;
  IrcEvent& place = FreePlace();
  place.kind = kind;
  std::snprintf(place.text, sizeof place.text, "%s", text);
  HandOver();
  return true;
}

bool StartReceiveThread(const SessionConfig& config) {
  Link.thread.ended.store(0);
  Receive.stop.store(0);
  BeginRegistration();
  Link.progress.config = config;
  try {
    Link.thread.handle = std::thread(LinkThread);
  } catch (...) {
    return false;
  }
  return true;
}

bool ReceiveThreadRunning() { return Link.thread.handle.joinable(); }

// Every place the thread can wait is woken here: its own waits and the connect's slices watch
// Receive.stop, a name lookup is left to its helper thread, and shutting the socket ends a TLS
// handshake or a send under way. So the join below never waits long.
void StopReceiveThread() {
  Receive.stop.store(1);
  if (!Link.thread.handle.joinable()) return;
  NetRaiseWakeSignal(OutgoingLineSignal());
  if (!WaitForEnd(50)) {
    Irc.streamLink.ShutdownBoth();
    WaitForEnd(45);
  }
  Link.thread.handle.join();
}
