// The member list as an FLTK child window over the view, drawn with Pango like the console panel.
#include "platform/member_list.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <cstdio>
#include <cstring>

#include "platform/frame_children.h"
#include "platform/gui_window.h"
#include "platform/pango_text.h"

namespace {

// The console's colours: the nickname colours are made to read on its grey.
const TextRgb kBackground{34, 36, 40}, kText{222, 222, 222}, kBorder{96, 98, 104};
const TextRgb kGrey{150, 152, 160}, kHover{50, 53, 60};
constexpr int kLeft = 8, kRight = 6;           // pixels between the text and the list's sides
constexpr int kNameSize = 13, kSmallSize = 11;  // the name's type, and that of the rest
constexpr int kWheelRows = 3;

struct Row {
  int id;
  char name[80];
  TextRgb colour;
  char note[24];
  char state[136];
  bool standing;
};

bool SameRow(const Row& a, const MemberListRow& b) {
  return a.id == b.id && a.standing == b.standing && a.colour.r == b.r && a.colour.g == b.g && a.colour.b == b.b &&
         std::strncmp(a.name, b.name ? b.name : "", sizeof a.name - 1) == 0 &&
         std::strncmp(a.note, b.note ? b.note : "", sizeof a.note - 1) == 0 &&
         std::strncmp(a.state, b.state ? b.state : "", sizeof a.state - 1) == 0;
}

// Bytes of text that fit width pixels, cut between characters; an ellipsis follows a cut one.
int FitWidth(const char* text, int size, bool bold, int width, bool* cut) {
  int length = static_cast<int>(std::strlen(text));
  *cut = false;
  if (TextWidth(text, length, size, bold) <= width) return length;
  *cut = true;
  const int room = width - TextWidth("\xE2\x80\xA6", 3, size, bold);
  while (length > 0 && TextWidth(text, length, size, bold) > room) {
    do --length;
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80);  // a character's start
  }
  return length;
}

void DrawFitted(TextCanvas* canvas, int x, int y, const char* text, int size, bool bold, TextRgb colour, int width) {
  bool cut = false;
  const int length = FitWidth(text, size, bold, width, &cut);
  char shown[sizeof(Row::state) + 4];
  std::snprintf(shown, sizeof shown, "%.*s%s", length, text, cut ? "\xE2\x80\xA6" : "");
  DrawText(canvas, x, y, shown, static_cast<int>(std::strlen(shown)), size, bold, colour, nullptr, 0);
}

TextRgb Faded(TextRgb c) {
  return TextRgb{static_cast<unsigned char>((c.r + kBackground.r) / 2),
                 static_cast<unsigned char>((c.g + kBackground.g) / 2),
                 static_cast<unsigned char>((c.b + kBackground.b) / 2)};
}

}  // namespace

struct PlatformMemberList : public Fl_Window {
  PlatformMemberList(int x, int y, int w, int h, PlatformWindow* owner) : Fl_Window(x, y, w, h), owner(owner) {}
  void draw() override;
  int handle(int event) override;
  int RowAt(int my) const;  // the row under the pointer, or -1
  int VisibleRows() const { return (h() - kMemberListHeadHeight) / kMemberListRowHeight; }
  void ScrollBy(int rows);

  PlatformWindow* owner;
  char title[160] = "";
  Row rows[kMemberListMostRows];
  int count = 0;
  int first = 0;   // the top row shown
  int hover = -1;  // the row under the pointer
};

int PlatformMemberList::RowAt(int my) const {
  if (my < kMemberListHeadHeight) return -1;
  const int row = first + (my - kMemberListHeadHeight) / kMemberListRowHeight;
  return row < count ? row : -1;
}

void PlatformMemberList::ScrollBy(int by) {
  int most = count - VisibleRows();
  if (most < 0) most = 0;
  int next = first + by;
  next = next < 0 ? 0 : (next > most ? most : next);
  if (next != first) {
    first = next;
    redraw();
  }
}

