// Drawing an input field's text, selection and cursor with Pango, and mapping mouse positions to bytes.
#include "platform/text_input.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <cstring>

#include "platform/pango_text.h"

namespace {

constexpr int kMaxShown = 8300;  // the input line's 4,096 bytes with every one a control character fit

// The field's text as shown: a control character becomes "^" and its letter, as FLTK shows it
// (a pasted line break is "^J"). shownAt[i] is where source byte i starts in the shown text.
struct ShownText {
  char text[kMaxShown];
  int length;
  int shownAt[kMaxShown / 2];
  int sourceLength;
};

// The text as shown, made again by each draw and each mouse event (window's thread): 25 KB,
// kept off the stack.
struct TextInputRecord {
  ShownText drawn;
  ShownText clicked;
};
TextInputRecord Scratch;

void MakeShown(const char* value, int size, ShownText* out) {
  int n = 0, i = 0;
  for (; i < size && i < kMaxShown / 2 - 1 && n < kMaxShown - 3; ++i) {
    out->shownAt[i] = n;
    unsigned char c = static_cast<unsigned char>(value[i]);
    if (c < 0x20 || c == 0x7f) {
      out->text[n++] = '^';
      out->text[n++] = c == 0x7f ? '?' : static_cast<char>(c + '@');
    } else {
      out->text[n++] = value[i];
    }
  }
  out->shownAt[i] = n;
  out->sourceLength = i;
  out->length = n;
  out->text[n] = '\0';
}

// The source byte of a shown position: the last byte starting at or before it.
int SourceOf(const ShownText& shown, int at) {
  int i = 0;
  while (i < shown.sourceLength && shown.shownAt[i + 1] <= at) ++i;
  return i;
}

TextRgb RgbOf(Fl_Color colour) {
  unsigned char r = 0, g = 0, b = 0;
  Fl::get_color(colour, r, g, b);
  return TextRgb{r, g, b};
}

}  // namespace

void TextInput::draw() {
  if (damage() & FL_DAMAGE_ALL) draw_box(box(), color());
  const int ix = x() + Fl::box_dx(box()) + 2 + textInset, iy = y() + Fl::box_dy(box());
  const int iw = w() - Fl::box_dw(box()) - 4 - textInset, ih = h() - Fl::box_dh(box());
  if (iw <= 0 || ih <= 0) return;
  ShownText& shown = Scratch.drawn;
  MakeShown(value(), size(), &shown);
  const int size = textsize();
  const int cursor = shown.shownAt[position() < shown.sourceLength ? position() : shown.sourceLength];
  const int markAt = shown.shownAt[mark() < shown.sourceLength ? mark() : shown.sourceLength];
  const int cursorX = TextIndexToX(shown.text, shown.length, size, cursor);
  const int fullWidth = TextWidth(shown.text, shown.length, size, false);
  // Scrolled only as far as keeps the cursor inside, and never past the text's end.
  if (cursorX - scrollX > iw - 2) scrollX = cursorX - iw + 2;
  if (cursorX < scrollX) scrollX = cursorX > 8 ? cursorX - 8 : 0;
  if (fullWidth - scrollX < iw - 2) scrollX = fullWidth > iw - 2 ? fullWidth - iw + 2 : 0;

  const TextRgb background = RgbOf(active_r() ? color() : fl_inactive(color()));
  TextCanvas* canvas = CreateTextCanvas(iw, ih, background);
  if (!canvas) return;
  const int top = (ih - TextHeight(size)) / 2;
  TextSpan selected{0, 0, RgbOf(fl_contrast(textcolor(), selection_color())), false};
  int spans = 0;
  if (cursor != markAt) {
    selected.from = cursor < markAt ? cursor : markAt;
    selected.to = cursor < markAt ? markAt : cursor;
    int x0 = TextIndexToX(shown.text, shown.length, size, selected.from) - scrollX;
    int x1 = TextIndexToX(shown.text, shown.length, size, selected.to) - scrollX;
    FillTextRect(canvas, x0, 0, x1 - x0, ih, RgbOf(selection_color()));
    spans = 1;
  }
  DrawText(canvas, -scrollX, top, shown.text, shown.length, size, false,
           RgbOf(active_r() ? textcolor() : fl_inactive(textcolor())), &selected, spans);
  if (Fl::focus() == this && cursor == markAt && !readonly())
    FillTextRect(canvas, cursorX - scrollX, top, 1, TextHeight(size), RgbOf(cursor_color()));
  fl_draw_image(TextCanvasPixels(canvas), ix, iy, iw, ih, 3);
  DestroyTextCanvas(canvas);
}

int TextInput::HandleMouse(int event) {
  if (Fl::event_button() != FL_LEFT_MOUSE) return 0;
  ShownText& shown = Scratch.clicked;
  MakeShown(value(), size(), &shown);
  const int inner = x() + Fl::box_dx(box()) + 2 + textInset;
  int at = SourceOf(shown, TextXToIndex(shown.text, shown.length, textsize(), Fl::event_x() - inner + scrollX));
  switch (event) {
    case FL_PUSH:
      if (Fl::focus() != this) take_focus();
      if (Fl::event_clicks()) {  // a double click takes the whole word around the click
        int from = at, to = at;
        while (from > 0 && value()[from - 1] != ' ') --from;
        while (to < size() && value()[to] != ' ') ++to;
        position(to, from);
      } else {
        position(at, (Fl::event_state() & FL_SHIFT) ? mark() : at);
      }
      return 1;
    case FL_DRAG:
      position(at, mark());
      return 1;
    case FL_RELEASE:
      // What is selected becomes the X primary selection, as FLTK does for its own fields.
      if (position() != mark()) copy(0);
      return 1;
    default:
      return 0;
  }
}

int TextInput::handle(int event) {
  if ((event == FL_PUSH || event == FL_DRAG || event == FL_RELEASE) && HandleMouse(event)) return 1;
  return Fl_Input::handle(event);
}
