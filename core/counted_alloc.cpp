// Counts the scene's long-lived blocks so that the exit can report any not returned.
#include <cstdlib>

#include "core/counted_alloc.h"
#include "platform/message_box.h"

int32_t liveBlocks = 0;

void* CountedAlloc(std::size_t size) {
  ++liveBlocks;  // counted even when malloc fails, so that a failure shows as a leak
  return std::malloc(size);
}

void CountedFree(void* block) {
  if (liveBlocks == 0 || block == nullptr) {
    ShowMessageBox("_free()", "called when no memory is allocated", BoxIconNone, BoxOk);
    return;
  }
  --liveBlocks;
  std::free(block);
}
