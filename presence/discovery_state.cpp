// The rules of who has shown that it runs QIVRA and when our details are due to it.
#include "presence/discovery_state.h"

namespace {

bool Reached(uint32_t now, uint32_t moment) { return static_cast<int32_t>(now - moment) >= 0; }

}  // namespace

uint32_t AskBackoff(int asks) {
  if (asks < 1) asks = 1;
  if (asks > 6) return kLongestAskMs;  // 2 s << 5 is already past a minute
  const uint32_t delay = kFirstAskMs << (asks - 1);
  return delay < kLongestAskMs ? delay : kLongestAskMs;
}

bool NoteQivraSign(DiscoveryLink* d, QivraSign sign, bool speaks, uint32_t now, uint32_t spreadMs) {
  const bool fresh = d->shown == SignNone && sign != SignNone;
  if (fresh) {
    d->shown = sign;
    d->shownMs = now;
  }
  if (speaks && !d->speaks) {
    d->speaks = 1;
    if (!d->inFlight && (!d->heardDetails || !d->hasOurKey)) {
      d->owed = 1;
      d->dueMs = now + spreadMs;
    }
  }
  return fresh;
}

void NoteDetails(DiscoveryLink* d, const DetailsHeard& heard, uint32_t now) {
  NoteQivraSign(d, SignDetails, false, now, 0);
  d->speaks = 1;
  d->heardDetails = 1;
  d->asks = 0;
  d->relay = heard.relay ? 1 : 0;
  d->rooms = heard.rooms ? 1 : 0;
  d->look = heard.look;
  if (!heard.ask) {
    d->hasOurKey = 1;
    d->owed = 0;  // it has ours: nothing is due, whatever an announcement said before
    return;
  }
  if (d->inFlight) return;  // our line on its way answers the ask
  d->owed = 1;
  d->dueMs = now;
}

bool DetailsDue(const DiscoveryLink& d, uint32_t now) {
  if (!d.speaks || d.inFlight) return false;
  if (d.owed) return Reached(now, d.dueMs);
  return !d.heardDetails && d.asks > 0 && Reached(now, d.dueMs);
}

void NoteDetailsQueued(DiscoveryLink* d) {
  d->inFlight = 1;
  d->owed = 0;
}

void NoteDetailsGone(DiscoveryLink* d, uint32_t now, uint32_t jitterMs) {
  d->inFlight = 0;
  if (d->heardDetails) return;
  if (d->asks < 255) ++d->asks;
  d->dueMs = now + AskBackoff(d->asks) + jitterMs;
}

void OweDetailsAgain(DiscoveryLink* d, uint32_t now) {
  if (!d->speaks) return;
  d->owed = 1;  // one on its way holds the old details: this one follows it
  d->dueMs = now;
}
