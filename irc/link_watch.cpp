// The idle timers of the server link and what its reader does when they run out.
#include "irc/link_watch.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "irc/irc_client.h"
#include "platform/ticks.h"

LinkWatch ServerWatch;
static std::atomic<int> RecordedEnd{LinkUp};

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
  ServerWatch = LinkWatch();
  unsigned idle = 0, answer = 0;
  const char* seam = std::getenv("QIVRA_IDLE_TIMERS");
  if (seam && std::sscanf(seam, "%u,%u", &idle, &answer) == 2 && idle > 0 && answer > 0 &&
      idle <= 3600 && answer <= 3600) {
    ServerWatch.idleMs = idle * 1000;
    ServerWatch.answerMs = answer * 1000;
  }
  WatchStart(&ServerWatch, TickCountMs());
  RecordedEnd.store(LinkUp);
}

LinkEnd WatchServerLink(bool heard) {
  LinkEnd end = static_cast<LinkEnd>(RecordedEnd.load());
  if (end != LinkUp) return end;
  uint32_t now = TickCountMs();
  if (heard) WatchHeard(&ServerWatch, now);
  if (Irc.streamLink.ended) {
    end = LinkClosedByServer;
  } else {
    switch (WatchCheck(&ServerWatch, now)) {
      case WatchSendPing: SendIrcLine("\r\n", "PING :%s", Irc.server); break;
      case WatchLinkLost: end = LinkSilent; break;
      case WatchQuiet: break;
    }
  }
  RecordedEnd.store(end);
  return end;
}

LinkEnd ServerLinkEnd() { return static_cast<LinkEnd>(RecordedEnd.load()); }
