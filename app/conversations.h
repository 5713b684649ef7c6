// The channels and private conversations the user has open, and the active one: where plain
// lines go, whose room is shown, what the title names; each with its own console buffer.
#pragma once
#include <cstddef>

#include "console/console_log.h"

constexpr int kConversations = 24;             // 16 channels and a few private partners at once
constexpr int kConversationNameLength = 128;

enum ConversationKind { ChannelConversation, PrivateConversation };

struct Conversation {
  char name[kConversationNameLength];  // "#room", or the partner's nickname
  ConversationKind kind;
  bool joined;      // a channel the user is in now (lines may go to it)
  bool rejoin;      // joined when the connection ended: joined again on reconnecting
  int unread;       // lines added while it was not the one shown
  int mentions;     // of them, lines marked for the user
  int buffer;       // its console buffer: the first channel has the server's (0)
};

struct ConversationsRecord {
  Conversation list[kConversations];
  int count;
  int active;                                 // -1: none
  int lastChannel;                            // the channel whose room shows (-1: none)
  char activateOnJoin[kConversationNameLength];  // a "/join" the user typed: shown when in
};

extern ConversationsRecord Conversations;  // window's thread

// The conversation of that name (the nickname rule), or -1.
int FindConversation(const char* name);
// The conversation of that name, opened (not made active) when new, with a console buffer of its
// own; the first channel takes over the server's buffer, so the registration's lines and the
// message of the day stay above its first lines. -1 when all are taken.
int OpenConversation(const char* name, ConversationKind kind);
void CloseConversation(int index);
// Makes it the active one: its buffer shows (its counts are cleared) and its room when it is a
// channel.
void ActivateConversation(int index);
// The channel whose room shows was left: the session is told, the conversation shown stays.
void FollowChannelLeft();
// Alt+N and a click on the bar: the conversation at index (nothing beyond the list); Ctrl+Page
// Up / Down: the one step places before or after the active one, round the list.
void ShowConversationAt(int index);
void ShowConversationBeside(int step);
// A partner's new nickname: the conversation and its buffer follow it.
void RenameConversation(int index, const char* name);
const Conversation* ActiveConversation();  // null: none
// The channel commands act on: the active one, or the last channel active before a private
// conversation; "" when none.
const char* CurrentChannel();
// Offline: every channel is left; those the user was in are joined again on reconnecting.
void LeaveAllChannels();
// The channels to join again, "#a,#b" (at most size bytes); "" none.
void RejoinList(char* out, int size);
// A connect by hand joins the settings' channels, not those of the last connection: the channels
// of that connection are closed (one the settings name again opens afresh, its lines kept in the
// log); private conversations stay.
void ForgetRejoins();

// Where an event's line goes: the conversation of its channel or partner, or -1 for the buffer
// shown (server text, notices to the user, a channel with no conversation); alsoShown: the
// buffer shown gets it too when that is another (the user's own channel left or refused).
struct LineRoute {
  int conversation;
  bool alsoShown;
};
LineRoute RouteEventLine(int kind, const char* channel);
// The conversation's buffer; the one shown for -1.
int ConversationBuffer(int index);
// A line into the conversation's buffer (-1: the buffer shown). One added to a buffer not shown
// counts as unread, and a marked one as a mention too.
void AppendToConversation(int index, const char* text, ConsoleMark mark, const char* speaker, int speakerOffset);
void AppendRouted(const LineRoute& route, const char* text, ConsoleMark mark, const char* speaker, int speakerOffset);
// The user's own line about a partner ("-> bob: hi"): in the buffer shown, and in the partner's
// conversation when one is open elsewhere; counted nowhere.
void AppendOwnToPartner(const char* partner, const char* text);
// The bar's words for a conversation: "2 #club", "2 #club (3)" with lines not yet seen, "3 bob (1!)"
// when one of them is marked for the user.
void FormatBarLabel(int index, char* out, std::size_t size);
