// Noticing a dead server link: our own PING after a silence, the link lost when that goes unanswered.
#pragma once
#include <cstdint>

// The timing of one link, on the wrapping millisecond tick count. Times are differences, so
// a wrap of the count in between changes nothing.
struct LinkWatch {
  uint32_t idleMs = 60000;    // silence after which the client sends a PING of its own
  uint32_t answerMs = 30000;  // time after that PING within which any line must come
  uint32_t lastHeard = 0;     // tick of the last line from the server (or of the connect)
  uint32_t pingSentAt = 0;
  bool pingOut = false;
  bool lost = false;
};

enum LinkWatchStep { WatchQuiet, WatchSendPing, WatchLinkLost };

void WatchStart(LinkWatch* watch, uint32_t now);
void WatchHeard(LinkWatch* watch, uint32_t now);
// WatchSendPing once per silence, WatchLinkLost once when the answer did not come.
LinkWatchStep WatchCheck(LinkWatch* watch, uint32_t now);

// How the server link ended.
enum LinkEnd { LinkUp = 0, LinkClosedByServer = 1, LinkSilent = 2 };

// For a new connection: the test seam QIVRA_IDLE_TIMERS=<idle s>,<answer s> shortens the two
// times; without it they are 60 s and 30 s.
void StartServerWatch();

// One look at the link by the link thread, after each read (heard: a line came). Sends the PING
// when due and records a closed or silent link; the result is the link's state afterwards.
LinkEnd WatchServerLink(bool heard);
// The state last recorded; any thread may ask.
LinkEnd ServerLinkEnd();
