// Key state from one XQueryKeymap per main-loop pass: a query per key would cost a round trip each.
#include "platform/key_state.h"

#include <FL/Fl.H>
#include <FL/x.H>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cstring>

namespace {

// The keyboard as the last pass saw it and the presses since, written on the window's thread by
// PollKeyboard and the event pump.
struct KeyStateRecord {
  char keymap[32];
  KeyEdges presses;
  bool scrolling[kHeldKeyCount];  // page keys that went down with Shift and are not yet let go
  // Key codes per key (a key may have two: Enter and the keypad's Enter).
  KeyCode keyCodes[kHeldKeyCount][2];
  Display* codesFor;  // the display the key codes were looked up on
};
KeyStateRecord Keys;

void LookUpKeyCodes(Display* display) {
  static const KeySym symbols[kHeldKeyCount][2] = {
      {XK_Escape, 0},    {XK_Return, XK_KP_Enter}, {XK_F1, 0},    {XK_Up, 0},
      {XK_Down, 0},      {XK_Left, 0},             {XK_Right, 0}, {XK_Delete, 0},
      {XK_End, 0},       {XK_Page_Up, 0},          {XK_Page_Down, 0},
      {XK_Shift_L, XK_Shift_R}, {XK_Home, 0},
  };
  for (int key = 0; key < kHeldKeyCount; ++key)
    for (int i = 0; i < 2; ++i)
      Keys.keyCodes[key][i] = symbols[key][i] ? XKeysymToKeycode(display, symbols[key][i]) : 0;
  Keys.codesFor = display;
}

}  // namespace

void PollKeyboard() {
  if (!fl_display) {
    std::memset(Keys.keymap, 0, sizeof Keys.keymap);
    return;
  }
  if (Keys.codesFor != fl_display) LookUpKeyCodes(fl_display);
  XQueryKeymap(fl_display, Keys.keymap);
  NoteKeySampled(&Keys.presses, PressEscape, IsKeyHeld(HeldEscape));
  NoteKeySampled(&Keys.presses, PressEnter, IsKeyHeld(HeldEnter));
  NoteKeySampled(&Keys.presses, PressF1, IsKeyHeld(HeldF1));
  NoteKeySampled(&Keys.presses, PressHome, IsKeyHeld(HeldHome));
  const HeldKey pages[2] = {HeldPageUp, HeldPageDown};
  for (HeldKey page : pages) {
    if (!IsKeyHeld(page)) Keys.scrolling[page] = false;
    else if (IsKeyHeld(HeldShift)) Keys.scrolling[page] = true;
  }
}

bool KeyScrollsConsole(HeldKey key) { return key >= 0 && key < kHeldKeyCount && Keys.scrolling[key]; }

void NoteConsoleScrollKey(HeldKey key) {
  if (key >= 0 && key < kHeldKeyCount) Keys.scrolling[key] = true;
}

bool IsKeyHeld(HeldKey key) {
  if (key < 0 || key >= kHeldKeyCount || !Keys.codesFor) return false;
  for (int i = 0; i < 2; ++i) {
    KeyCode code = Keys.keyCodes[key][i];
    if (code && (Keys.keymap[code >> 3] & (1 << (code & 7)))) return true;
  }
  return false;
}

bool TakeKeyPress(PressedKey key) { return TakePress(&Keys.presses, key); }
void ForgetKeyPresses() { ForgetPresses(&Keys.presses); }

void NoteKeyEvent(PressedKey key, bool down, bool claimed) {
  if (down && claimed) {
    NoteKeyClaimed(&Keys.presses, key);
  } else if (down) {
    NoteKeyDown(&Keys.presses, key);
  } else {
    NoteKeyUp(&Keys.presses, key);
  }
}

bool NoteConversationKey(bool down) {
  const int key = Fl::event_key();
  PressedKey pressed;
  if (key >= '1' && key <= '9') {
    pressed = static_cast<PressedKey>(PressConversation1 + (key - '1'));
  } else if (key == FL_Page_Up || key == FL_Page_Down) {
    pressed = key == FL_Page_Up ? PressPreviousConversation : PressNextConversation;
  } else {
    return false;
  }
  if (!down) {
    NoteKeyUp(&Keys.presses, pressed);
    return false;  // a release is the widgets' too
  }
  const int state = Fl::event_state() & (FL_SHIFT | FL_CTRL | FL_ALT | FL_META);
  const bool paging = pressed == PressPreviousConversation || pressed == PressNextConversation;
  if (state != (paging ? FL_CTRL : FL_ALT)) return false;
  NoteKeyDown(&Keys.presses, pressed);
  if (paging) NoteConsoleScrollKey(key == FL_Page_Up ? HeldPageUp : HeldPageDown);
  return true;
}
