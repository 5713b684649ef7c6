// The idle timers of the server link and what its reader does when they run out.
#include "irc/link_watch.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "irc/irc_client.h"
#include "platform/ticks.h"

// The watch of the current server link and how it ended, as one record: the link thread owns
// the watch; the end is read by any thread.
struct ServerLinkRecord {
  LinkWatch watch;
  std::atomic<int> end{LinkUp};
};
static ServerLinkRecord ServerLink;

void WatchStart(LinkWatch* watch, uint32_t now) {
  watch->lastHeard = now;
  watch->pingOut = false;
  watch->lost = false;
}

void WatchHeard(LinkWatch* watch, uint32_t now) {
  watch->lastHeard = now;
  watch->pingOut = false;
}

LinkWatchStep WatchCheck(LinkWatch* watch, uint32_t now) {
  if (watch->lost) return WatchQuiet;
  if (!watch->pingOut) {
    if (static_cast<uint32_t>(now - watch->lastHeard) < watch->idleMs) return WatchQuiet;
    watch->pingOut = true;
    watch->pingSentAt = now;
    return WatchSendPing;
  }
  if (static_cast<uint32_t>(now - watch->pingSentAt) < watch->answerMs) return WatchQuiet;
  watch->lost = true;
  return WatchLinkLost;
}

void StartServerWatch() {
  ServerLink.watch = LinkWatch();
  unsigned idle = 0, answer = 0;
  const char* seam = std::getenv("QIVRA_IDLE_TIMERS");
  if (seam && std::sscanf(seam, "%u,%u", &idle, &answer) == 2 && idle > 0 && answer > 0 &&
      idle <= 3600 && answer <= 3600) {
    ServerLink.watch.idleMs = idle * 1000;
    ServerLink.watch.answerMs = answer * 1000;
  }
  WatchStart(&ServerLink.watch, TickCountMs());
  ServerLink.end.store(LinkUp);
}

LinkEnd WatchServerLink(bool heard) {
  LinkEnd end = static_cast<LinkEnd>(ServerLink.end.load());
  if (end != LinkUp) return end;
  uint32_t now = TickCountMs();
  if (heard) WatchHeard(&ServerLink.watch, now);
  if (Irc.streamLink.ended) {
    end = LinkClosedByServer;
  } else {
    switch (WatchCheck(&ServerLink.watch, now)) {
      case WatchSendPing: SendIrcLine("\r\n", "PING :%s", Irc.server); break;
      case WatchLinkLost: end = LinkSilent; break;
      case WatchQuiet: break;
    }
  }
  ServerLink.end.store(end);
  return end;
}

LinkEnd ServerLinkEnd() { return static_cast<LinkEnd>(ServerLink.end.load()); }
