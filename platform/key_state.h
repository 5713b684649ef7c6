// Whether a key is held right now, for the whole keyboard (not only the focused widget).
#pragma once

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
  kHeldKeyCount
};

// Takes one snapshot of the keyboard (one server round trip); IsKeyHeld reads it.
void PollKeyboard();
bool IsKeyHeld(HeldKey key);
