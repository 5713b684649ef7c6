// The conversation bar drawn with Pango like the console panel: one item per conversation, clickable.
#include "platform/conversation_bar.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <cstring>

#include "platform/gui_window.h"
#include "platform/pango_text.h"
#include "platform/top_window_children.h"

namespace {

// The console's colours, so the bar reads as the panel's top; the active item as a selection,
// mentions in the amber of the panel's marked rows.
const TextRgb kBackground{34, 36, 40}, kBorder{96, 98, 104}, kActive{62, 94, 150};
const TextRgb kRead{150, 152, 160}, kUnread{235, 235, 235}, kMention{255, 186, 90}, kLeft{100, 102, 108};
const TextRgb kNumber{120, 140, 170};
constexpr int kTypeSize = 12;
constexpr int kItemPadding = 6, kItemGap = 4;

TextRgb ItemColour(const BarItem& item) {
  if (item.active) return kUnread;
  if (item.mention) return kMention;
  if (item.left) return kLeft;
  return item.unread ? kUnread : kRead;
}

}  // namespace

struct ConversationBar : public Fl_Window {
  ConversationBar(int x, int y, int w, int h) : Fl_Window(x, y, w, h) {}
  void draw() override;
  int handle(int event) override;
  BarItem items[kMostBarItems] = {};
  int count = 0;
  int right[kMostBarItems] = {};  // each drawn item's right edge; 0 for one that did not fit
};

void ConversationBar::draw() {
  TextCanvas* canvas = CreateTextCanvas(w(), h(), kBackground);
  if (!canvas) return;
  FillTextRect(canvas, 0, 0, w(), 1, kBorder);
  int widths[kMostBarItems], active = 0;
  for (int i = 0; i < count; ++i) {
    const int length = static_cast<int>(strnlen(items[i].text, sizeof items[i].text));
    widths[i] = TextWidth(items[i].text, length, kTypeSize, items[i].active) + 2 * kItemPadding + kItemGap;
    if (items[i].active) active = i;
  }
  // More than the width holds: the row starts late enough for the one shown to be in it.
  int first = 0, reach = 2;
  for (int i = 0; i <= active && i < count; ++i) reach += widths[i];
  while (first < active && reach > w()) reach -= widths[first++];
  int x = 2;
  std::memset(right, 0, sizeof right);
  for (int i = first; i < count; ++i) {
    const BarItem& item = items[i];
    const int length = static_cast<int>(strnlen(item.text, sizeof item.text));
    const int width = widths[i] - kItemGap;
    if (x + width > w()) break;  // the rest is left out, as a row of tabs would
    if (item.active) FillTextRect(canvas, x, 2, width, h() - 3, kActive);
    const TextSpan number{0, static_cast<int>(std::strcspn(item.text, " ")), item.active ? kUnread : kNumber, false};
    DrawText(canvas, x + kItemPadding, 1 + (h() - 1 - TextHeight(kTypeSize)) / 2, item.text, length, kTypeSize,
             item.active, ItemColour(item), &number, 1);
    x += width;
    right[i] = x;
    x += kItemGap;
  }
  fl_draw_image(TextCanvasPixels(canvas), 0, 0, w(), h(), 3);
  DestroyTextCanvas(canvas);
}

int ConversationBar::handle(int event) {
  if (event == FL_PUSH && Fl::event_button() == FL_LEFT_MOUSE) {
    int left = 0;
    for (int i = 0; i < count; ++i) {
      if (!right[i]) continue;
      if (Fl::event_x() >= left && Fl::event_x() < right[i] && WindowHooks.barClick) WindowHooks.barClick(i);
      left = right[i];
    }
    return 1;  // the keyboard stays where it was: the bar never takes the focus
  }
  return event == FL_RELEASE || event == FL_DRAG ? 1 : Fl_Window::handle(event);
}

ConversationBar* CreateConversationBar(PlatformWindow* window, int x, int y, int width, int height) {
  ConversationBar* bar = new ConversationBar(x, y, width, height);
  bar->end();
  bar->clear_visible_focus();
  if (!AddTopWindowChild(window, bar)) {
    delete bar;
    return nullptr;
  }
  bar->hide();
  return bar;
}

void PlaceConversationBar(ConversationBar* bar, int x, int y, int width, int height, bool shown) {
  if (!bar) return;
  bar->resize(x, y, width, height);
  if (shown && !bar->visible()) {
    bar->show();
    if (bar->shown()) XRaiseWindow(fl_display, fl_xid(bar));  // over the view, as the panel is
  } else if (!shown && bar->visible()) {
    bar->hide();
  }
}

void SetConversationBarItems(ConversationBar* bar, const BarItem* items, int count) {
  if (!bar) return;
  if (count > kMostBarItems) count = kMostBarItems;
  if (count == bar->count && std::memcmp(items, bar->items, sizeof(BarItem) * static_cast<std::size_t>(count)) == 0)
    return;  // nothing changed: nothing is drawn
  std::memcpy(bar->items, items, sizeof(BarItem) * static_cast<std::size_t>(count));
  bar->count = count;
  bar->redraw();
}
