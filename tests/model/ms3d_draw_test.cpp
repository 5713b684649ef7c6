// CModel::Draw on OSMesa: the shipped avatar where and how big it should be, textures and GL state.
#include <GL/gl.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "model/ms3d_model.h"
#include "tests/model/ms3d_test_support.h"

namespace {

const int kSide = 200;
const float kHalfView = 0.25f;  // the view shows -0.25..0.25: 400 pixels per unit
const float kPixelsPerUnit = kSide / (2.0f * kHalfView);

// Draws the model turned by yaw degrees about y, seen along -z, white on black.
void DrawTurned(CModel& model, float yaw) {
  glViewport(0, 0, kSide, kSide);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-kHalfView, kHalfView, -kHalfView, kHalfView, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_DEPTH_TEST);
  glColor3f(1.0f, 1.0f, 1.0f);
  glRotatef(yaw, 0.0f, 1.0f, 0.0f);
  EXPECT_TRUE(model.Draw());
  glFinish();
}

bool Covered(const OffscreenGl& gl, int x, int y) {
  const unsigned char* p = gl.Pixel(x, y);
  return p[0] || p[1] || p[2];
}

struct Extent {
  int left = kSide, right = -1, bottom = kSide, top = -1, covered = 0;
};

Extent Measure(const OffscreenGl& gl) {
  Extent e;
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x)
      if (Covered(gl, x, y)) {
        e.left = std::min(e.left, x), e.right = std::max(e.right, x);
        e.bottom = std::min(e.bottom, y), e.top = std::max(e.top, y);
        ++e.covered;
      }
  return e;
}

// Separate covered stretches along one pixel row.
int RunsInRow(const OffscreenGl& gl, int y) {
  int runs = 0;
  for (int x = 0; x < kSide; ++x)
    if (Covered(gl, x, y) && (x == 0 || !Covered(gl, x - 1, y))) ++runs;
  return runs;
}

class ShippedAvatar : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gl_.Open(kSide, kSide));
    ASSERT_NE(getcwd(oldCwd_, sizeof oldCwd_), nullptr);
    ASSERT_EQ(chdir(QIVRA_SOURCE_DIR), 0);
    BoxCapture capture;
    loaded_ = model_.LoadFromFile("data/player.ms3d");
    boxes_ = capture.Stop();
  }
  void TearDown() override { EXPECT_EQ(chdir(oldCwd_), 0); }

  // Span of the vertices along one axis, in pixels.
  float Span(int axis) const {
    float low = model_.vertices[0].location[axis], high = low;
    for (int v = 0; v < model_.vertexCount; ++v) {
      low = std::min(low, model_.vertices[v].location[axis]);
      high = std::max(high, model_.vertices[v].location[axis]);
    }
    return (high - low) * kPixelsPerUnit;
  }

  OffscreenGl gl_;
  char oldCwd_[4096] = {0};
  CModel model_;
  bool loaded_ = false;
  std::vector<CapturedBox> boxes_;
};

TEST_F(ShippedAvatar, LoadsAsALowPolyFigureOnTheGround) {
  ASSERT_TRUE(loaded_) << Describe(boxes_);
  EXPECT_TRUE(boxes_.empty()) << Describe(boxes_);
  EXPECT_GE(model_.triangleCount, 200);
  EXPECT_LE(model_.triangleCount, 600);
  EXPECT_EQ(model_.materialCount, 1);
  float lowest = model_.vertices[0].location[1];
  for (int v = 0; v < model_.vertexCount; ++v) lowest = std::min(lowest, model_.vertices[v].location[1]);
  EXPECT_EQ(lowest, 0.0f);
}

TEST_F(ShippedAvatar, FittedAvatarCoversTheExpectedArea) {
  ASSERT_TRUE(loaded_) << Describe(boxes_);
  model_.CenterAndScale(0.32f);
  EXPECT_NEAR(Span(1), 0.32f * kPixelsPerUnit, 0.01f);

  DrawTurned(model_, 0.0f);
  Extent front = Measure(gl_);
  EXPECT_NEAR(front.top - front.bottom + 1, Span(1), 2.0f);
  EXPECT_NEAR(front.right - front.left + 1, Span(0), 2.0f);
  // A figure, not a block: arms, legs and the space around the head leave much uncovered.
  float fill = static_cast<float>(front.covered) /
               static_cast<float>((front.right - front.left + 1) * (front.top - front.bottom + 1));
  EXPECT_GT(fill, 0.3f);
  EXPECT_LT(fill, 0.75f);
  int height = front.top - front.bottom;
  EXPECT_EQ(RunsInRow(gl_, front.bottom + 1), 2) << "two feet";
  EXPECT_EQ(RunsInRow(gl_, front.bottom + height * 55 / 100), 3) << "arm, body, arm at the waist";
  EXPECT_EQ(RunsInRow(gl_, front.top - height / 20), 1) << "the head";

  DrawTurned(model_, 90.0f);
  Extent side = Measure(gl_);
  EXPECT_NEAR(side.right - side.left + 1, Span(2), 2.0f);
  EXPECT_NEAR(side.top - side.bottom + 1, Span(1), 2.0f);
  EXPECT_LT(side.right - side.left, (front.right - front.left) * 2 / 3) << "narrower from the side";
}

