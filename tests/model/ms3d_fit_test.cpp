// CenterAndScale: centring on the distinct referenced vertices, fitting the height, mirroring z.
#include <vector>

#include "model/ms3d_model.h"
#include "tests/model/ms3d_test_support.h"

namespace {

using Ms3dFit = Ms3dFolderTest;

bool Load(CModel& model, const Ms3dFile& file) {
  Ms3dFolderTest::Write("fit.ms3d", file.Bytes());
  BoxCapture capture;
  bool loaded = model.LoadFromFile("fit.ms3d");
  std::vector<CapturedBox> boxes = capture.Stop();
  EXPECT_TRUE(boxes.empty()) << Describe(boxes);
  return loaded;
}

void ExpectAt(const CModel& model, int vertex, float x, float y, float z) {
  SCOPED_TRACE("vertex " + std::to_string(vertex));
  EXPECT_NEAR(model.vertices[vertex].location[0], x, 1e-5f);
  EXPECT_NEAR(model.vertices[vertex].location[1], y, 1e-5f);
  EXPECT_NEAR(model.vertices[vertex].location[2], z, 1e-5f);
}

TEST_F(Ms3dFit, ModelFromZeroToTwoIsFittedToPointThirtyTwoAndMirrored) {
  // Two triangles sharing the edge 1-2; vertex 3 is referenced by no triangle.
  Ms3dFile file;
  file.vertices = {{-1.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 1.0f}, {0.0f, 2.0f, 1.0f},
                   {5.0f, 5.0f, 5.0f}, {1.0f, 2.0f, -2.0f}};
  file.triangles = {Ms3dTriangle{{0, 1, 2}}, Ms3dTriangle{{1, 4, 2}}};
  file.groups = {Ms3dGroup{{0}, -1}, Ms3dGroup{{1}, -1}};
  CModel model;
  ASSERT_TRUE(Load(model, file));
  model.CenterAndScale(0.32f);
  // Centroid of vertices 0, 1, 2, 4 (each once): (0.25, 1, 0); factor 0.32 / 2 = 0.16.
  ExpectAt(model, 0, -1.25f * 0.16f, -1.0f * 0.16f, 0.0f);
  ExpectAt(model, 1, 0.75f * 0.16f, -1.0f * 0.16f, -1.0f * 0.16f);
  ExpectAt(model, 2, -0.25f * 0.16f, 1.0f * 0.16f, -1.0f * 0.16f);
  ExpectAt(model, 4, 0.75f * 0.16f, 1.0f * 0.16f, 2.0f * 0.16f);
  ExpectAt(model, 3, 5.0f, 5.0f, 5.0f);  // unreferenced: untouched
  EXPECT_NEAR(model.vertices[2].location[1] - model.vertices[0].location[1], 0.32f, 1e-5f);
}

TEST_F(Ms3dFit, ASharedVertexIsCountedAndMovedOnce) {
  // Vertex 0 is a corner of three triangles in two meshes; counted once the centroid is
  // the mean of four points, not of nine corners.
  Ms3dFile file;
  file.vertices = {{0.0f, 0.0f, 0.0f}, {4.0f, 0.0f, 0.0f}, {0.0f, 4.0f, 0.0f}, {0.0f, 0.0f, 4.0f}};
  file.triangles = {Ms3dTriangle{{0, 1, 2}}, Ms3dTriangle{{0, 2, 3}}, Ms3dTriangle{{0, 3, 1}}};
  file.groups = {Ms3dGroup{{0, 1}, -1}, Ms3dGroup{{2, 0}, -1}};
  CModel model;
  ASSERT_TRUE(Load(model, file));
  model.CenterAndScale(2.0f);  // factor 0.5, centroid (1, 1, 1)
  ExpectAt(model, 0, -0.5f, -0.5f, 0.5f);
  ExpectAt(model, 1, 1.5f, -0.5f, 0.5f);
  ExpectAt(model, 2, -0.5f, 1.5f, 0.5f);
  ExpectAt(model, 3, -0.5f, -0.5f, -1.5f);
  for (int v = 0; v < 4; ++v) EXPECT_EQ(model.vertices[v].boneId, 64);
}

TEST_F(Ms3dFit, AVertexWithBoneId32IsLeftOutOfTheCentroidButStillMoved) {
  Ms3dFile file;
  file.vertices = {{0.0f, 0.0f, 0.0f}, {2.0f, 0.0f, 0.0f}, {0.0f, 2.0f, 0.0f}, {8.0f, 2.0f, 8.0f, 32}};
  file.triangles = {Ms3dTriangle{{0, 1, 2}}, Ms3dTriangle{{1, 3, 2}}};
  file.groups = {Ms3dGroup{{0, 1}, -1}};
  CModel model;
  ASSERT_TRUE(Load(model, file));
  model.CenterAndScale(1.0f);  // centroid of 0, 1, 2 only: (2/3, 2/3, 0); factor 0.5
  const float c = 2.0f / 3.0f;
  ExpectAt(model, 0, -c * 0.5f, -c * 0.5f, 0.0f);
  ExpectAt(model, 3, (8.0f - c) * 0.5f, (2.0f - c) * 0.5f, -4.0f);
}

TEST_F(Ms3dFit, AModelThatCannotBeFittedIsLeftAsItIs) {
  Ms3dFile underground;
  underground.vertices = {{0.0f, 0.0f, 0.0f}, {1.0f, -1.0f, 0.0f}, {0.0f, -2.0f, 1.0f}};
  underground.triangles = {Ms3dTriangle{{0, 1, 2}}};
  underground.groups = {Ms3dGroup{{0}, -1}};
  Ms3dFile nothingReferenced = OneTriangle();
  nothingReferenced.groups[0].triangles.clear();
  for (const Ms3dFile* file : {&underground, &nothingReferenced}) {
    CModel model;
    ASSERT_TRUE(Load(model, *file));
    std::vector<CModel::Vertex> before(model.vertices, model.vertices + model.vertexCount);
    BoxCapture capture;
    model.CenterAndScale(0.32f);
    EXPECT_TRUE(capture.Stop().empty());
    for (int v = 0; v < model.vertexCount; ++v) {
      for (int a = 0; a < 3; ++a) EXPECT_EQ(model.vertices[v].location[a], before[v].location[a]);
      EXPECT_EQ(model.vertices[v].boneId, before[v].boneId);
    }
  }
}

TEST_F(Ms3dFit, TheEmptyModelBoxShowsOncePerSetUp) {
  CModel model;
  BoxCapture capture;
  model.CenterAndScale(0.32f);
  EXPECT_FALSE(model.Draw());
  EXPECT_FALSE(model.Draw());
  std::vector<CapturedBox> boxes = capture.Stop();
  ASSERT_EQ(boxes.size(), 1u) << Describe(boxes);
  EXPECT_EQ(boxes[0].caption, "CModel::Draw");
  EXPECT_EQ(boxes[0].text, "Can't draw model with no meshes");

  // The next set-up tries the file again, which shows the box once more.
  BoxCapture nextSetUp;
  EXPECT_FALSE(model.LoadFromFile("missing.ms3d"));
  model.CenterAndScale(0.32f);
  for (int peer = 0; peer < 5; ++peer) EXPECT_FALSE(model.Draw());
  boxes = nextSetUp.Stop();
  ASSERT_EQ(boxes.size(), 2u) << Describe(boxes);
  EXPECT_EQ(boxes[0].text, "Couldn't open file");
  EXPECT_EQ(boxes[1].text, "Can't draw model with no meshes");

  // A set-up without a room loads nothing; the teardown before it re-armed the box.
  BoxCapture noRoom;
  model.Release();
  EXPECT_FALSE(model.Draw());
  EXPECT_FALSE(model.Draw());
  EXPECT_EQ(noRoom.Stop().size(), 1u);

  BoxCapture rearmed;
  model.RearmEmptyReport();
  EXPECT_FALSE(model.Draw());
  EXPECT_FALSE(model.Draw());
  EXPECT_EQ(rearmed.Stop().size(), 1u);
}

}  // namespace
