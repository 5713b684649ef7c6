// The open channels and conversations, found by the nickname rule, and the active one.
#include "app/conversations.h"

#include <cstdio>
#include <cstring>

#include "core/irc_case.h"
#include "irc/session.h"

ConversationsRecord Conversations = {{}, 0, -1, -1, ""};

namespace {

void TellRoom() {
  const int c = Conversations.lastChannel;
  const bool shown = c >= 0 && Conversations.list[c].joined;
  SessionEnterRoom(shown ? Conversations.list[c].name : "");
}

}  // namespace

int FindConversation(const char* name) {
  for (int i = 0; i < Conversations.count; ++i)
    if (SameIrcName(Conversations.list[i].name, name)) return i;
  return -1;
}

int OpenConversation(const char* name, ConversationKind kind) {
  if (!name || !*name) return -1;
  int found = FindConversation(name);
  if (found >= 0) return found;
  if (Conversations.count >= kConversations) return -1;
  Conversation& c = Conversations.list[Conversations.count];
  c = Conversation{};
  std::snprintf(c.name, sizeof c.name, "%s", name);
  c.kind = kind;
  return Conversations.count++;
}

void CloseConversation(int index) {
  if (index < 0 || index >= Conversations.count) return;
  for (int i = index; i + 1 < Conversations.count; ++i) Conversations.list[i] = Conversations.list[i + 1];
  --Conversations.count;
  auto moved = [index](int& at) {
    if (at == index) at = -1;
    else if (at > index) --at;
  };
  moved(Conversations.active);
  moved(Conversations.lastChannel);
  if (Conversations.active < 0 && Conversations.count > 0)
    ActivateConversation(index < Conversations.count ? index : Conversations.count - 1);
  TellRoom();
}

void ActivateConversation(int index) {
  if (index < 0 || index >= Conversations.count) return;
  Conversations.active = index;
  Conversation& c = Conversations.list[index];
  c.unread = 0;
  c.mentions = 0;
  if (c.kind == ChannelConversation) Conversations.lastChannel = index;
  TellRoom();
}

const Conversation* ActiveConversation() {
  const int a = Conversations.active;
  return a >= 0 && a < Conversations.count ? &Conversations.list[a] : nullptr;
}

const char* CurrentChannel() {
  const int c = Conversations.lastChannel;
  return c >= 0 && c < Conversations.count ? Conversations.list[c].name : "";
}

void LeaveAllChannels() {
  for (int i = 0; i < Conversations.count; ++i) {
    Conversation& c = Conversations.list[i];
    if (c.joined) c.rejoin = true;
    c.joined = false;
  }
}

void RejoinList(char* out, int size) {
  int used = 0;
  out[0] = '\0';
  for (int i = 0; i < Conversations.count && used < size; ++i) {
    const Conversation& c = Conversations.list[i];
    if (c.kind != ChannelConversation || !c.rejoin) continue;
    int n = std::snprintf(out + used, static_cast<std::size_t>(size - used), "%s%s", used ? "," : "", c.name);
    if (n < 0 || used + n >= size) break;
    used += n;
  }
}
