// Drawing many peers: labels in one batch, far avatars as pictures, peers out of view skipped.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/app_state.h"
#include "core/counted_alloc.h"
#include "core/player_pose.h"
#include "console/settings.h"
#include "scene/room_avatars.h"
#include "model/ms3d_model.h"
#include "scene/avatar_crowd.h"
#include "scene/avatar_models.h"
#include "scene/avatar_pictures.h"
#include "scene/font.h"
#include "scene/scene.h"
#include "scene/world.h"
#include "tests/scene/test_support.h"

namespace {

struct Box {
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1, count = 0;
};

// Where two frames differ.
Box Difference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b, int width) {
  Box box;
  for (std::size_t i = 0; i < a.size(); i += 4) {
    if (std::abs(a[i] - b[i]) + std::abs(a[i + 1] - b[i + 1]) + std::abs(a[i + 2] - b[i + 2]) < 30) continue;
    int x = static_cast<int>(i / 4) % width, y = static_cast<int>(i / 4) / width;
    box.x0 = std::min(box.x0, x), box.x1 = std::max(box.x1, x);
    box.y0 = std::min(box.y0, y), box.y1 = std::max(box.y1, y);
    ++box.count;
  }
  return box;
}

class CrowdDrawing : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(view.ok());
    startBlocks = liveBlocks;
    ShowRoom("#c", {});
    std::memset(&Local.pose, 0, sizeof Local.pose);
    AppState.sceneClock = 0.0f;
    WorkingFolder cwd(QIVRA_SOURCE_DIR);
    InitScene();
  }
  void TearDown() override {
    ClearRoomAvatars();
    FreeWorldGeometry();
    FreeParticles();
    FreeWorldTextures();
    DeleteGlyphLists();
    FreeAvatarModel();
    EXPECT_EQ(liveBlocks, startBlocks) << "the teardown returns every counted block";
  }
  // Adds a member standing there (drawn: it has shown that it hears us).
  void Stand(const char* nick, float x, float z, float yaw) {
    standing.push_back({nick, x, z, yaw});
    ShowRoom("#c", standing);
  }
  std::vector<Standing> standing;
  std::vector<unsigned char> Frame() {
    glColor3f(1, 1, 1);
    RenderFrame();
    return view.Pixels();
  }
  HeadlessView view;
  int32_t startBlocks = 0;
};

TEST_F(CrowdDrawing, ABatchedLabelShowsThePixelsOfOnePrintedAlone) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  glTranslatef(0.3f, 0.1f, -3.0f);
  glRotatef(35.0f, 0.0f, 1.0f, 0.0f);
  glScalef(0.2f, 0.2f, 0.2f);
  glColor3f(0.7f, 1.0f, 0.0f);
  PrintText("Alice|qivra");
  std::vector<unsigned char> printed = view.Pixels();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  glColor3f(0.0f, 0.0f, 1.0f);
  AddLabel("Alice|qivra", 0.3f, 0.1f, -3.0f, 35.0f, 0.2f, 0.7f, 1.0f, 0.0f);
  DrawLabels();
  std::vector<unsigned char> batched = view.Pixels();
  Box lit = Difference(printed, std::vector<unsigned char>(printed.size(), 0), view.width());
  ASSERT_GT(lit.count, 400) << "the label shows";
  EXPECT_LT(Difference(printed, batched, view.width()).count, lit.count / 50)
      << "only edge pixels may differ: the corners are computed on the CPU";
  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_EQ(1.0f, colour[2]) << "the current colour is left as it was";
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
}

