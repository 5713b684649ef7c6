// The one nickname rule: names (nicknames and channels) compared and folded as the server says
// in its CASEMAPPING (rfc1459 until it says otherwise), everywhere in the program.
#pragma once
#include <cstddef>

enum IrcCaseMapping {
  CaseRfc1459 = 0,        // A-Z and "[]\~" are the capitals of a-z and "{}|^"
  CaseStrictRfc1459 = 1,  // the same without "~" and "^"
  CaseAscii = 2,          // A-Z alone
};

// The server's rule, set by the thread that reads its lines (any thread may fold names).
void SetIrcCaseMapping(IrcCaseMapping mapping);
IrcCaseMapping IrcCaseMappingInUse();
// The value of a CASEMAPPING token ("rfc1459", "strict-rfc1459", "ascii"); false for any other
// (rfc7613 and unknown ones: the caller keeps rfc1459).
bool ReadIrcCaseMapping(const char* value, IrcCaseMapping* mapping);

// The lower-case form of c under the rule in use.
char IrcLowerCase(char c);
// Two names that the rule makes one.
bool SameIrcName(const char* a, const char* b);
// The first n bytes of name are prefix's n bytes under the rule (completion).
bool IrcNameStartsWith(const char* name, const char* prefix, std::size_t n);
// A channel's name: it begins with '#', '&', '+' or '!'.
bool IsChannelName(const char* name);
// Orders names under the rule: negative, zero or positive as strcmp.
int CompareIrcNames(const char* a, const char* b);
