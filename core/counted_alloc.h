// Counted allocation of the scene's long-lived arrays, so that the exit can report blocks not returned.
#pragma once
#include <cstddef>
#include <cstdint>

extern int32_t liveBlocks;
void* CountedAlloc(std::size_t size);
void CountedFree(void* block);
