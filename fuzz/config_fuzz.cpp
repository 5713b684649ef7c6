// Fuzz target: a config.txt, every line read and applied as at start-up; the same bytes as the
// dialog's recent connections, in the current form and an older version's.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "console/console_log.h"
#include "console/recent_connections.h"
#include "console/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // a stream over no bytes cannot be opened
  FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "r");
  if (!stream) return 0;
  std::memset(&Settings, 0, sizeof Settings);
  ConsoleClear();
  ReadSettingsFile(stream);
  static RecentConnections recent;
  for (bool older : {false, true}) {
    std::rewind(stream);
    std::memset(&recent, 0, sizeof recent);
    ReadRecentConnections(stream, &recent, older);
  }
  std::fclose(stream);
  return 0;
}
