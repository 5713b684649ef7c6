// IRC's case rule (rfc1459): besides A-Z, "[]\~" are the capitals of "{}|^".
#pragma once

// The lower-case form of c under that rule.
char IrcLowerCase(char c);
// Two nicknames (or channel names) that the rule makes one.
bool SameIrcName(const char* a, const char* b);
