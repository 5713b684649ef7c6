// Tab in the input line: completing a channel member's nickname from what was typed of it.
#pragma once
#include <cstddef>

constexpr int kCompletionLineBytes = 4097;  // the input line's 4,096 bytes and the terminator

struct NickCompletion {
  bool cycling = false;
  char base[kCompletionLineBytes] = {};    // the line as it was before the first Tab
  int wordStart = 0, wordEnd = 0;          // the typed part of the nickname in base
  char result[kCompletionLineBytes] = {};  // the line as the last Tab left it
  int resultCursor = 0;
  char last[kCompletionLineBytes] = {};    // the nickname the last Tab put in
};

// Completes the word before the cursor into the first nickname (alphabetical, any case) that
// starts with it: "nick: " at the start of the line, "nick " elsewhere. Another Tab on the line
// the last one left puts in the next match instead, and after the last the first again.
// line holds size bytes; false (line and cursor untouched) when nothing matches or fits.
bool CompleteNick(NickCompletion* state, char* line, std::size_t size, int* cursor, const char* const* nicks,
                  int count);
