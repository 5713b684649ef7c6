// The user's own requests to the server, queued for the link thread from any other thread:
// registering, joining and leaving, talking, asking about members.
#pragma once

int JoinChannel(const char* channel);
int PartChannel(const char* channel, const char* reason);  // reason null or "": none
// PRIVMSG; to a nickname, its "No such nickname" reply is shown.
int SayTo(const char* target, const char* text);
int NoticeTo(const char* target, const char* text);
int AskWhois(const char* nick);
int AskTopic(const char* channel, const char* text);  // text null or "": ask for it
int AskNames(const char* channel);
