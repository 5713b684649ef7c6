// Cursor up and down through the lines sent, with the line being typed kept aside meanwhile.
#include "app/line_history.h"

#include <cstdio>
#include <cstring>

namespace {

const char* Line(const LineHistory* history, int back) {
  int slot = (history->newest - (back - 1) + kHistoryLines) % kHistoryLines;
  return history->lines[slot];
}

void CopyOut(const char* text, char* out, std::size_t size) {
  if (size > 0) std::snprintf(out, size, "%s", text);
}

}  // namespace

void HistoryRemember(LineHistory* history, const char* line) {
  history->back = 0;
  history->draft[0] = '\0';
  if (!line || !*line) return;
  if (history->count > 0 && std::strncmp(Line(history, 1), line, kHistoryLineBytes - 1) == 0) return;
  history->newest = (history->newest + 1) % kHistoryLines;
  std::snprintf(history->lines[history->newest], kHistoryLineBytes, "%s", line);
  if (history->count < kHistoryLines) ++history->count;
}

bool HistoryBack(LineHistory* history, const char* current, char* out, std::size_t size) {
  if (history->back >= history->count) return false;
  if (history->back == 0) std::snprintf(history->draft, sizeof history->draft, "%s", current ? current : "");
  ++history->back;
  CopyOut(Line(history, history->back), out, size);
  return true;
}

bool HistoryForward(LineHistory* history, char* out, std::size_t size) {
  if (history->back == 0) return false;
  --history->back;
  CopyOut(history->back == 0 ? history->draft : Line(history, history->back), out, size);
  return true;
}
