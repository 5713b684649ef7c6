// The conversations beside the view: the bar over the console, and the keys that switch between them.
#include "app/conversations.h"
#include "app/shell.h"
#include "core/app_state.h"
#include "platform/conversation_bar.h"
#include "platform/key_state.h"

namespace {

// Presses, like Escape's and F1's: one switch however long the key is held.
void TakeSwitchKeys() {
  for (int n = 0; n < 9; ++n)
    if (TakeKeyPress(static_cast<PressedKey>(PressConversation1 + n)) && AppState.isActive) ShowConversationAt(n);
  if (TakeKeyPress(PressPreviousConversation) && AppState.isActive) ShowConversationBeside(-1);
  if (TakeKeyPress(PressNextConversation) && AppState.isActive) ShowConversationBeside(1);
}

void ShowBarItems() {
  BarItem items[kMostBarItems] = {};  // zeroed whole: the bar compares them byte by byte
  const int count = Conversations.count < kMostBarItems ? Conversations.count : kMostBarItems;
  for (int i = 0; i < count; ++i) {
    const Conversation& c = Conversations.list[i];
    FormatBarLabel(i, items[i].text, sizeof items[i].text);
    items[i].active = i == Conversations.active;
    items[i].unread = c.unread > 0;
    items[i].mention = c.mentions > 0;
    items[i].left = c.kind == ChannelConversation && !c.joined;
  }
  SetConversationBarItems(AppState.conversationBar, items, count);
}

}  // namespace

bool ConversationBarWanted() { return Conversations.count >= 2; }

void KeepConversations() {
  TakeSwitchKeys();
  FollowConversationBar();
  ShowBarItems();
}
