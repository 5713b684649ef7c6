// The channels and private conversations the user has open, and the active one: where plain
// lines go, whose room is shown, what the title names.
#pragma once

constexpr int kConversations = 24;             // 16 channels and a few private partners at once
constexpr int kConversationNameLength = 128;

enum ConversationKind { ChannelConversation, PrivateConversation };

struct Conversation {
  char name[kConversationNameLength];  // "#room", or the partner's nickname
  ConversationKind kind;
  bool joined;      // a channel the user is in now (lines may go to it)
  bool rejoin;      // joined when the connection ended: joined again on reconnecting
  int unread;       // lines shown since it was last the active one
  int mentions;     // of them, lines marked for the user
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
// The conversation of that name, opened (not made active) when new; -1 when all are taken.
int OpenConversation(const char* name, ConversationKind kind);
void CloseConversation(int index);
// Makes it the active one: its room shows when it is a channel.
void ActivateConversation(int index);
const Conversation* ActiveConversation();  // null: none
// The channel commands act on: the active one, or the last channel active before a private
// conversation; "" when none.
const char* CurrentChannel();
// Offline: every channel is left; those the user was in are joined again on reconnecting.
void LeaveAllChannels();
// The channels to join again, "#a,#b" (at most size bytes); "" none.
void RejoinList(char* out, int size);
