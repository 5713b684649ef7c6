// Escape while walking in a channel asks first: the first press warns, a second within 3 s leaves.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr uint32_t kEscapeAgainMs = 3000;

struct EscapeWarning {
  bool shown;        // the first press's notice is up
  uint32_t sinceMs;  // when it went up
};

enum EscapeResult { EscapeLeaves, EscapeWarns };
// Escape pressed at nowMs. In a channel the first press warns and a second within
// kEscapeAgainMs leaves; connecting, registering or offline it leaves at once, as it always
// did. Leaving takes the warning down.
EscapeResult TakeEscape(EscapeWarning* warning, bool inChannel, uint32_t nowMs);
// True once, when a warning's time is over: its notice goes.
bool EscapeWarningOver(EscapeWarning* warning, uint32_t nowMs);
// "Press Escape again to leave #room" ("... to disconnect" without a channel), bounded by size.
void FormatEscapeNotice(const char* channel, char* out, std::size_t size);
