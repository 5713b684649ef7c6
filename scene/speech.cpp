// The members' last lines with the times they show and fade, in a fixed table keyed by nickname.
#include "scene/speech.h"

#include <cstdio>
#include <cstring>

#include "core/irc_case.h"
#include "core/room_view.h"

uint32_t (*SceneTimeMs)() = nullptr;

uint32_t SceneNowMs() { return SceneTimeMs ? SceneTimeMs() : 0; }

namespace {

struct Speech {
  uint32_t nickHash;           // of the nickname in IRC lower case: most look-ups end at it
  char nick[kRoomNickLength];  // "" for a free entry
  char text[kSpeechTextLength];
  bool isAction;
  uint32_t saidMs, holdMs;
};

// One entry for each member a room tracks; a line from a nickname beyond them takes the entry
// whose line is oldest.
Speech speeches[kRoomMembers];

// Milliseconds from `from` to `to` on a clock that wraps; negative when `to` lies before it.
int32_t Since(uint32_t from, uint32_t to) { return static_cast<int32_t>(to - from); }

uint32_t NickHash(const char* nick) {
  uint32_t hash = 2166136261u;
  for (const char* c = nick; *c; ++c) hash = (hash ^ static_cast<unsigned char>(IrcLowerCase(*c))) * 16777619u;
  return hash;
}

Speech* Find(const char* nick) {
  const uint32_t hash = NickHash(nick);
  for (Speech& s : speeches)
    if (s.nick[0] && s.nickHash == hash && SameIrcName(s.nick, nick)) return &s;
  return nullptr;
}

Speech* Free(uint32_t nowMs) {
  Speech* oldest = &speeches[0];
  for (Speech& s : speeches) {
    if (!s.nick[0]) return &s;
    if (Since(s.saidMs, nowMs) > Since(oldest->saidMs, nowMs)) oldest = &s;
  }
  return oldest;
}

}  // namespace

uint32_t SpeechHoldMs(const char* text) {
  uint32_t characters = 0;
  for (const char* c = text ? text : ""; *c; ++c)
    if ((static_cast<unsigned char>(*c) & 0xC0) != 0x80) ++characters;  // follow-on bytes count not
  return 6000 + 50 * characters;
}

void ShowSpeech(const char* nick, const char* text, bool isAction, uint32_t nowMs) {
  if (!nick || !nick[0] || !text) return;
  Speech* s = Find(nick);
  if (!s) s = Free(nowMs);
  std::snprintf(s->nick, sizeof s->nick, "%s", nick);
  s->nickHash = NickHash(s->nick);
  // An action reads as a sentence about its speaker: "alice waves".
  if (isAction)
    std::snprintf(s->text, sizeof s->text, "%s %s", nick, text);
  else
    std::snprintf(s->text, sizeof s->text, "%s", text);
  s->isAction = isAction;
  s->saidMs = nowMs;
  s->holdMs = SpeechHoldMs(s->text);
}

bool SpeechOf(const char* nick, uint32_t nowMs, SpeechShown* shown) {
  const Speech* s = nick && nick[0] ? Find(nick) : nullptr;
  if (!s) return false;
  const int32_t age = Since(s->saidMs, nowMs);
  const int32_t fading = age - static_cast<int32_t>(s->holdMs);
  if (age < 0 || fading >= static_cast<int32_t>(kSpeechFadeMs)) return false;
  shown->text = s->text;
  shown->isAction = s->isAction;
  shown->opacity = fading <= 0 ? 1.0f : 1.0f - static_cast<float>(fading) / kSpeechFadeMs;
  return true;
}

bool SpeechFading(uint32_t nowMs) {
  for (const Speech& s : speeches) {
    if (!s.nick[0]) continue;
    const int32_t fading = Since(s.saidMs, nowMs) - static_cast<int32_t>(s.holdMs);
    if (fading >= 0 && fading < static_cast<int32_t>(kSpeechFadeMs)) return true;
  }
  return false;
}

void ClearSpeech() { std::memset(speeches, 0, sizeof speeches); }
