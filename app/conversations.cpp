// The open channels and conversations, found by the nickname rule, and the active one.
#include "app/conversations.h"

#include <cstdio>
#include <cstring>

#include "core/irc_case.h"
#include "irc/irc_event.h"
#include "irc/session.h"

ConversationsRecord Conversations = {{}, 0, -1, -1, ""};

namespace {

// The server's buffer goes to the first channel; any other conversation gets one of its own
// (the server's when none is left: its lines are still shown, only not apart).
int BufferFor(const char* name, ConversationKind kind) {
  bool serverTaken = false;
  for (int i = 0; i < Conversations.count; ++i) serverTaken = serverTaken || Conversations.list[i].buffer == 0;
  if (kind == ChannelConversation && !serverTaken) {
    ConsoleNameBuffer(0, name);
    return 0;
  }
  const int id = ConsoleOpenBuffer(name);
  return id > 0 ? id : 0;
}

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
  c.buffer = BufferFor(name, kind);
  return Conversations.count++;
}

void CloseConversation(int index) {
  if (index < 0 || index >= Conversations.count) return;
  const int buffer = Conversations.list[index].buffer;
  if (buffer > 0) ConsoleCloseBuffer(buffer);
  if (buffer == 0) ConsoleNameBuffer(0, "(server)");
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
  ConsoleShowBuffer(c.buffer);
  if (c.kind == ChannelConversation) Conversations.lastChannel = index;
  TellRoom();
}

void FollowChannelLeft() { TellRoom(); }

void ShowConversationAt(int index) {
  if (index >= 0 && index < Conversations.count && index != Conversations.active) ActivateConversation(index);
}

void ShowConversationBeside(int step) {
  const int count = Conversations.count;
  if (count < 2) return;
  const int from = Conversations.active < 0 ? 0 : Conversations.active;
  ShowConversationAt(((from + step) % count + count) % count);
}

void RenameConversation(int index, const char* name) {
  if (index < 0 || index >= Conversations.count || !name || !*name) return;
  Conversation& c = Conversations.list[index];
  std::snprintf(c.name, sizeof c.name, "%s", name);
  ConsoleNameBuffer(c.buffer, name);
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

void ForgetRejoins() {
  for (int i = Conversations.count - 1; i >= 0; --i)
    if (Conversations.list[i].kind == ChannelConversation && !Conversations.list[i].joined) CloseConversation(i);
  for (int i = 0; i < Conversations.count; ++i) Conversations.list[i].rejoin = false;
}

LineRoute RouteEventLine(int kind, const char* channel) {
  LineRoute route{-1, false};
  if (channel && channel[0]) route.conversation = FindConversation(channel);
  route.alsoShown = route.conversation >= 0 && (kind == EventLeft || kind == EventJoinRefused);
  return route;
}

int ConversationBuffer(int index) {
  return index >= 0 && index < Conversations.count ? Conversations.list[index].buffer : ConsoleShownBuffer();
}

void AppendToConversation(int index, const char* text, ConsoleMark mark, const char* speaker, int speakerOffset) {
  const int buffer = ConversationBuffer(index);
  ConsoleAppendTo(buffer, text, mark, speaker, speakerOffset);
  if (index < 0 || index >= Conversations.count || buffer == ConsoleShownBuffer()) return;
  Conversation& c = Conversations.list[index];
  ++c.unread;
  if (mark == MarkAttention) ++c.mentions;
}

void AppendRouted(const LineRoute& route, const char* text, ConsoleMark mark, const char* speaker, int speakerOffset) {
  const bool elsewhere = ConversationBuffer(route.conversation) != ConsoleShownBuffer();
  AppendToConversation(route.conversation, text, mark, speaker, speakerOffset);
  if (route.alsoShown && elsewhere) ConsoleAppendTo(ConsoleShownBuffer(), text, mark, speaker, speakerOffset);
}

void AppendOwnToPartner(const char* partner, const char* text) {
  ConsoleAppend(text);
  const int index = FindConversation(partner);
  const int buffer = ConversationBuffer(index);
  if (index >= 0 && buffer != ConsoleShownBuffer()) ConsoleAppendTo(buffer, text, MarkPlain, nullptr, 0);
}

void FormatBarLabel(int index, char* out, std::size_t size) {
  if (!out || size == 0) return;
  out[0] = '\0';
  if (index < 0 || index >= Conversations.count) return;
  const Conversation& c = Conversations.list[index];
  if (c.unread > 0) {
    std::snprintf(out, size, "%d %s (%d%s)", index + 1, c.name, c.unread, c.mentions > 0 ? "!" : "");
  } else {
    std::snprintf(out, size, "%d %s", index + 1, c.name);
  }
}
