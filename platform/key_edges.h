// Key presses as events, for keys that mean one action: one action per press, however long held.
#pragma once

enum PressedKey {
  PressEscape, PressEnter, PressF1, PressHome,
  PressConversation1,                          // Alt+1; Alt+2 to Alt+9 follow it
  PressConversation9 = PressConversation1 + 8,
  PressPreviousConversation, PressNextConversation,  // Ctrl+Page Up / Ctrl+Page Down
  kPressedKeyCount
};

// Per key: held since its press event, and presses not yet acted on.
struct KeyEdges {
  bool down[kPressedKeyCount] = {};
  int presses[kPressedKeyCount] = {};
};

// A press event. A press while the key is still down (the keyboard repeating) counts nothing.
void NoteKeyDown(KeyEdges* edges, PressedKey key);
void NoteKeyUp(KeyEdges* edges, PressedKey key);
// A press a widget took for itself (Escape leaving the input line, Enter opening it): the key
// is down, so its repeats count nothing either, but the press itself is not counted.
void NoteKeyClaimed(KeyEdges* edges, PressedKey key);
// The key as a pass sampled it: seen up, it was released, even when its release event went
// to another window (a window made again under a held F1 never sees the release).
void NoteKeySampled(KeyEdges* edges, PressedKey key, bool held);
// True once for each press.
bool TakePress(KeyEdges* edges, PressedKey key);
bool PressWaiting(const KeyEdges* edges, PressedKey key);
// Presses made elsewhere (in the dialog) must not act in the window that follows.
void ForgetPresses(KeyEdges* edges);

// Keys held at the moment the keyboard moved to the input line (a movement key of the walk):
// each is kept out of the line, its repeats included, until it has been let go once, so
// holding Up while a letter starts a line never steps through the history.
struct HeldAtTyping {
  unsigned char codes[32] = {};  // one bit per key code, as the X server's keymap has them
};
// The keys down as the window's own events tell it, press by press: what was down when a click
// was made, whatever was pressed after it by the time a busy window handles the click.
struct KeysDown {
  unsigned char codes[32] = {};  // one bit per key code
};
void NoteKeyCodeDown(KeysDown* down, int code);
void NoteKeyCodeUp(KeysDown* down, int code);
void ForgetKeysDown(KeysDown* down);
// Takes every key down.
void NoteHeldAtTyping(HeldAtTyping* held, const KeysDown& down);
// The key is let go (or is wanted in the line after all: the letter that started it).
void NoteHeldKeyUp(HeldAtTyping* held, int code);
// True while the key has not been let go since typing began: its press is not for the line.
bool HeldSinceTyping(const HeldAtTyping* held, int code);
void ForgetHeldAtTyping(HeldAtTyping* held);
