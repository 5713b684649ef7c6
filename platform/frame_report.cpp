// Counts the frames shown and, when asked by QIVRA_FRAME_STDERR, prints the count once a second.
#include "platform/frame_report.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/ticks.h"

namespace {

// The frames shown since the start and when the count was last printed (the window's thread).
struct FrameCountRecord {
  unsigned long long shown;
  uint32_t lastReport;
};
FrameCountRecord Count;

}  // namespace

void ReportShownFrame() {
  ++Count.shown;
  const char* asked = std::getenv("QIVRA_FRAME_STDERR");
  if (!asked || std::strcmp(asked, "1") != 0) return;
  const uint32_t now = TickCountMs();
  if (Count.shown > 1 && now - Count.lastReport < 1000) return;
  Count.lastReport = now;
  std::fprintf(stderr, "[frames] %llu\n", Count.shown);
}
