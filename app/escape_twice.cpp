// The rule of the second Escape: a warning first while in a channel, and how long it stands.
#include "app/escape_twice.h"

#include <cstdio>

EscapeResult TakeEscape(EscapeWarning* warning, bool inChannel, uint32_t nowMs) {
  const bool again = warning->shown && nowMs - warning->sinceMs < kEscapeAgainMs;  // wraps correctly
  if (!inChannel || again) {
    *warning = EscapeWarning{};
    return EscapeLeaves;
  }
  *warning = EscapeWarning{true, nowMs};
  return EscapeWarns;
}

bool EscapeWarningOver(EscapeWarning* warning, uint32_t nowMs) {
  if (!warning->shown || nowMs - warning->sinceMs < kEscapeAgainMs) return false;
  *warning = EscapeWarning{};
  return true;
}

void FormatEscapeNotice(const char* channel, char* out, std::size_t size) {
  if (channel && channel[0]) {
    std::snprintf(out, size, "Press Escape again to leave %s", channel);
  } else {
    std::snprintf(out, size, "Press Escape again to disconnect");
  }
}
