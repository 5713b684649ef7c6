// Fuzz target: window-place.txt as the next start reads it.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "console/window_place.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char text[256];  // the start reads at most 127 bytes; more shows how the reader ends
  const size_t n = size < sizeof text - 1 ? size : sizeof text - 1;
  std::memcpy(text, data, n);
  text[n] = '\0';
  WindowPlace place = kFirstWindowPlace;
  if (ReadWindowPlace(text, &place) &&
      (place.width < kLeastWindowSide || place.width > kMostWindowSide || !place.placed))
    __builtin_trap();  // a place taken back must be one the window can have
  return 0;
}
