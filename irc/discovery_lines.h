// Finding the channel's QIVRA members over IRC without telling anyone else anything: the
// announcement on joining a channel, the details traded privately with whoever has shown that it
// runs QIVRA (addresses, key, look, what it takes), and the servers' limit of targets a line.
// Link thread only.
#pragma once
#include <cstdint>

#include "irc/irc_message.h"

// After the own JOIN's names: "\x01QIVRA\x01" to the channel, once a day per channel, when
// anyone else is in it. Members remembered as QIVRA from an earlier join that day are asked
// privately instead, so an ordinary user hears it once a day at most.
void AnnounceInChannel(const char* channel);
// A PRIVMSG or NOTICE whose text is QIVRA's own CTCP (presence/details_text.h): taken, never
// shown; true. False for any other text. Only members are heard, never with "PRESENCE off".
bool TakeQivraText(const char* sender, const char* target, const char* text);
// Each turn in a channel: our details to the members they are due to, as many a line as the
// server takes, answers in the answer queue and asks in the look-up queue, one line of each
// waiting at a time (whatever comes meanwhile joins the next).
void ServiceDiscovery(uint32_t nowMs);
// The details changed (our look, an address): everyone who has them gets them again.
void RetellDetails();

// Targets of one PRIVMSG or NOTICE. 001 starts afresh; 005 (TARGMAX's PRIVMSG, else
// MAXTARGETS) sets the limit, else kRelayNearest are tried; a 407 (too many targets) or a 401
// for a list of them lowers it to what the server took, and the targets it refused are owed
// again.
void NoteTargetLimit(const IrcMessage& m);
int LineTargetLimit();
// The targets of a multi-target line just queued or handed over (slots, in order), and what
// to do with any the server refuses: kind 'm' a move (owed again), 'd' our details (owed again).
void NoteLineTargets(char kind, const int* slots, int count);
// A server reply about targets (407, 401): true when it was about our last line's.
bool TakeTargetRefusal(const IrcMessage& m);
