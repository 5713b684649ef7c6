// The bar of conversations above the console: "1 #room  2 #club (3)  3 bob (1!)", the active one
// highlighted, a click on one shows it.
#pragma once

struct PlatformWindow;
struct ConversationBar;  // deleted with its window

constexpr int kConversationBarHeight = 18;  // pixels; the view gives them up while the bar shows
constexpr int kMostBarItems = 24;

struct BarItem {
  char text[160];
  bool active;   // the conversation shown: highlighted
  bool unread;   // lines came since it was last shown
  bool mention;  // one of them is marked for the user
  bool left;     // a channel the user is not in now: dimmed
};

// A click on an item goes to WindowHooks.barClick.

// Made hidden, as a child window of the main window over its view.
ConversationBar* CreateConversationBar(PlatformWindow* window, int x, int y, int width, int height);
void PlaceConversationBar(ConversationBar* bar, int x, int y, int width, int height, bool shown);
// The items, left to right; the bar is drawn again only when they changed.
void SetConversationBarItems(ConversationBar* bar, const BarItem* items, int count);
