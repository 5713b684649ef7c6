// The address handshake between QIVRA clients over IRC, and the members' hosts as the server
// shows them: link thread.
#pragma once

// The address handshake: a private "\x01VERSION\x01" with more after it. A bare
// "\x01VERSION\x01" is an ordinary client's version request.
bool IsHandshake(const char* target, const char* text);
// A "\x01VERSION\x01:Q<host>" or ":A<host>" private message from the member at index: a question
// is answered (at most once a minute), and the address named is greeted. EventNone.
int HandleHandshake(int index, const char* sender, const char* text);
// A host a member named itself (its details' "at="): resolved off the link thread when a name,
// then greeted, within the bound on addresses that members' lines may name.
void TakeNamedHost(int index, const char* nick, const char* host);
// A member's host as the server sees it (a WHOIS or WHO reply, a JOIN's prefix): resolved off
// the link thread when it is a name, then greeted. EventHandled, or EventNone for a nickname
// outside the table (or with "PRESENCE off").
int TakeMemberHost(const char* nick, const char* host);
