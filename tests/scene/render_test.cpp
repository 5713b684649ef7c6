// Frames rendered headless with a fixed pose and clock: the shipped room, its colours, sparks.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/counted_alloc.h"
#include "console/settings.h"
#include "scene/room_avatars.h"
#include "model/texture.h"
#include "scene/particles.h"
#include "core/player_pose.h"
#include "scene/scene.h"
#include "scene/world.h"
#include "tests/scene/test_support.h"
#include "tools/roommaker/room_textures.h"

namespace {

struct Stats {
  double r, g, b;
  double lumaDeviation;  // standard deviation of (r + g + b) / 3
};

// Mean colour of the view's rectangle [x0, x1) x [y0, y1) (y from the bottom).
Stats Measure(const std::vector<unsigned char>& rgba, int width, int x0, int y0, int x1, int y1) {
  double sum[3] = {0, 0, 0}, luma = 0, lumaSquares = 0;
  int n = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const unsigned char* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
      for (int c = 0; c < 3; ++c) sum[c] += p[c];
      double l = (p[0] + p[1] + p[2]) / 3.0;
      luma += l;
      lumaSquares += l * l;
      ++n;
    }
  }
  double mean = luma / n;
  return Stats{sum[0] / n, sum[1] / n, sum[2] / n, std::sqrt(std::max(0.0, lumaSquares / n - mean * mean))};
}

// Mean colour of a texture file, as its mipmaps average it.
Stats TextureMean(const char* path) {
  RgbImage* image = LoadBitmapImage(path);
  if (!image) return Stats{-1, -1, -1, 0};
  double sum[3] = {0, 0, 0};
  int n = image->width * image->height;
  for (int i = 0; i < n; ++i)
    for (int c = 0; c < 3; ++c) sum[c] += image->pixels[3 * i + c];
  std::free(image->pixels);
  std::free(image);
  return Stats{sum[0] / n, sum[1] / n, sum[2] / n, 0};
}

std::string Show(const Stats& s) {
  char text[96];
  std::snprintf(text, sizeof text, "(%.1f, %.1f, %.1f) deviation %.1f", s.r, s.g, s.b, s.lumaDeviation);
  return text;
}

void ResetPeers() { ClearRoomAvatars(); }

class RenderTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(view.ok());
    startBlocks = liveBlocks;
    ClearRoomAvatars();  // no label over the middle of the room
    std::memset(&Local.pose, 0, sizeof Local.pose);
    AppState.frameScale = 1.0f;
    AppState.sceneClock = 0.0f;
    ResetPeers();
    SeedSparkRandom(1);
  }
  void TearDown() override {
    ResetPeers();
    FreeWorldGeometry();
    FreeParticles();
    FreeWorldTextures();
    DeleteGlyphLists();
    FreeAvatarModel();
    EXPECT_EQ(liveBlocks, startBlocks) << "the teardown returns every counted block";
  }
  void Init(const std::string& folder) {
    WorkingFolder cwd(folder);
    InitScene();
  }
  // One frame from a fixed pose; white sets the carried colour to white first.
  std::vector<unsigned char> Frame(float x, float z, float yaw, float pitch, bool white) {
    Local.pose.x = x;
    Local.pose.z = z;
    Local.pose.yaw = Local.pose.heading = yaw;
    Local.pose.pitch = pitch;
    if (white) glColor3f(1, 1, 1);
    RenderFrame();
    return view.Pixels();
  }

  HeadlessView view;
  int32_t startBlocks = 0;
};

TEST_F(RenderTest, InitSceneSetsTheFixedStateAndHoldsThreeBlocks) {
  Init(QIVRA_SOURCE_DIR);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
  GLint value = 0;
  glGetIntegerv(GL_DEPTH_FUNC, &value);
  EXPECT_EQ(value, GL_LEQUAL);
  glGetIntegerv(GL_BLEND_SRC, &value);
  EXPECT_EQ(value, GL_SRC_ALPHA);
  glGetIntegerv(GL_BLEND_DST, &value);
  EXPECT_EQ(value, GL_ONE_MINUS_SRC_ALPHA);
  EXPECT_EQ(liveBlocks, startBlocks + 3) << "room triangles, texture names, spark pool";
  EXPECT_GT(WorldGeometry.triangleCount, 300);
  EXPECT_EQ(WorldTextures.count, static_cast<int>(kRoomTextureCount));
  for (int i = 0; i < WorldTextures.count; ++i) EXPECT_NE(WorldTextures.names[i], 0u) << "data/" << i + 1 << ".bmp";
}

