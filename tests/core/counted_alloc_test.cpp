// Counted allocation: the live count and the box for a release with nothing to release.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/counted_alloc.h"

namespace {

const char* const kFreeBox = "[box] caption=\"called when no memory is allocated\" icon=none text=\"_free()\"";

TEST(CountedAlloc, ThreeObtainedTwoReleasedLeavesOne) {
  int32_t before = liveBlocks;
  void* a = CountedAlloc(16);
  void* b = CountedAlloc(32);
  void* c = CountedAlloc(64);
  EXPECT_EQ(before + 3, liveBlocks);
  CountedFree(a);
  CountedFree(b);
  EXPECT_EQ(before + 1, liveBlocks);
  CountedFree(c);
  EXPECT_EQ(before, liveBlocks);
}

TEST(CountedAlloc, ReleasingNoneShowsTheBoxAndKeepsTheCount) {
  void* held = CountedAlloc(8);
  int32_t before = liveBlocks;
  testing::internal::CaptureStderr();
  CountedFree(nullptr);
  std::string boxes = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, boxes.find(kFreeBox)) << boxes;
  EXPECT_EQ(before, liveBlocks);
  CountedFree(held);
}

TEST(CountedAlloc, ReleasingWithNothingCountedReleasesNothing) {
  int32_t saved = liveBlocks;
  liveBlocks = 0;
  void* block = std::malloc(8);  // not from CountedAlloc: must not be freed by it
  testing::internal::CaptureStderr();
  CountedFree(block);
  std::string boxes = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, boxes.find(kFreeBox)) << boxes;
  EXPECT_EQ(0, liveBlocks);
  std::free(block);  // still ours: a double free here would crash the test
  liveBlocks = saved;
}

#if !defined(__SANITIZE_ADDRESS__)
TEST(CountedAlloc, AFailedAllocationIsStillCounted) {
  int32_t before = liveBlocks;
  EXPECT_EQ(nullptr, CountedAlloc(SIZE_MAX / 2));
  EXPECT_EQ(before + 1, liveBlocks);
  liveBlocks = before;
}
#endif

}  // namespace
