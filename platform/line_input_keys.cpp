// Key events of the input line and the view sorted for typing, and the cue the line draws.
#include "platform/line_input_keys.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

namespace {

constexpr const char* kWalkingHint = "Press Enter or a letter to type \xE2\x80\x94 Escape twice leaves the room";

}  // namespace

bool EditKeyOfEvent(LineEditKey* key) {
  const bool ctrl = Fl::event_state(FL_CTRL) != 0;
  const bool shift = Fl::event_state(FL_SHIFT) != 0;  // with Shift the line's own keys select
  if (Fl::event_state(FL_ALT | FL_META)) return false;
  switch (Fl::event_key()) {
    case FL_Up: *key = EditHistoryBack; return !ctrl;
    case FL_Down: *key = EditHistoryForward; return !ctrl;
    case FL_Tab: *key = EditComplete; return !ctrl && !shift;
    case FL_Home: *key = EditLineStart; return !ctrl && !shift;
    case FL_End: *key = EditLineEnd; return !ctrl && !shift;
    case FL_Left: *key = EditWordLeft; return ctrl && !shift;
    case FL_Right: *key = EditWordRight; return ctrl && !shift;
    case 'w': *key = EditDeleteWord; return ctrl;
    case 'u': *key = EditDeleteToStart; return ctrl;
    default: return false;
  }
}

bool EventTypesText() {
  if (Fl::event_length() <= 0 || Fl::event_state(FL_CTRL | FL_ALT | FL_META)) return false;
  unsigned char first = static_cast<unsigned char>(Fl::event_text()[0]);
  return first >= 0x20 && first != 0x7F;
}

bool EventIsEnter() { return Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter; }

bool EventIsPaste() { return Fl::event_key() == 'v' && Fl::event_state(FL_CTRL) && !Fl::event_state(FL_ALT | FL_META); }

void DrawInputCue(int x, int y, int width, int height, bool typing, bool empty) {
  if (typing) {
    fl_color(fl_rgb_color(30, 100, 210));
    fl_rect(x, y, width, height);
    fl_rect(x + 1, y + 1, width - 2, height - 2);
    return;
  }
  if (!empty) return;
  fl_push_clip(x + 2, y + 1, width - 4, height - 2);
  fl_font(FL_HELVETICA_ITALIC, 12);
  fl_color(fl_rgb_color(128, 128, 128));
  fl_draw(kWalkingHint, x + 4, y + (height + fl_height()) / 2 - fl_descent());
  fl_pop_clip();
}
