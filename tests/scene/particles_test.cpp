// The spark pool: counts, recycling, stepping and bouncing.
#include <gtest/gtest.h>

#include <cmath>

#include "core/app_state.h"
#include "core/counted_alloc.h"
#include "scene/particles.h"
#include "scene/scene.h"
#include "scene/world.h"
#include "tests/scene/test_support.h"

namespace {

class ParticlesTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(view.ok());  // DrawParticles emits line segments
    startBlocks = liveBlocks;
    AppState.frameScale = 1.0f;
    WorldBounds = WorldBoundsRecord{-5, 0, -6, 5, 1.6f, 6};
    AllocateParticles();
    ASSERT_NE(ParticlePool.records, nullptr);
  }
  void TearDown() override {
    FreeParticles();
    EXPECT_EQ(liveBlocks, startBlocks);
  }
  int Live() const { return CountParticles(ParticlePool.liveList); }
  int Free() const { return CountParticles(ParticlePool.freeList); }

  HeadlessView view{16, 16};
  int32_t startBlocks = 0;
};

TEST_F(ParticlesTest, ExplosionsTake750ThenTheRemaining274ThenNothing) {
  EXPECT_EQ(Free(), 1024);
  EXPECT_EQ(Live(), 0);
  SpawnExplosion(0, 0.2f, 0);
  EXPECT_EQ(Live(), 750);
  EXPECT_EQ(Free(), 274);
  SpawnExplosion(0, 0.2f, 0);
  EXPECT_EQ(Live(), 1024);
  EXPECT_EQ(Free(), 0);
  SpawnExplosion(0, 0.2f, 0);
  EXPECT_EQ(Live(), 1024);
  for (Particle* p = ParticlePool.liveList; p; p = p->next) {
    ASSERT_GE(p->life, 20.0f);
    ASSERT_LE(p->life, 37.0f);
    ASSERT_LE(std::abs(p->vx), 0.05f);
    ASSERT_LE(std::abs(p->vy), 0.05f);
  }
}

TEST_F(ParticlesTest, AllSparksAreFreeOnceThirtySevenUnitsWereDrawn) {
  SpawnExplosion(0, 0.2f, 0);
  for (int frame = 1; frame <= 37; ++frame) {
    DrawParticles();
    if (frame == 19) {
      EXPECT_EQ(Live(), 750) << "no spark dies before 20 units";
    }
  }
  EXPECT_GT(Live(), 0) << "the sparks whose life just reached 0 are still drawn this frame";
  DrawParticles();
  EXPECT_EQ(Live(), 0);
  EXPECT_EQ(Free(), 1024);

  // The same with frameScale 2.5: 15 frames are 37.5 units.
  SpawnExplosion(0, 0.2f, 0);
  AppState.frameScale = 2.5f;
  for (int frame = 0; frame < 15; ++frame) DrawParticles();
  DrawParticles();
  EXPECT_EQ(Free(), 1024);
}

TEST_F(ParticlesTest, StepScalesWithFrameScaleAndBouncesOnlyTheVelocity) {
  SpawnParticle(0, 0.5f, 0, 0.01f, 0.02f, -0.01f, 30);
  AppState.frameScale = 2.0f;
  DrawParticles();
  Particle* p = ParticlePool.liveList;
  ASSERT_NE(p, nullptr);
  EXPECT_FLOAT_EQ(p->x, 0.02f);
  EXPECT_FLOAT_EQ(p->y, 0.54f);
  EXPECT_FLOAT_EQ(p->z, -0.02f);
  EXPECT_FLOAT_EQ(p->vy, 0.019f);
  EXPECT_FLOAT_EQ(p->life, 28.0f);

  // Below the floor and falling: vy turns and shrinks each frame it stays out.
  p->y = -0.1f;
  p->vy = -0.01f;
  AppState.frameScale = 1.0f;
  DrawParticles();
  EXPECT_FLOAT_EQ(p->y, -0.11f) << "the position is not moved back inside";
  EXPECT_FLOAT_EQ(p->vy, (-0.01f - 0.0005f) * -0.9f);
  DrawParticles();
  EXPECT_LT(p->y, 0.0f);
  EXPECT_LT(p->vy, 0.0f) << "still outside, so it flips back";
  p->x = 6;
  p->vx = 0.01f;
  DrawParticles();
  EXPECT_FLOAT_EQ(p->vx, -0.009f);
}

TEST_F(ParticlesTest, ReallocatingRelinksTheHeldPoolAndFreeingIsOnce) {
  SpawnExplosion(0, 0.2f, 0);
  int32_t held = liveBlocks;
  AllocateParticles();
  EXPECT_EQ(liveBlocks, held) << "a held pool is only re-linked";
  EXPECT_EQ(Live(), 0);
  EXPECT_EQ(Free(), 1024);
  FreeParticles();
  EXPECT_EQ(liveBlocks, held - 1);
  FreeParticles();  // nothing held: nothing released, no complaint
  EXPECT_EQ(liveBlocks, held - 1);
  SpawnExplosion(0, 0.2f, 0);  // no pool: nothing happens
  EXPECT_EQ(Live(), 0);
  AllocateParticles();
}

}  // namespace
