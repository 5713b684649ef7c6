// The one place where the link thread's events become console lines and changes of the
// connection's state, on the window's thread.
#include "app/attention.h"
#include "app/chat_log_choice.h"
#include "app/shell.h"
#include "app/command_interpreter.h"
#include "console/console_log.h"
#include "core/app_state.h"
#include "irc/link_watch.h"
#include "irc/receive_thread.h"
#include "irc/registration.h"
#include "irc/words/chat_lines.h"
#include "irc/words/reply_lines.h"
#include "platform/ticks.h"
#include "scene/speech.h"

namespace {

// Events applied in one pass at most: a burst of chat is on the console within a few frames,
// and a flood of it cannot hold a frame for long.
constexpr int kEventsPerPass = 64;

// The hints for a first visit follow the run's first member list, the end of a join: before
// it the registration's lines would push them out of the console's few rows.
void ShowFirstUseHints() {
  static bool shown = false;
  if (shown) return;
  shown = true;
  ConsoleAppend("QIVRA shows one IRC channel as a small 3D room shared by its members.");
  ConsoleAppend("Walk with the cursor keys; type to talk (Enter sends it, Escape walks again).");
  ConsoleAppend("F1 switches full screen, Escape leaves the room, /help lists the commands.");
}

void ApplyIrcEvent(const IrcEvent& event) {
  switch (event.kind) {
    case EventConnected: ConnectFinished(event.result); return;
    case EventRegistered: RegistrationFinished(event.text); return;
    case EventLinkEnded: LinkEnded(event.result == LinkClosedByServer); return;
    default: break;
  }
  static char line[kEventLineSize];
  if (!FormatEventLine(event.kind, event.nick, event.text, line, sizeof line)) return;
  ConsoleAppendMarked(line, MarkFor(event.kind, event.nick, event.text));
  LogChatEvent(event.kind, event.nick, event.text, line);
  // The channel's chat shows over the speaker's avatar too; private messages never do.
  if (event.kind == EventChannelMessage || event.kind == EventAction)
    ShowSpeech(event.nick, event.text, event.kind == EventAction, TickCountMs());
  if (event.kind == EventText && IsMemberListLine(event.text)) ShowFirstUseHints();
}

}  // namespace

void TakeLinkEvents() {
  static IrcEvent event;  // 4 KB: kept off the stack
  for (int i = 0; i < kEventsPerPass && AppState.connectionState != Offline; ++i) {
    if (!TakeIrcEvent(&event)) break;
    ApplyIrcEvent(event);
    // A nickname the server gave or changed reaches the echoes; before the registration is
    // sent the client's nickname is still the last connection's.
    ConnectionState state = AppState.connectionState;
    if (state == Registering || state == InChannel) SyncOwnNickname();
  }
}
