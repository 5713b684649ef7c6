// The console panel drawn with Pango: nick colours, links, marked rows, the mouse selection and the divider.
#include "platform/panel_box.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <cstdio>
#include <cstring>

#include "platform/gui_window.h"
#include "platform/pango_text.h"

namespace {

// Light text on dark grey, which the nickname colours are made to read on.
const TextRgb kBackground{34, 36, 40}, kText{222, 222, 222}, kAttention{92, 64, 24};
const TextRgb kLink{120, 175, 255}, kSelection{62, 94, 150}, kMarker{150, 185, 255};
const TextRgb kBorder{96, 98, 104}, kDivider{150, 152, 160};
constexpr int kDividerZone = 4;  // pixels at the panel's top where the divider is caught
constexpr int kTextLeft = 3, kTextRight = 3;  // pixels between the text and the panel's sides
constexpr int kTypeSize = 12;  // every row's: a long line is carried over to further rows

bool Before(int rowA, int byteA, int rowB, int byteB) { return rowA < rowB || (rowA == rowB && byteA < byteB); }

}  // namespace

PanelBox::~PanelBox() = default;

int PanelBox::RowFit(const char* text, int length) const {
  return TextFitLength(text, length, kTypeSize, w() - kTextLeft - kTextRight);
}

void PanelBox::ShiftSelection(int rowsUp) {
  anchor.row -= rowsUp;
  focus.row -= rowsUp;
  if (anchor.row < 0 || focus.row < 0) anchor = focus = Point{0, 0};
}

void PanelBox::SetRows(const PanelRow* given, int givenCount, const char* givenMarker) {
  if (givenCount > kMaxShownRows) givenCount = kMaxShownRows;
  // Rows that only moved up keep their selection with them, as a terminal's does.
  int moved = -1;
  for (int k = 0; k <= count && moved < 0; ++k) {
    bool same = true;
    for (int i = 0; i + k < count && i < givenCount && same; ++i)
      same = std::strncmp(rows[i + k].text, given[i].text ? given[i].text : "", kPanelRowBytes - 1) == 0;
    if (same) moved = k;
  }
  bool changed = givenCount != count || moved != 0 || std::strcmp(marker, givenMarker ? givenMarker : "") != 0;
  for (int i = 0; i < givenCount; ++i) {
    Row& row = rows[i];
    const char* text = given[i].text ? given[i].text : "";
    int length = static_cast<int>(strnlen(text, kPanelRowBytes - 1));
    changed = changed || row.attention != given[i].attention || row.spanCount != given[i].spanCount;
    std::memcpy(row.text, text, static_cast<std::size_t>(length));
    row.text[length] = '\0';
    row.length = length;
    row.attention = given[i].attention;
    row.spanCount = given[i].spanCount > kMaxPanelSpans ? kMaxPanelSpans : given[i].spanCount;
    std::memcpy(row.spans, given[i].spans, sizeof(PanelSpan) * static_cast<std::size_t>(row.spanCount));
  }
  count = givenCount;
  std::snprintf(marker, sizeof marker, "%s", givenMarker ? givenMarker : "");
  if (moved < 0) anchor = focus = Point{0, 0};
  else if (moved > 0) ShiftSelection(moved);
  if (changed) redraw();  // nothing changed: nothing is drawn, so an unchanged console costs no frame
}

void PanelBox::draw() {
  TextCanvas* canvas = CreateTextCanvas(w(), h(), kBackground);
  if (!canvas) return;
  FillTextRect(canvas, 0, 0, w(), 1, kDivider);
  FillTextRect(canvas, 0, h() - 1, w(), 1, kBorder);
  FillTextRect(canvas, 0, 0, 1, h(), kBorder);
  FillTextRect(canvas, w() - 1, 0, 1, h(), kBorder);
  Point from = Before(focus.row, focus.byte, anchor.row, anchor.byte) ? focus : anchor;
  Point to = Before(focus.row, focus.byte, anchor.row, anchor.byte) ? anchor : focus;
  for (int i = 0; i < count; ++i) {
    Row& row = rows[i];
    const int top = 1 + i * kPanelRowHeight;
    const bool last = i == count - 1;
    const int markerWidth = last && marker[0] ? TextWidth(marker, static_cast<int>(std::strlen(marker)), 11, true) + 8 : 0;
    const TextRgb band = row.attention ? kAttention : kBackground;
    if (row.attention) FillTextRect(canvas, 1, top, w() - 2, kPanelRowHeight, kAttention);
    if (!Before(i, 0, from.row, 0) && !Before(to.row, 0, i, 0) && Before(from.row, from.byte, to.row, to.byte)) {
      int a = i == from.row ? from.byte : 0, b = i == to.row ? to.byte : row.length;
      int x0 = TextIndexToX(row.text, row.length, kTypeSize, a), x1 = TextIndexToX(row.text, row.length, kTypeSize, b);
      if (b == row.length && i != to.row) x1 += 4;  // the line's end is part of it
      FillTextRect(canvas, kTextLeft + x0, top, x1 - x0, kPanelRowHeight, kSelection);
    }
    TextSpan spans[kMaxPanelSpans];
    for (int s = 0; s < row.spanCount; ++s) {
      const PanelSpan& p = row.spans[s];
      spans[s] = TextSpan{p.from, p.to, p.link ? kLink : TextRgb{p.r, p.g, p.b}, p.link};
    }
    const int textTop = top + (kPanelRowHeight - TextHeight(kTypeSize)) / 2;
    DrawText(canvas, kTextLeft, textTop, row.text, row.length, kTypeSize, false, kText, spans, row.spanCount);
    if (markerWidth) {  // over the end of a full last row, on its own patch of the row's colour
      FillTextRect(canvas, w() - markerWidth - 2, top, markerWidth + 1, kPanelRowHeight, band);
      DrawText(canvas, w() - markerWidth + 2, top + (kPanelRowHeight - TextHeight(11)) / 2, marker,
               static_cast<int>(std::strlen(marker)), 11, true, kMarker, nullptr, 0);
    }
  }
  fl_draw_image(TextCanvasPixels(canvas), x(), y(), w(), h(), 3);
  DestroyTextCanvas(canvas);
}