TEST_F(ShippedAvatar, CompiledModelDrawsTheSamePixelsAndFollowsAFittingAfterIt) {
  ASSERT_TRUE(loaded_) << Describe(boxes_);
  model_.CenterAndScale(0.32f);
  auto copy = [this] {
    const unsigned char* p = gl_.Pixel(0, 0);
    return std::vector<unsigned char>(p, p + kSide * kSide * 4);
  };
  DrawTurned(model_, 30.0f);
  std::vector<unsigned char> fromArrays = copy();
  ASSERT_TRUE(model_.Compile());
  ASSERT_NE(0u, model_.drawList);
  DrawTurned(model_, 30.0f);
  EXPECT_TRUE(copy() == fromArrays);
  model_.CenterAndScale(0.16f);  // the list would still hold the first fitting
  EXPECT_EQ(0u, model_.drawList);
  DrawTurned(model_, 30.0f);
  Extent half = Measure(gl_);
  EXPECT_NEAR(half.top - half.bottom + 1, Span(1), 2.0f) << "drawn at the new size";
  model_.Release();
  EXPECT_EQ(0u, model_.drawList);
}

TEST_F(ShippedAvatar, FittedAvatarFacesMinusZ) {
  ASSERT_TRUE(loaded_) << Describe(boxes_);
  model_.CenterAndScale(0.32f);
  // Skin-coloured pixels in the upper head: the face, seen only from in front of it.
  auto faceShown = [&](float yaw) {
    DrawTurned(model_, yaw);
    Extent e = Measure(gl_);
    int skin = 0;
    for (int y = e.top - 12; y <= e.top; ++y)
      for (int x = e.left; x <= e.right; ++x) {
        const unsigned char* p = gl_.Pixel(x, y);
        if (p[0] > 180 && p[1] > 130 && p[2] > 90 && p[2] < 200) ++skin;
      }
    return skin;
  };
  // Turned 180 degrees its front looks towards +z, at this view: the face shows.
  EXPECT_GT(faceShown(180.0f), 10);
  // Unturned it looks along -z, away from this view: only hair.
  EXPECT_EQ(faceShown(0.0f), 0);
}

using Ms3dDraw = Ms3dFolderTest;

// A 1 by 1 texture of one colour, left bound.
GLuint SolidTexture(unsigned char r, unsigned char g, unsigned char b) {
  GLuint name;
  unsigned char texel[3] = {r, g, b};
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texel);
  return name;
}

TEST_F(Ms3dDraw, MeshesUseTheirMaterialOrElseTheBoundTextureAndStateIsRestored) {
  glViewport(0, 0, 64, 64);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0.0, 1.0, 0.0, 1.0, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  struct Case {
    const char* what;
    Ms3dFile file;
    unsigned char expected[3];
  } cases[] = {{"material -1: the green texture bound before", OneTriangle(), {0, 255, 0}},
               {"material 0: its own red skin", OneTexturedTriangle(), {255, 0, 0}}};
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    Write("draw.ms3d", c.file.Bytes());
    CModel model;
    ASSERT_TRUE(model.LoadFromFile("draw.ms3d"));
    GLuint green = SolidTexture(0, 255, 0);
    glDisable(GL_TEXTURE_2D);
    glColor3f(1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_TRUE(model.Draw());
    glFinish();
    const unsigned char* inside = gl_.Pixel(10, 10);
    EXPECT_EQ(inside[0], c.expected[0]);
    EXPECT_EQ(inside[1], c.expected[1]);
    EXPECT_EQ(inside[2], c.expected[2]);
    const unsigned char* outside = gl_.Pixel(50, 50);
    EXPECT_EQ(outside[0] + outside[1] + outside[2], 0);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "texturing is left as it was";
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), green) << "the binding is left as it was";
    glDeleteTextures(1, &green);
  }
}

}  // namespace
