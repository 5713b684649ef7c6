// The receive thread: reads server lines after registration and runs the dispatcher on each.
#include "irc/receive_thread.h"

#include <chrono>
#include <thread>

#include "irc/link_watch.h"
#include "platform/net.h"
#include "platform/ticks.h"
#include "presence/host_lookup.h"

std::atomic<uint8_t> StopReceive{0};
std::atomic<uint8_t> ReceiveHeld{0};
std::atomic<uint8_t> LinePending{0};
char ReceiveBuffer[kIrcLineLength];
int PendingCode = 0;
char PendingNick[kIrcLineLength];
char PendingMessage[kIrcLineLength];

static std::thread ReceiveThreadHandle;
static std::atomic<uint8_t> ReceiveEnded{0};

bool IsShownCode(int code) {
  return code != EventNone && code != EventPingAnswered && code != EventHandled;
}

// Waits sleep 1 ms rather than spin: the machine may have a single free core, and a spinning
// thread at lower priority would still take it from the main loop.
static void ReceiveThread(int parameter) {
  (void)parameter;
  LowerThreadPriority();
  LookupAbandonFlag = &StopReceive;  // a slow name lookup never keeps this thread from ending
  for (;;) {
    if (StopReceive.load()) break;
    SleepMs(1);
    if (ReceiveHeld.load()) continue;
    while (LinePending.load() && !StopReceive.load()) SleepMs(1);
    if (StopReceive.load()) break;
    if (ServerLinkEnd() != LinkUp) continue;  // nothing more will come: wait for Disconnect
    bool heard = Irc.streamLink.ReadLine(ReceiveBuffer) == 1;
    if (StopReceive.load()) break;  // the read was ended by Disconnect: the piece is dropped
    WatchServerLink(heard);
    if (!heard) continue;
    int code = Irc.Dispatch(PendingNick, PendingMessage, 1);
    if (IsShownCode(code)) {
      PendingCode = code;
      LinePending.store(1);
    }
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