PanelBox::Point PanelBox::PointAt(int mx, int my) const {
  int row = (my - 1) / kPanelRowHeight;
  if (my < 1 || count == 0) return Point{0, 0};
  if (row >= count) return Point{count - 1, rows[count - 1].length};
  const Row& r = rows[row];
  return Point{row, TextXToIndex(r.text, r.length, kTypeSize, mx - kTextLeft)};
}

const PanelSpan* PanelBox::LinkAt(int mx, int my) const {
  if (my < 1 || (my - 1) / kPanelRowHeight >= count) return nullptr;
  const Row& r = rows[(my - 1) / kPanelRowHeight];
  const int size = kTypeSize;
  for (int s = 0; s < r.spanCount; ++s) {
    if (!r.spans[s].link) continue;
    int x0 = kTextLeft + TextIndexToX(r.text, r.length, size, r.spans[s].from);
    int x1 = kTextLeft + TextIndexToX(r.text, r.length, size, r.spans[s].to);
    if (mx >= x0 && mx < x1) return &r.spans[s];
  }
  return nullptr;
}

int PanelBox::SelectedText(char* out, int size) const {
  Point from = Before(focus.row, focus.byte, anchor.row, anchor.byte) ? focus : anchor;
  Point to = Before(focus.row, focus.byte, anchor.row, anchor.byte) ? anchor : focus;
  int used = 0;
  for (int i = from.row; i <= to.row && i < count; ++i) {
    int a = i == from.row ? from.byte : 0, b = i == to.row ? to.byte : rows[i].length;
    if (i > from.row && used < size - 1) out[used++] = '\n';
    int n = b - a;
    if (n > size - 1 - used) n = size - 1 - used;
    if (n > 0) std::memcpy(out + used, rows[i].text + a, static_cast<std::size_t>(n));
    if (n > 0) used += n;
  }
  out[used] = '\0';
  return used;
}

bool PanelBox::CopySelection(int clipboard) {
  char text[kMaxShownRows * kPanelRowBytes];
  int length = SelectedText(text, sizeof text);
  if (length == 0) return false;
  Fl::copy(text, length, clipboard);
  return true;
}

// The panel's bottom stays where it is; the pointer sets its top (frame coordinates).
int PanelBox::RowsAtPointer() const {
  int pointer = Fl::event_y_root() - top_window()->y_root();
  int bottom = window()->y() + y() + h();
  return (bottom - 1 - pointer + kPanelRowHeight / 2) / kPanelRowHeight;
}

int PanelBox::HandleMouse(int event) {
  const int mx = Fl::event_x() - x(), my = Fl::event_y() - y();
  Fl_Window* frame = top_window();
  switch (event) {
    case FL_ENTER:
    case FL_MOVE:
      if (window()) window()->cursor(my < kDividerZone ? FL_CURSOR_NS : LinkAt(mx, my) ? FL_CURSOR_HAND : FL_CURSOR_DEFAULT);
      return 1;
    case FL_LEAVE:
      if (window() && !resizing) window()->cursor(FL_CURSOR_DEFAULT);
      return 1;
    case FL_PUSH:
      if (onClick && Fl::event_button() == FL_LEFT_MOUSE) onClick();
      if (Fl::event_button() != FL_LEFT_MOUSE) return 1;
      resizing = my < kDividerZone;
      resizeRows = count;
      selecting = !resizing;
      if (selecting) {
        anchor = focus = PointAt(mx, my);
        redraw();
      }
      return 1;
    case FL_DRAG:
      if (resizing && frame && WindowHooks.panelResize) {
        int rowsWanted = RowsAtPointer();
        if (rowsWanted != resizeRows) {
          resizeRows = rowsWanted;
          WindowHooks.panelResize(rowsWanted, false);
        }
      } else if (selecting) {
        Point at = PointAt(mx, my);
        if (at.row != focus.row || at.byte != focus.byte) {
          focus = at;
          redraw();
        }
      }
      return 1;
    case FL_RELEASE:
      if (resizing) {
        resizing = false;
        if (frame) resizeRows = RowsAtPointer();  // where the button came up, moved or not
        if (WindowHooks.panelResize) WindowHooks.panelResize(resizeRows, true);
      } else if (selecting) {
        selecting = false;
        focus = PointAt(mx, my);  // where the button came up ends the selection, moved or not
        redraw();
        const PanelSpan* link = anchor.row == focus.row && anchor.byte == focus.byte ? LinkAt(mx, my) : nullptr;
        if (link) OpenInBrowser(rows[(my - 1) / kPanelRowHeight].text + link->from, link->to - link->from);
        else CopySelection(0);  // the primary selection, as a terminal makes it
      }
      return 1;
    default:
      return 0;
  }
}
