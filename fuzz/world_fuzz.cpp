// Fuzz target: a world.txt read into the room's triangles and bounds, then released.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "console/console_log.h"
#include "scene/scene.h"
#include "scene/world.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // a stream over no bytes cannot be opened
  FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "r");
  if (!stream) return 0;
  ConsoleClear();
  int highest = 0;
  ReadWorldStream(stream, &highest);
  std::fclose(stream);
  FreeWorldGeometry();
  return 0;
}