void PlatformMemberList::draw() {
  TextCanvas* canvas = CreateTextCanvas(w(), h(), kBackground);
  if (!canvas) return;
  FillTextRect(canvas, 0, 0, 1, h(), kBorder);
  const int width = w() - kLeft - kRight;
  DrawFitted(canvas, kLeft, (kMemberListHeadHeight - TextHeight(kNameSize)) / 2, title, kNameSize, true, kText, width);
  FillTextRect(canvas, 1, kMemberListHeadHeight - 2, w() - 1, 1, kBorder);
  const int shown = VisibleRows();
  for (int k = 0; k < shown && first + k < count; ++k) {
    const Row& row = rows[first + k];
    const int top = kMemberListHeadHeight + k * kMemberListRowHeight;
    if (first + k == hover) FillTextRect(canvas, 1, top, w() - 1, kMemberListRowHeight - 1, kHover);
    const TextRgb nameColour = row.standing ? row.colour : Faded(row.colour);
    bool cut = false;
    const int noteBytes = static_cast<int>(std::strlen(row.note));
    const int noteWidth = noteBytes ? TextWidth(row.note, noteBytes, kSmallSize, false) + 6 : 0;
    const int nameLength = FitWidth(row.name, kNameSize, true, width - noteWidth, &cut);
    char name[sizeof row.name + 4];
    std::snprintf(name, sizeof name, "%.*s%s", nameLength, row.name, cut ? "\xE2\x80\xA6" : "");
    const int nameBytes = static_cast<int>(std::strlen(name));
    DrawText(canvas, kLeft, top + 3, name, nameBytes, kNameSize, true, nameColour, nullptr, 0);
    if (noteWidth)
      DrawText(canvas, kLeft + TextWidth(name, nameBytes, kNameSize, true) + 6, top + 5, row.note, noteBytes,
               kSmallSize, false, kGrey, nullptr, 0);
    DrawFitted(canvas, kLeft + 10, top + 19, row.state, kSmallSize, false, row.standing ? kText : kGrey, width - 10);
  }
  if (first + shown < count) {  // more below: the wheel brings them
    char more[32];
    std::snprintf(more, sizeof more, "\xE2\x96\xBE %d more", count - first - shown);
    const int moreWidth = TextWidth(more, static_cast<int>(std::strlen(more)), kSmallSize, false);
    FillTextRect(canvas, w() - moreWidth - 2 * kRight, h() - TextHeight(kSmallSize) - 2, moreWidth + 2 * kRight,
                 TextHeight(kSmallSize) + 2, kBackground);
    DrawText(canvas, w() - moreWidth - kRight, h() - TextHeight(kSmallSize) - 1, more,
             static_cast<int>(std::strlen(more)), kSmallSize, false, kGrey, nullptr, 0);
  }
  fl_draw_image(TextCanvasPixels(canvas), 0, 0, w(), h(), 3);
  DestroyTextCanvas(canvas);
}

int PlatformMemberList::handle(int event) {
  const int my = Fl::event_y();
  switch (event) {
    case FL_ENTER:
    case FL_MOVE: {
      const int at = RowAt(my);
      if (at != hover) {
        hover = at;
        redraw();
      }
      return 1;
    }
    case FL_LEAVE:
      if (hover != -1) {
        hover = -1;
        redraw();
      }
      return 1;
    case FL_PUSH:
      if (Fl::event_button() != FL_LEFT_MOUSE) return 1;
      SetTyping(owner, false);
      if (Fl::event_clicks() > 0 && RowAt(my) >= 0 && WindowHooks.memberChosen)
        WindowHooks.memberChosen(rows[RowAt(my)].id);
      return 1;
    case FL_DRAG:
    case FL_RELEASE:
      return 1;
    case FL_MOUSEWHEEL:
      ScrollBy(Fl::event_dy() * kWheelRows);
      return 1;
    default:
      return 0;
  }
}

PlatformMemberList* CreateMemberList(PlatformWindow* window) {
  Fl_Window* frame = TopFrame(window);
  if (!frame) return nullptr;
  Fl_Group::current(nullptr);
  PlatformMemberList* list = new PlatformMemberList(0, 0, 1, 1, window);  // X wants no window of size 0
  list->end();
  list->clear_visible_focus();
  frame->add(list);
  list->clear_visible();  // shown by the first placing that shows it
  return list;
}

void PlaceMemberList(PlatformMemberList* list, int x, int y, int width, int height, bool shown) {
  if (!list) return;
  if (!shown || width < 1 || height < 1) {
    if (list->shown()) list->hide();
    list->clear_visible();
    return;
  }
  list->resize(x, y, width, height);
  list->ScrollBy(0);  // a taller list may show the rows scrolled past
  Fl_Window* frame = list->window();
  if (!list->shown() && frame && frame->shown()) list->show();
  if (list->shown()) XRaiseWindow(fl_display, fl_xid(list));  // over the view that covers the client area
}

void SetMemberListRows(PlatformMemberList* list, const char* title, const MemberListRow* given, int count) {
  if (!list) return;
  if (count > kMemberListMostRows) count = kMemberListMostRows;
  if (count < 0) count = 0;
  bool changed = count != list->count || std::strncmp(list->title, title ? title : "", sizeof list->title - 1) != 0;
  for (int i = 0; i < count && !changed; ++i) changed = !SameRow(list->rows[i], given[i]);
  if (!changed) return;
  std::snprintf(list->title, sizeof list->title, "%s", title ? title : "");
  for (int i = 0; i < count; ++i) {
    Row& row = list->rows[i];
    const MemberListRow& g = given[i];
    row.id = g.id;
    std::snprintf(row.name, sizeof row.name, "%s", g.name ? g.name : "");
    std::snprintf(row.note, sizeof row.note, "%s", g.note ? g.note : "");
    std::snprintf(row.state, sizeof row.state, "%s", g.state ? g.state : "");
    row.colour = TextRgb{g.r, g.g, g.b};
    row.standing = g.standing;
  }
  list->count = count;
  if (list->hover >= count) list->hover = -1;
  list->ScrollBy(0);
  list->redraw();
}
