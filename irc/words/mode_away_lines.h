// Mode changes, invitations, away and channel-list replies in plain words.
#pragma once
#include <cstddef>
#include "irc/irc_message.h"

// The words for MODE, INVITE and the replies 221, 301, 305, 306, 321, 322, 323, 324, 329, 341,
// 367 and 368 into out (bounded by size), e.g. "bob sets mode +o alice", "#room (5): topic" or
// "#room was created on 2026-12-07 13:05" (local time); false for any other
// line, or one too short to say anything about (out is then unchanged).
bool FormatModeAwayText(const IrcMessage& m, char* out, std::size_t size);
