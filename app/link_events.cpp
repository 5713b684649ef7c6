// The one place where the link thread's events become console lines, open conversations and
// changes of the connection's state, on the window's thread. Each event goes by its kind and
// its channel (or partner), never by the wording of its line: to that conversation's buffer.
#include <cstdio>

#include "app/arrival_watch.h"
#include "app/attention.h"
#include "app/chat_log_choice.h"
#include "app/command_interpreter.h"
#include "app/conversations.h"
#include "app/shell.h"
#include "console/console_log.h"
#include "console/settings.h"
#include "core/app_state.h"
#include "core/irc_case.h"
#include "irc/link_watch.h"
#include "irc/receive_thread.h"
#include "irc/session.h"
#include "irc/words/chat_lines.h"
#include "platform/ticks.h"
#include "scene/room_avatars.h"
#include "scene/speech.h"

namespace {

// Events applied in one pass at most: a burst of chat is on the console within a few frames,
// and a flood of it cannot hold a frame for long.
constexpr int kEventsPerPass = 64;

// What applying the events remembers across them (window's thread).
struct LinkEventsRecord {
  bool hintsShown;  // the hints for a first visit, once a run
  char partnerQuit[kConversationNameLength];  // the partner whose quit was just said in private
};
LinkEventsRecord LinkEvents;

// The hints for a first visit follow the run's first member list, the end of a join: before
// it the registration's lines would push them out of the console's few rows.
void ShowFirstUseHints() {
  if (LinkEvents.hintsShown) return;
  LinkEvents.hintsShown = true;
  ConsoleAppend("QIVRA shows one IRC channel as a small 3D room shared by its members.");
  ConsoleAppend("Walk with the cursor keys, drag on the view to look; type to talk (Enter sends it).");
  ConsoleAppend("F1 switches full screen, Escape twice leaves the room, /help lists the commands.");
}

// What the user's own channels do: joined, left, refused.
void FollowOwnChannels(const IrcEvent& e) {
  if (e.kind == EventJoined) {
    const int index = OpenConversation(e.channel, ChannelConversation);
    if (index < 0) return;
    Conversations.list[index].joined = true;
    Conversations.list[index].rejoin = false;
    // The channel the user asked for, or the first one, is shown.
    const bool asked = SameIrcName(Conversations.activateOnJoin, e.channel);
    if (asked) Conversations.activateOnJoin[0] = '\0';
    if (asked || !ActiveConversation() || ActiveConversation()->kind != ChannelConversation ||
        !ActiveConversation()->joined)
      ActivateConversation(index);
  } else if (e.kind == EventLeft || e.kind == EventJoinRefused) {
    const int index = FindConversation(e.channel);
    if (index >= 0) Conversations.list[index].joined = false;
    if (index >= 0 && index == Conversations.lastChannel) FollowChannelLeft();  // its room empties
  } else if (e.kind == EventPrivateMessage || (e.kind == EventAction && e.channel[0] && !IsChannelName(e.channel))) {
    OpenConversation(e.channel, PrivateConversation);
  }
}

// A partner's new nickname (said once per channel shared): the private conversation takes it,
// so that its lines and the user's go on in it, and says so.
void FollowPartnerNick(const IrcEvent& e, const char* line) {
  const int index = FindConversation(e.nick), taken = FindConversation(e.text);
  if (index < 0 || Conversations.list[index].kind != PrivateConversation || (taken >= 0 && taken != index)) return;
  RenameConversation(index, e.text);
  AppendToConversation(index, line, MarkPlain, nullptr, 0);
}

// A partner's quit (said once per channel shared, one event after the other) is said once in the
// private conversation too: the user talking there learns the partner is gone.
void FollowPartnerQuit(const IrcEvent& e, const char* line, int saidInBuffer) {
  const bool again = e.kind == EventQuit && SameIrcName(LinkEvents.partnerQuit, e.nick);
  LinkEvents.partnerQuit[0] = '\0';
  if (e.kind != EventQuit) return;
  std::snprintf(LinkEvents.partnerQuit, sizeof LinkEvents.partnerQuit, "%.*s", kConversationNameLength - 1, e.nick);
  const int index = FindConversation(e.nick);
  if (again || index < 0 || Conversations.list[index].kind != PrivateConversation) return;
  if (ConversationBuffer(index) != saidInBuffer) AppendToConversation(index, line, MarkPlain, nullptr, 0);
}

void ApplyIrcEvent(const IrcEvent& event) {
  switch (event.kind) {
    case EventConnected: ConnectFinished(event.result, event.report); return;
    case EventRegistered: RegistrationFinished(event.text); return;
    case EventLinkEnded: LinkEnded(event.result == LinkClosedByServer, event.report); return;
    default: break;
  }
  FollowOwnChannels(event);
  NoteArrivalEvent(event);  // who came to the room before us
  char line[kEventLineSize];
  if (!FormatEventLine(event, line, sizeof line)) return;
  const int speaker = SpeakerOffset(event.kind);
  const ConsoleMark mark = MarkFor(event.kind, event.nick, event.text);
  const LineRoute route = RouteEventLine(event.kind, event.channel);
  const int saidInBuffer = ConversationBuffer(route.conversation);
  AppendRouted(route, line, mark, speaker >= 0 ? event.nick : nullptr, speaker);
  if (event.kind == EventNickChange) FollowPartnerNick(event, line);
  FollowPartnerQuit(event, line, saidInBuffer);
  LogChatEvent(event, line);
  // The chat of the room shown appears over the speaker's avatar too; private messages never do.
  if ((event.kind == EventChannelMessage || event.kind == EventAction) && SameIrcName(event.channel, RoomAvatars.channel))
    ShowSpeech(event.nick, event.text, event.kind == EventAction, TickCountMs());
  if (event.kind == EventMemberList && event.result > 0) ShowFirstUseHints();
}

// A nickname the server gave or changed reaches the echoes; before the registration is sent
// the client's nickname is still the last connection's.
void SyncOwnNickname() {
  SessionStatus status;
  CopySessionStatus(&status);
  if (status.ownNick[0]) std::snprintf(Settings.nickname, kSettingLength, "%s", status.ownNick);
}

}  // namespace

void TakeLinkEvents() {
  IrcEvent event;
  for (int i = 0; i < kEventsPerPass && AppState.connectionState != Offline; ++i) {
    if (!TakeIrcEvent(&event)) break;
    ApplyIrcEvent(event);
    ConnectionState state = AppState.connectionState;
    if (state == Registering || state == InChannel) SyncOwnNickname();
  }
}
