// Counts the frames shown and, when asked by QIVRA_FRAME_STDERR, prints the count once a second.
#include "platform/frame_report.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/ticks.h"

void ReportShownFrame() {
  static const char* asked = std::getenv("QIVRA_FRAME_STDERR");
  static const bool reports = asked && std::strcmp(asked, "1") == 0;
  static unsigned long long shown = 0;
  static uint32_t lastReport = 0;
  ++shown;
  if (!reports) return;
  const uint32_t now = TickCountMs();
  if (shown > 1 && now - lastReport < 1000) return;
  lastReport = now;
  std::fprintf(stderr, "[frames] %llu\n", shown);
}
