// The nicknames the user ignores for this run: their messages, actions, notices and CTCP go unshown.
#pragma once
#include <cstddef>

constexpr int kIgnoredNicks = 32;
constexpr int kIgnoredNickLength = 64;

enum IgnoreResult { IgnoreAdded, IgnoreAlready, IgnoreFull, IgnoreRemoved, IgnoreNotThere, IgnoreBadName };

// The main thread changes the list; the receive thread asks it. Nicknames compare without case.
IgnoreResult IgnoreNick(const char* nick);
IgnoreResult UnignoreNick(const char* nick);
bool IsNickIgnored(const char* nick);
// The ignored nicknames as "a, b, c" into out (empty when none); the count.
int ListIgnoredNicks(char* out, std::size_t size);
void ClearIgnoredNicks();