TEST_F(RenderTest, ShippedRoomShowsItsTexturesFromSeveralViewpoints) {
  Init(QIVRA_SOURCE_DIR);
  WorkingFolder cwd(QIVRA_SOURCE_DIR);
  // The patch is a rectangle around the middle of the view, in pixels.
  struct Viewpoint {
    const char* what;
    float x, z, yaw, pitch;
    const char* texture;
    int left, bottom, right, top;
  } viewpoints[] = {
      {"north wall, wallpaper", 3, 0, 0, 0, "data/2.bmp", -30, -30, 30, 30},
      {"floor, planks", -3, 0.5f, 0, 30, "data/1.bmp", -320, -174, 320, 174},
      {"ceiling, tiles", 0, 0, 0, -70, "data/3.bmp", -320, -174, 320, 174},
      {"fireplace between the fire and the mantel, bricks", 0, 0, 0, 0, "data/7.bmp", -80, -12, 80, 16},
  };
  for (const Viewpoint& v : viewpoints) {
    Stats want = TextureMean(v.texture);
    std::vector<unsigned char> frame = Frame(v.x, v.z, v.yaw, v.pitch, true);
    int cx = view.width() / 2, cy = view.height() / 2;
    Stats got = Measure(frame, view.width(), cx + v.left, cy + v.bottom, cx + v.right, cy + v.top);
    double tolerance = 10;
    EXPECT_NEAR(got.r, want.r, tolerance) << v.what << ": " << Show(got) << " against " << Show(want);
    EXPECT_NEAR(got.g, want.g, tolerance) << v.what << ": " << Show(got) << " against " << Show(want);
    EXPECT_NEAR(got.b, want.b, tolerance) << v.what << ": " << Show(got) << " against " << Show(want);
    EXPECT_GT(got.lumaDeviation, 4.0) << v.what << ": a flat colour means the picture is missing";
  }
}

TEST_F(RenderTest, MissingTextureDrawsItsTrianglesWhiteWhateverColourWasLeft) {
  TempFolder folder;
  // Two quads side by side two units ahead: texture 1 on the left, texture 2 (no file) on the right.
  std::string world = "NUMPOLLIES 4\nTEXTURE 1\n";
  world += "-1 0.1 -2 0 0\n0 0.1 -2 1 0\n0 1.1 -2 1 1\n-1 0.1 -2 0 0\n0 1.1 -2 1 1\n-1 1.1 -2 0 1\n";
  world += "TEXTURE 2\n";
  world += "0 0.1 -2 0 0\n1 0.1 -2 1 0\n1 1.1 -2 1 1\n0 0.1 -2 0 0\n1 1.1 -2 1 1\n0 1.1 -2 0 1\n";
  folder.Write("data/world.txt", world);
  std::vector<unsigned char> checker;
  for (int i = 0; i < 64; ++i) {
    bool light = ((i % 8) / 2 + (i / 8) / 2) % 2 == 0;
    checker.insert(checker.end(), {static_cast<unsigned char>(light ? 230 : 30), static_cast<unsigned char>(light ? 200 : 40),
                                   static_cast<unsigned char>(light ? 40 : 200)});
  }
  folder.Write("data/1.bmp", Bmp24(8, 8, checker));
  {
    BoxRecorder quiet;
    Init(folder.path());
  }
  ASSERT_EQ(WorldTextures.count, 2);
  ASSERT_EQ(WorldTextures.names[1], 0u);

  int y = view.height() / 2;
  auto pixel = [&](const std::vector<unsigned char>& f, int x) { return &f[(static_cast<size_t>(y) * view.width() + x) * 4]; };
  std::vector<unsigned char> frame = Frame(0, 0, 0, 0, true);
  const unsigned char* right = pixel(frame, view.width() / 2 + 60);
  EXPECT_EQ(right[0], 255);
  EXPECT_EQ(right[1], 255);
  EXPECT_EQ(right[2], 255);
  Stats left = Measure(frame, view.width(), view.width() / 2 - 100, y - 40, view.width() / 2 - 20, y + 40);
  EXPECT_GT(left.lumaDeviation, 20.0) << "the textured quad shows its checker: " << Show(left);

  glColor3f(1.0f, 0.5f, 0.0f);  // whatever colour the previous frame left
  frame = Frame(0, 0, 0, 0, false);
  right = pixel(frame, view.width() / 2 + 60);
  EXPECT_EQ(right[0], 255);
  EXPECT_EQ(right[1], 255) << "the room sets its own colour";
  EXPECT_EQ(right[2], 255);
}

