// What a key event in the window means for the input line, and how the line shows walking or typing.
#pragma once
#include "platform/gui_window.h"

// The editing key the current key event is, when it is one the shell handles.
bool EditKeyOfEvent(LineEditKey* key);
// The current key event types text: a printable character, without Ctrl, Alt or Meta.
bool EventTypesText();
// The current key event is Enter (either of the two), or Ctrl+V (paste).
bool EventIsEnter();
bool EventIsPaste();
// Drawn over the line: while typing a focus border; while walking with an empty line a hint
// in grey that says how to type.
void DrawInputCue(int x, int y, int width, int height, bool typing, bool empty);
