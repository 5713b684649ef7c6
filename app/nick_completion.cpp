// Nickname completion with repeated Tabs cycling through the matches, on plain text.
#include "app/nick_completion.h"

#include <cstdio>
#include <cstring>

#include "core/irc_case.h"

namespace {

bool Blank(char c) { return c == ' ' || c == '\t'; }

// Alphabetical in any case (the server's nickname rule); nicknames that differ only in case
// still have an order.
int Order(const char* a, const char* b) {
  int folded = CompareIrcNames(a, b);
  return folded != 0 ? folded : std::strcmp(a, b);
}

// The match that follows after (or the first one when after is empty or the last); null: none.
const char* NextMatch(const char* prefix, std::size_t length, const char* after, const char* const* nicks,
                      int count) {
  const char* first = nullptr;
  const char* next = nullptr;
  for (int i = 0; i < count; ++i) {
    const char* nick = nicks[i];
    if (!nick || std::strlen(nick) < length || !IrcNameStartsWith(nick, prefix, length)) continue;
    if (!first || Order(nick, first) < 0) first = nick;
    if (*after && Order(nick, after) > 0 && (!next || Order(nick, next) < 0)) next = nick;
  }
  return next ? next : first;
}

void StartFrom(NickCompletion* state, const char* line, int cursor) {
  std::snprintf(state->base, sizeof state->base, "%s", line);
  int length = static_cast<int>(std::strlen(state->base));
  state->wordEnd = cursor < 0 ? 0 : (cursor > length ? length : cursor);
  state->wordStart = state->wordEnd;
  while (state->wordStart > 0 && !Blank(state->base[state->wordStart - 1])) --state->wordStart;
  state->last[0] = '\0';
  state->cycling = false;
}

}  // namespace

bool CompleteNick(NickCompletion* state, char* line, std::size_t size, int* cursor, const char* const* nicks,
                  int count) {
  if (!state || !line || !cursor || size == 0) return false;
  bool again = state->cycling && std::strcmp(line, state->result) == 0 && *cursor == state->resultCursor;
  if (!again) StartFrom(state, line, *cursor);
  std::size_t typed = static_cast<std::size_t>(state->wordEnd - state->wordStart);
  if (typed == 0) return false;
  const char* nick = NextMatch(state->base + state->wordStart, typed, state->last, nicks, count);
  if (!nick) return false;

  const char* rest = state->base + state->wordEnd;
  const char* suffix = state->wordStart == 0 ? (Blank(*rest) ? ":" : ": ") : (Blank(*rest) ? "" : " ");
  char built[kCompletionLineBytes];
  int written = std::snprintf(built, sizeof built, "%.*s%s%s%s", state->wordStart, state->base, nick, suffix, rest);
  if (written < 0 || static_cast<std::size_t>(written) >= size || static_cast<std::size_t>(written) >= sizeof built)
    return false;
  std::memcpy(line, built, static_cast<std::size_t>(written) + 1);
  *cursor = state->wordStart + static_cast<int>(std::strlen(nick) + std::strlen(suffix)) + (Blank(*rest) ? 1 : 0);
  std::snprintf(state->result, sizeof state->result, "%s", line);
  std::snprintf(state->last, sizeof state->last, "%s", nick);
  state->resultCursor = *cursor;
  state->cycling = true;
  return true;
}