TEST_F(RenderTest, TheRoomLooksTheSameWhateverTheFrameBeforeDrew) {
  Init(QIVRA_SOURCE_DIR);
  BoxRecorder quiet;  // an empty avatar model complains on each draw
  ShowRoom("#room", {});  // its label is drawn cyan
  const std::vector<unsigned char> first = Frame(0, 0, 0, 0, true);
  EXPECT_TRUE(Frame(0, 0, 0, 0, false) == first) << "after a frame that ended with the cyan label";
  glColor3f(1.0f, 0.5f, 0.0f);
  EXPECT_TRUE(Frame(0, 0, 0, 0, false) == first) << "after any other colour";

  // Behind the camera: her label and avatar stay out of the picture.
  ShowRoom("#room", {{"alice", 0, 3, 0}});
  EXPECT_TRUE(Frame(0, 0, 0, 0, false) == first) << "with a peer as without";
  EXPECT_TRUE(Frame(0, 0, 0, 0, false) == first);
  ClearRoomAvatars();
}

int CountChanged(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
  int n = 0;
  for (size_t i = 0; i < a.size(); i += 4) n += a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2];
  return n;
}

TEST_F(RenderTest, APeerIsDrawnOnlyOnceItHasShownThatItHearsUs) {
  Init(QIVRA_SOURCE_DIR);
  BoxRecorder quiet;  // an empty avatar model complains on each draw
  const std::vector<unsigned char> empty = Frame(0, 0, 0, 0, true);
  ShowRoom("", {{"alice", 0, -4, 0, false}});  // in front of the camera, no link yet
  EXPECT_EQ(0, CountChanged(empty, Frame(0, 0, 0, 0, false)))
      << "greeted one way only: not drawn, and so not in the middle of the room either";
  ShowRoom("", {{"alice", 0, -4, 0}});
  EXPECT_GT(CountChanged(empty, Frame(0, 0, 0, 0, false)), 50) << "her label now shows";
}

TEST_F(RenderTest, SparksShowAfterAnExplosionAndAreGoneAfterThirtySevenUnits) {
  Init(QIVRA_SOURCE_DIR);
  // Three metres south of the burst, looking slightly down at it.
  std::vector<unsigned char> before = Frame(0, 3, 0, 8, false);

  SpawnExplosion(0, 0.2f, 0);
  std::vector<unsigned char> frame = Frame(0, 3, 0, 8, false);
  EXPECT_GT(CountChanged(frame, before), 300) << "sparks are untextured lines over the room";
  for (int unit = 2; unit <= 37; ++unit) frame = Frame(0, 3, 0, 8, false);
  EXPECT_GT(CountChanged(frame, before), 0) << "sparks at the end of their life still show in that frame";
  frame = Frame(0, 3, 0, 8, false);
  EXPECT_TRUE(frame == before) << "after 37 units the frame is the room alone again";
  EXPECT_EQ(CountParticles(ParticlePool.freeList), kParticlePoolSize);
}

}  // namespace
