// The lines sent from the input line, for cursor up and down.
#pragma once
#include <cstddef>

constexpr int kHistoryLines = 128;
constexpr int kHistoryLineBytes = 4097;  // the input line's 4,096 bytes and the terminator

struct LineHistory {
  char lines[kHistoryLines][kHistoryLineBytes];  // a ring: the newest at newest
  int count = 0;
  int newest = -1;
  int back = 0;  // 0 while editing the own line; k: the k-th newest line is shown
  char draft[kHistoryLineBytes] = {};  // what was being typed when browsing began
};

// A line sent: it becomes the newest (an empty line, or the newest again, is not kept twice),
// and browsing starts afresh.
void HistoryRemember(LineHistory* history, const char* line);
// Cursor up with current in the line: the next older line into out (size bytes). False, and out
// untouched, when there is none. Leaving the own line keeps it as the draft.
bool HistoryBack(LineHistory* history, const char* current, char* out, std::size_t size);
// Cursor down: the next newer line, or past the newest the draft. False while not browsing.
bool HistoryForward(LineHistory* history, char* out, std::size_t size);
