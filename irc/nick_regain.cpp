// Taking the own nickname back: which nickname is wanted, when to ask after it, when to take it.
#include "irc/nick_regain.h"

#include <cstring>
#include <mutex>

#include "core/irc_case.h"
#include "irc/irc_client.h"
#include "platform/ticks.h"

namespace {

void CopyNick(char* out, const char* nick) { FormatInto(out, kRegainNickBytes, "%s", nick ? nick : ""); }

void ClearStep(RegainStep* step) {
  step->send[0] = '\0';
  step->show[0] = '\0';
}

// "carol_" and "carol__" are what registration makes of "carol" when it is taken; "carol"
// itself counts too.
bool IsFallbackOf(const char* name, const char* wanted) {
  std::size_t n = std::strlen(wanted);
  if (std::strlen(name) < n) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (IrcLowerCase(name[i]) != IrcLowerCase(wanted[i])) return false;
  return std::strspn(name + n, "_") == std::strlen(name + n);
}

// A 303's, 730's or 731's list names the nickname: words apart by blanks or commas, each a
// nickname or "nick!user@host".
bool ListNames(const char* list, const char* nick) {
  char word[kRegainNickBytes * 4];
  for (const char* walk = list;;) {
    walk = CopyWord(walk, " ,", word, sizeof word);
    if (!word[0]) return false;
    word[std::strcspn(word, "!")] = '\0';
    if (SameIrcName(word, nick)) return true;
  }
}

void TakeNick(NickRegain* r, RegainStep* step) {
  if (r->nickSent) return;  // once, until its answer (or the next round of asking)
  FormatInto(step->send, sizeof step->send, "NICK %s", r->wanted);
  r->nickSent = true;
}

void AskIson(NickRegain* r, uint32_t now, RegainStep* step) {
  FormatInto(step->send, sizeof step->send, "ISON %s", r->wanted);
  r->isonPending = true;
  r->nickSent = false;  // a NICK of the last round that got no answer may go again
  r->lastAsk = now;
}

// Once the server has said what it offers: MONITOR watches the name for us, ISON is polled.
void BeginAsking(NickRegain* r, uint32_t now, RegainStep* step) {
  r->asking = true;
  if (!RegainActive(*r)) return;
  if (!r->monitor) {
    AskIson(r, now, step);
    return;
  }
  FormatInto(step->send, sizeof step->send, "MONITOR + %s", r->wanted);
  r->watching = true;
}

bool IsOfferOfMonitor(const char* token) {
  return std::strcmp(token, "MONITOR") == 0 || std::strncmp(token, "MONITOR=", 8) == 0;
}

// A refusal of a NICK: erroneous, in use, collision, temporarily unavailable.
bool IsNickRefusal(int numeric) { return numeric == 432 || numeric == 433 || numeric == 436 || numeric == 437; }

}  // namespace

bool RegainActive(const NickRegain& r) {
  return r.welcomed && r.wanted[0] && r.own[0] && !SameIrcName(r.own, r.wanted);
}

void RegainNewConnection(NickRegain* r) {
  char wanted[kRegainNickBytes];
  CopyNick(wanted, r->wanted);
  *r = NickRegain{};
  CopyNick(r->wanted, wanted);
}

void RegainRegistrationLine(NickRegain* r, const IrcMessage& m, uint32_t now, RegainStep* step) {
  ClearStep(step);
  const int numeric = NumericOf(m);
  if (numeric == 433 && !r->welcomed && !r->asked[0]) CopyNick(r->asked, Param(m, 1));
  if (numeric == 1 && !r->welcomed) {
    // What this registration asked for is wanted, unless it is a fallback of the wanted name
    // (a reconnect starts with the nickname the last connection ended with); a name that is no
    // fallback of it was the user's own choice once the tries gave up.
    CopyNick(r->own, Param(m, 0));
    const char* first = r->asked[0] && IsFallbackOf(r->own, r->asked) ? r->asked : r->own;
    if (!r->wanted[0] || !IsFallbackOf(first, r->wanted)) CopyNick(r->wanted, first);
    r->welcomed = true;
    r->welcomedAt = now;
  }
  if (numeric == 5)
    for (int i = 1; i < m.count; ++i) r->monitor = r->monitor || IsOfferOfMonitor(Param(m, i));
  if ((numeric == 376 || numeric == 422) && r->welcomed && !r->asking) BeginAsking(r, now, step);
}

