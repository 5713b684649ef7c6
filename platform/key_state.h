// Whether a key is held right now, for the whole keyboard (not only the focused widget).
#pragma once
#include "platform/key_edges.h"

enum HeldKey {
  HeldEscape,
  HeldEnter,
  HeldF1,
  HeldCursorUp,
  HeldCursorDown,
  HeldCursorLeft,
  HeldCursorRight,
  HeldDelete,
  HeldEnd,
  HeldPageUp,
  HeldPageDown,
  HeldShift,  // either Shift key: with Page Up / Down it scrolls the console instead of looking
  HeldHome,
  kHeldKeyCount
};

// Takes one snapshot of the keyboard (one server round trip); IsKeyHeld reads it.
void PollKeyboard();
bool IsKeyHeld(HeldKey key);
// Page Up or Page Down went down with Shift (seen in a snapshot or as a press event): it
// scrolls the console until it is let go, even after Shift is, so it never tilts the view.
bool KeyScrollsConsole(HeldKey key);
void NoteConsoleScrollKey(HeldKey key);

// Escape, Enter, F1 and Home act on their press events, which the window's event pump records:
// a press shorter than a pass is still seen, and a held key acts once.
bool TakeKeyPress(PressedKey key);
void ForgetKeyPresses();
// Called by the window's event pump for press and release events of the main window; a
// claimed press is one a widget acts on itself (see NoteKeyClaimed).
void NoteKeyEvent(PressedKey key, bool down, bool claimed);
// The keys that switch conversations, from the main window's key event being handled: Alt+1..9
// and Ctrl+Page Up / Down count as presses of PressConversation1.. and Press*Conversation (a
// page key so pressed never tilts the view). True for such a press: no widget may see it.
bool NoteConversationKey(bool down);
