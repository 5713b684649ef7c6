// The receive thread: reads server lines after registration and runs the dispatcher on each.
#include "irc/receive_thread.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "irc/line_pacing.h"
#include "irc/link_watch.h"
#include "platform/net.h"
#include "platform/ticks.h"
#include "presence/datagram_intake.h"
#include "presence/host_lookup.h"

std::atomic<uint8_t> StopReceive{0};
std::atomic<uint8_t> ReceiveHeld{0};
char ReceiveBuffer[kIrcLineLength];

namespace {

struct PendingLine {
  int code;
  char nick[kIrcLineLength];
  char message[kIrcLineLength];
};
// A ring with one writer (the receive thread moves `put`) and one reader (the main thread
// moves `taken`); a place is filled completely before `put` passes it.
PendingLine pendingLines[kPendingLines];
std::atomic<uint32_t> pendingPut{0};
std::atomic<uint32_t> pendingTaken{0};

int lineSignal = NetOpenWakeSignal();  // for the life of the process

bool PendingFull() { return pendingPut.load() - pendingTaken.load() >= kPendingLines; }

void CopyText(char* out, const char* text) {
  std::size_t n = strnlen(text, kIrcLineLength - 1);
  std::memcpy(out, text, n);
  out[n] = '\0';
}

}  // namespace

bool TakePendingLine(int* code, char* nick, char* message) {
  uint32_t taken = pendingTaken.load();
  if (taken == pendingPut.load()) return false;
  const PendingLine& line = pendingLines[taken % kPendingLines];
  *code = line.code;
  CopyText(nick, line.nick);
  CopyText(message, line.message);
  pendingTaken.store(taken + 1);
  return true;
}

int PendingLineCount() { return static_cast<int>(pendingPut.load() - pendingTaken.load()); }

void ClearPendingLines() { pendingTaken.store(pendingPut.load()); }

int PendingLineSignal() { return lineSignal; }

bool PassReceivedLine() {
  if (PendingFull()) return false;
  PendingLine& place = pendingLines[pendingPut.load() % kPendingLines];
  int code = Irc.Dispatch(place.nick, place.message, 1);
  if (IsShownCode(code)) {
    place.code = code;
    pendingPut.store(pendingPut.load() + 1);
    NetRaiseWakeSignal(lineSignal);
  }
  return true;
}

static std::thread ReceiveThreadHandle;
static std::atomic<uint8_t> ReceiveEnded{0};

bool IsShownCode(int code) {
  return code != EventNone && code != EventPingAnswered && code != EventHandled;
}

// The longest the thread sleeps in one wait: it looks at StopReceive at least this often.
constexpr int kLongestWaitMs = 50;
// While it may not read the link (no place for an outcome) or may do nothing (held), it
// looks again this often.
constexpr int kHeldWaitMs = 5;

// Waits on the server's socket and the presence socket instead of sleeping: a line or a
// datagram is taken as soon as it arrives, and an idle thread costs nothing. While held it
// touches neither. True: a line may be read.
static bool WaitForInput(bool held, bool mayRead) {
  if (mayRead && !held && Irc.streamLink.HasBufferedInput()) return true;  // TLS holds a line already
  int wait = mayRead && !held ? kLongestWaitMs : kHeldWaitMs;
  int paced = MsUntilPacedLine();
  if (paced >= 0 && paced < wait) wait = paced;
  int sockets[2] = {mayRead && !held ? Irc.streamLink.socket : kNoSocket,
                    held ? kNoSocket : Irc.datagramLink.socket};
  bool ready[2] = {false, false};
  if (NetWaitReadableAny(sockets, ready, 2, wait) < 0) SleepMs(1);  // never spin on a failure
  if (ready[1] && !StopReceive.load()) TakeWaitingDatagrams(Irc.peerTable);
  return ready[0];
}

static void ReceiveThread(int parameter) {
  (void)parameter;
  LowerThreadPriority();
  LookupAbandonFlag = &StopReceive;  // a slow name lookup never keeps this thread from ending
  for (;;) {
    if (StopReceive.load()) break;
    SendPacedLinesDue();
    // It reads while the main thread has handed the link over, a place for an outcome is
    // free and the link has not ended (then nothing more will come: it waits for Disconnect).
    bool held = ReceiveHeld.load() != 0;
    bool mayRead = !held && !PendingFull() && ServerLinkEnd() == LinkUp;
    bool ready = WaitForInput(held, mayRead);
    if (StopReceive.load()) break;
    if (!mayRead) continue;
    bool heard = ready && Irc.streamLink.ReadLine(ReceiveBuffer) == 1;
    if (StopReceive.load()) break;  // the read was ended by Disconnect: the piece is dropped
    WatchServerLink(heard);  // at least every wait's length: the idle timers run on
    if (heard) PassReceivedLine();
  }
  ReceiveEnded.store(1);
}

bool StartReceiveThread() {
  ReceiveEnded.store(0);
  try {
    ReceiveThreadHandle = std::thread(ReceiveThread, 1);
  } catch (...) {
    return false;
  }
  return true;
}

bool ReceiveThreadRunning() { return ReceiveThreadHandle.joinable(); }

static bool WaitForEnd(int ms) {
  auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!ReceiveEnded.load()) {
    if (std::chrono::steady_clock::now() >= limit) return false;
    SleepMs(1);
  }
  return true;
}

// Every place the thread can wait is woken here: its own sleeps and the pending-line wait watch
// StopReceive, shutting the receiving side ends a read, shutting both sides ends a send, and a
// name lookup is left to its helper thread. So the join below never waits long.
void StopReceiveThread() {
  StopReceive.store(1);
  if (!ReceiveThreadHandle.joinable()) return;
  Irc.streamLink.Shutdown();
  if (!WaitForEnd(50)) {
    Irc.streamLink.ShutdownBoth();
    WaitForEnd(45);
  }
  ReceiveThreadHandle.join();
}