bool RegainServerLine(NickRegain* r, const IrcMessage& m, uint32_t now, RegainStep* step) {
  RegainRegistrationLine(r, m, now, step);  // a registration that a PING ended goes on here
  if (step->send[0]) return false;
  const int numeric = NumericOf(m);
  const char* list = Param(m, m.count - 1);
  if (numeric == 303 && r->isonPending) {
    r->isonPending = false;
    if (RegainActive(*r) && !ListNames(list, r->wanted)) TakeNick(r, step);
    return true;
  }
  if ((numeric == 730 || numeric == 731) && r->watching && ListNames(list, r->wanted)) {
    if (numeric == 731 && RegainActive(*r)) TakeNick(r, step);  // offline: free
    return true;
  }
  if (numeric == 734 && r->watching) {  // the server's list is full: ask as without MONITOR
    r->monitor = false;
    r->watching = false;
    if (RegainActive(*r)) AskIson(r, now, step);
    return true;
  }
  if (IsNickRefusal(numeric) && r->nickSent && SameIrcName(Param(m, 1), r->wanted)) {
    r->nickSent = false;  // taken again meanwhile: the next round asks again
    return true;
  }
  // Its holder leaves (the ghost's ping timeout ends it, say) in a channel we share: at once.
  const bool holderGoes = m.fromUser && SameIrcName(m.source, r->wanted) &&
                          (std::strcmp(m.command, "QUIT") == 0 || std::strcmp(m.command, "NICK") == 0);
  if (holderGoes && RegainActive(*r)) TakeNick(r, step);
  return false;
}

bool RegainOwnNickChange(NickRegain* r, const char* nick, RegainStep* step) {
  ClearStep(step);
  const bool ours = r->nickSent && SameIrcName(nick, r->wanted);
  r->nickSent = false;
  CopyNick(r->own, nick);
  if (r->watching) FormatInto(step->send, sizeof step->send, "MONITOR - %s", r->wanted);
  r->watching = false;
  if (!ours) {
    CopyNick(r->wanted, nick);  // the user's own "/nick"
    return false;
  }
  FormatInto(step->show, sizeof step->show, "Took back your nickname %s.", nick);
  return true;
}

void RegainTick(NickRegain* r, uint32_t now, RegainStep* step) {
  ClearStep(step);
  if (!RegainActive(*r)) return;
  if (!r->asking) {
    if (now - r->welcomedAt >= kNickAskEveryMs) BeginAsking(r, now, step);  // no end of the MOTD came
    return;
  }
  if (!r->monitor && now - r->lastAsk >= kNickAskEveryMs) AskIson(r, now, step);
}

namespace {

// The connection's regain and its lock: the link thread's; a test may also start a login from
// its own thread. Lines are queued after the lock is let go, as the queue's lock is taken
// without this one elsewhere.
struct RegainRecord {
  NickRegain state;
  std::mutex lock;
};
RegainRecord Regain;
using Hold = std::lock_guard<std::mutex>;

void Send(const RegainStep& step) {
  if (step.send[0]) SendIrcLine("\r\n", "%s", step.send);
}

}  // namespace

void StartNickRegain() {
  Hold hold(Regain.lock);
  RegainNewConnection(&Regain.state);
}

void NickRegainRegistrationLine(const IrcMessage& m) {
  RegainStep step;
  {
    Hold hold(Regain.lock);
    RegainRegistrationLine(&Regain.state, m, TickCountMs(), &step);
  }
  Send(step);
}

bool TakeNickRegainLine(const IrcMessage& m) {
  RegainStep step;
  bool taken;
  {
    Hold hold(Regain.lock);
    taken = RegainServerLine(&Regain.state, m, TickCountMs(), &step);
  }
  Send(step);
  return taken;
}

bool NickRegainedText(const char* nick, char* text, std::size_t size) {
  RegainStep step;
  bool regained;
  {
    Hold hold(Regain.lock);
    regained = RegainOwnNickChange(&Regain.state, nick, &step);
  }
  Send(step);
  if (regained) FormatInto(text, size, "%s", step.show);
  return regained;
}

void AskForWantedNickIfDue() {
  RegainStep step;
  {
    Hold hold(Regain.lock);
    RegainTick(&Regain.state, TickCountMs(), &step);
  }
  Send(step);
}
