// The frame timer on both clocks, with the clocks driven by the test.
#include <gtest/gtest.h>

#include "core/frame_timer.h"
#include "platform/ticks.h"

namespace {

int64_t fakeCounter = 0;
int64_t FakeCounter() { return fakeCounter; }
uint32_t fakeTicks = 0;
uint32_t FakeTicks() { return fakeTicks; }

class FrameTimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestClocks.counter = FakeCounter;
    TestClocks.ticks = FakeTicks;
  }
  void TearDown() override {
    TestClocks.counter = nullptr;
    TestClocks.ticks = nullptr;
  }
};

TEST_F(FrameTimerTest, HighResolutionReadingsMeasureFromThePreviousOne) {
  fakeCounter = 5000000000;  // nanosecond counter
  StartFrameTimer();
  ASSERT_TRUE(FrameTimer.useHighResolution);
  EXPECT_FLOAT_EQ(0.0f, ReadElapsedMs());  // two readings in immediate succession
  fakeCounter += 25000000;
  float elapsed = ReadElapsedMs();
  EXPECT_NEAR(25.0f, elapsed, 0.001f);
  EXPECT_NEAR(2.5f, elapsed / 10.0f, 0.0001f);  // the loop's frameScale for a 25 ms pass
  fakeCounter += 1000000;
  EXPECT_NEAR(1.0f, ReadElapsedMs(), 0.001f);  // the reference moved with the last reading
}

TEST_F(FrameTimerTest, MillisecondTimerSurvivesTheRollOverOfItsCount) {
  StartFrameTimer();
  // The timer as it runs without a high-resolution counter.
  FrameTimer.useHighResolution = false;
  FrameTimer.secondsPerCount = 0.001f;
  FrameTimer.counterFrequency = 1000;
  FrameTimer.lastTickReading = 0xFFFFFFF0u;  // 16 ms before the count wraps
  fakeTicks = 9;
  EXPECT_NEAR(25.0f, ReadElapsedMs(), 0.001f);
  EXPECT_EQ(9u, FrameTimer.lastTickReading);
  fakeTicks = 12;
  EXPECT_NEAR(3.0f, ReadElapsedMs(), 0.001f);
}

}  // namespace
