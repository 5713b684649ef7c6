// Speech in the room: each member's last chat line or action, shown over the avatar for a while
// and then fading, keyed by nickname; the window's thread alone calls these.
#pragma once
#include <cstdint>

// The clock speech lives by, in milliseconds (it may wrap): the shell points it at the
// platform's tick count, tests at a clock of their own. Null: the time stands at 0.
extern uint32_t (*SceneTimeMs)();
uint32_t SceneNowMs();

constexpr int kSpeechTextLength = 512;  // an IRC line's text fits
constexpr uint32_t kSpeechFadeMs = 1000;

// How long a line shows before it fades: 6 s and 50 ms per character (not byte).
uint32_t SpeechHoldMs(const char* text);
// nick said text (an action when isAction) at nowMs; it replaces the member's line before.
void ShowSpeech(const char* nick, const char* text, bool isAction, uint32_t nowMs);

struct SpeechShown {
  const char* text;  // an action with the nickname before it; valid until the next ShowSpeech or ClearSpeech
  bool isAction;
  float opacity;     // 1 while held, falling to 0 through the fade
};
// The line nick shows at nowMs (nicknames compare by IRC case); false when none.
bool SpeechOf(const char* nick, uint32_t nowMs, SpeechShown* shown);
// True while some line fades at nowMs: the view changes by itself.
bool SpeechFading(uint32_t nowMs);
void ClearSpeech();
