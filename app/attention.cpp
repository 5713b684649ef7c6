// Marked lines while the window is in the background: the count in the title and the urgency hint.
#include <cstdio>
#include <cstring>

#include "app/attention.h"
#include "core/app_state.h"
#include "console/settings.h"
#include "irc/irc_client.h"
#include "platform/gui_window.h"

namespace {

struct AttentionRecord {
  int unseen;        // marked lines since the window was last active
  bool asked;        // the urgency hint is set
  char ownNick[128];  // read under the client lock once per use (a server allows far shorter)
};
AttentionRecord Attention;

const char* OwnNick() {
  Irc.peerTable.Lock();
  std::snprintf(Attention.ownNick, sizeof Attention.ownNick, "%.127s",
                Irc.peerTable.self.nick[0] ? Irc.peerTable.self.nick : Settings.nickname);
  Irc.peerTable.Unlock();
  return Attention.ownNick;
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
  const char* channel = AppState.connectionState == InChannel ? Irc.channel : "";
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