TEST_F(CrowdDrawing, AFarAvatarIsDrawnAsItsPictureAndLooksLikeTheModel) {
  ASSERT_GT(AvatarModel.meshCount, 0);
  // As in the window, the view does not begin at the bottom: the console lies below it.
  SetViewProjection(0, 60, view.width(), view.height() - 60, static_cast<double>(view.width()) / (view.height() - 58));
  EXPECT_FALSE(AvatarPictureFits(5.0f, 0.0f, view.height())) << "no pictures before the first frame";
  std::vector<unsigned char> empty = Frame();
  ASSERT_TRUE(AvatarPictureFits(5.0f, 0.0f, view.height())) << "the first frame made the pictures";
  EXPECT_FALSE(AvatarPictureFits(1.0f, 0.0f, view.height())) << "near avatars are drawn whole";
  EXPECT_FALSE(AvatarPictureFits(5.0f, 20.0f, view.height())) << "a tilted avatar is drawn whole";
  for (float yaw : {0.0f, 100.0f, 235.0f}) {
    standing.clear();
    Stand("", 0.4f, -5.0f, yaw);
    std::vector<unsigned char> picture = Frame();
    FreeAvatarPictures();
    std::vector<unsigned char> whole = Frame();
    MakeAvatarPictures(AvatarModel);
    Box a = Difference(empty, picture, view.width()), b = Difference(empty, whole, view.width());
    ASSERT_GT(b.count, 100) << "yaw " << yaw;
    EXPECT_NEAR(a.count, b.count, b.count / 4) << "yaw " << yaw;
    EXPECT_NEAR(a.x0, b.x0, 2) << "yaw " << yaw;
    EXPECT_NEAR(a.x1, b.x1, 2) << "yaw " << yaw;
    EXPECT_NEAR(a.y0, b.y0, 2) << "yaw " << yaw;
    EXPECT_NEAR(a.y1, b.y1, 2) << "yaw " << yaw;
    EXPECT_LT(Difference(picture, whole, view.width()).count, b.count / 3) << "yaw " << yaw;
  }
}

TEST_F(CrowdDrawing, PeersOutOfViewAreSkippedButStillLeaveTheColourWhite) {
  std::vector<unsigned char> empty = Frame();
  Stand("behind", 0.0f, 3.0f, 0.0f);
  Stand("aside", 4.0f, -0.5f, 0.0f);
  EXPECT_TRUE(Frame() == empty) << "nothing of either shows";
  Stand("ahead", 0.0f, -3.0f, 0.0f);
  EXPECT_GT(Difference(empty, Frame(), view.width()).count, 200);
  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_EQ(1.0f, colour[0]);
  EXPECT_EQ(1.0f, colour[2]);
}

// A crowd packed before the eye, drawn where it may show, shows the very pixels of every avatar
// drawn whole: on the first frame (nothing kept), on the next ones (what showed kept), and while
// it walks and turns (what was kept no longer what shows); for a fraction of its triangles.
// The avatars stand apart (no two share a depth, where the order they are drawn in would decide).
TEST_F(CrowdDrawing, ACrowdDrawnWhereItShowsLooksAsEveryAvatarDrawnWhole) {
  ASSERT_GT(AvatarModel.triangleCount, 0);
  std::vector<CrowdMember> crowd;  // nearest first
  for (int row = 0; row < 10; ++row)
    for (int i = 0; i < 8; ++i)
      crowd.push_back(CrowdMember{-0.45f + 0.12f * i + 0.06f * (row % 2), 0.32f, -0.8f - 0.08f * row,
                                  37.0f * (row * 8 + i), 0.0f, (row + i) % 9, row * 8 + i});
  crowd.insert(crowd.begin(), CrowdMember{0.02f, 0.32f, 0.05f, 0.0f, 0.0f, 3, 80});  // at the eye
  const int all = static_cast<int>(crowd.size()) * AvatarModel.triangleCount;
  auto start = [] {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glTranslatef(0.0f, -0.6f, 0.0f);  // the eye's height
  };
  for (int frame = 0; frame < 5; ++frame) {
    start();
    BeginAvatars();
    for (const CrowdMember& m : crowd) DrawAvatar(m.x, m.base, m.z, m.yaw, m.pitch, m.look);
    EndAvatars();
    std::vector<unsigned char> whole = view.Pixels();
    start();
    BeginAvatars();
    const int sent = DrawAvatarCrowd(crowd.data(), static_cast<int>(crowd.size()));
    EndAvatars();
    std::vector<unsigned char> cut = view.Pixels();
    KeepFrame(cut, view.width(), view.height(), "crowd");
    EXPECT_TRUE(whole == cut) << "frame " << frame << ": " << Difference(whole, cut, view.width()).count
                              << " pixels differ from the crowd drawn whole";
    if (frame > 0) {
      EXPECT_LT(sent, all / 2) << "frame " << frame << ": triangles sent of " << all;
    }
    for (CrowdMember& m : crowd) m.x += 0.004f, m.yaw += 2.0f;
  }
}

}  // namespace
