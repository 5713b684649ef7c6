// Marked lines while the window is in the background: the count in the title and the urgency hint.
#include <cstdio>
#include <cstring>

#include "app/attention.h"
#include "app/conversations.h"
#include "core/app_state.h"
#include "console/settings.h"
#include "irc/session.h"
#include "platform/gui_window.h"

namespace {

struct AttentionRecord {
  int unseen;        // marked lines since the window was last active
  bool asked;        // the urgency hint is set
  SessionStatus status;  // the session's, copied once per use
};
AttentionRecord Attention;

const char* OwnNick() {
  CopySessionStatus(&Attention.status);
  return Attention.status.ownNick[0] ? Attention.status.ownNick : Settings.nickname;
}

}  // namespace

ConsoleMark MarkFor(int code, const char* rn, const char* rm) {
  ConsoleMark mark = EventMark(code, rn, rm, OwnNick());
  if (mark == MarkAttention && !AppState.isActive) {
    ++Attention.unseen;
    if (!Attention.asked) SetWindowAttention(AppState.mainWindow, true);
    Attention.asked = true;
  }
  return mark;
}

void RefreshWindowTitle() {
  const char* nick = AppState.connectionState == Offline ? Settings.nickname : OwnNick();
  const Conversation* active = AppState.connectionState == InChannel ? ActiveConversation() : nullptr;
  const char* channel = active ? active->name : "";
  char title[192];
  FormatWindowTitle(channel, nick, Attention.unseen, title, sizeof title);
  SetTopWindowTitle(AppState.mainWindow, title);
}

void NoteWindowActive(bool active) {
  if (!active) return;
  Attention.unseen = 0;
  if (Attention.asked) SetWindowAttention(AppState.mainWindow, false);
  Attention.asked = false;
}
