// Reading MilkShape 3D files: what loads, what is refused with which box, and files that lie.
#include <string>
#include <vector>

#include "model/ms3d_model.h"
#include "tests/model/ms3d_test_support.h"

namespace {

using Ms3dLoad = Ms3dFolderTest;

// Loads name into a fresh model; returns the result and the boxes it raised.
struct LoadOutcome {
  bool loaded;
  std::vector<CapturedBox> boxes;
};

LoadOutcome LoadInto(CModel& model, const char* name, bool throughLoadFromFile = true) {
  BoxCapture capture;
  bool loaded = throughLoadFromFile ? model.LoadFromFile(name) : model.LoadMS3D(name);
  return {loaded, capture.Stop()};
}

void ExpectOneBox(const LoadOutcome& outcome, const char* caption, const char* text) {
  ASSERT_EQ(outcome.boxes.size(), 1u) << Describe(outcome.boxes);
  EXPECT_EQ(outcome.boxes[0].caption, caption);
  EXPECT_EQ(outcome.boxes[0].text, text);
}

TEST_F(Ms3dLoad, ReaderIsChosenByACaseSensitiveSubstringOfTheName) {
  Write("avatar.ms3d.bak", OneTriangle().Bytes());
  Write("AVATAR.MS3D", OneTriangle().Bytes());
  {
    CModel model;
    LoadOutcome outcome = LoadInto(model, "avatar.ms3d.bak");
    EXPECT_TRUE(outcome.loaded) << Describe(outcome.boxes);
    EXPECT_EQ(model.meshCount, 1);
  }
  {
    CModel model;
    LoadOutcome outcome = LoadInto(model, "AVATAR.MS3D");
    EXPECT_FALSE(outcome.loaded);
    ExpectOneBox(outcome, "CModel::LoadFromFile", "Unknown model format");
    EXPECT_TRUE(IsEmpty(model));
  }
  {
    CModel model;
    ExpectOneBox(LoadInto(model, nullptr), "CModel::LoadFromFile", "No filename specified");
    ExpectOneBox(LoadInto(model, nullptr, false), "CModel::LoadMS3D", "No filename specified");
  }
}

TEST_F(Ms3dLoad, OnlyVersionsThreeAndFourLoad) {
  struct Case {
    int32_t version;
    const char* refusal;  // null: loads
  } cases[] = {{2, "Outdated MilkShape 3D file version"},
               {-1, "Outdated MilkShape 3D file version"},
               {3, nullptr},
               {4, nullptr},
               {5, "Advanced MilkShape 3D file version"}};
  for (const Case& c : cases) {
    SCOPED_TRACE("version " + std::to_string(c.version));
    Ms3dFile file = OneTriangle();
    file.version = c.version;
    Write("v.ms3d", file.Bytes());
    CModel model;
    LoadOutcome outcome = LoadInto(model, "v.ms3d");
    if (c.refusal) {
      EXPECT_FALSE(outcome.loaded);
      ExpectOneBox(outcome, "CModel::LoadMS3D", c.refusal);
      EXPECT_TRUE(IsEmpty(model));
    } else {
      EXPECT_TRUE(outcome.loaded) << Describe(outcome.boxes);
      EXPECT_TRUE(outcome.boxes.empty()) << Describe(outcome.boxes);
      EXPECT_EQ(model.vertexCount, 3);
    }
  }
}

TEST_F(Ms3dLoad, MissingEmptyAndForeignFilesAreRefusedWithOneBox) {
  int before = OpenFileCount();
  CModel model;
  ExpectOneBox(LoadInto(model, "missing.ms3d"), "CModel::LoadMS3D", "Couldn't open file");
  Write("empty.ms3d", {});
  ExpectOneBox(LoadInto(model, "empty.ms3d"), "CModel::LoadMS3D", "Zero-length file");
  Ms3dFile other = OneTriangle();
  other.id = "MS3D000001";
  Write("other.ms3d", other.Bytes());
  ExpectOneBox(LoadInto(model, "other.ms3d"), "CModel::LoadMS3D", "Invalid MilkShape 3D file");
  // A folder opens for reading on this system; its size is not a file size.
  ASSERT_EQ(system("mkdir folder.ms3d"), 0);
  LoadOutcome outcome = LoadInto(model, "folder.ms3d");
  EXPECT_FALSE(outcome.loaded);
  EXPECT_EQ(outcome.boxes.size(), 1u) << Describe(outcome.boxes);
  EXPECT_TRUE(IsEmpty(model));
  EXPECT_EQ(OpenFileCount(), before) << "every opened file is closed again";
}

TEST_F(Ms3dLoad, ZeroVerticesTrianglesOrMeshesAreRefusedAndLeaveTheModelEmpty) {
  Ms3dFile noVertices;
  Ms3dFile noTriangles = OneTriangle();
  noTriangles.triangles.clear();
  noTriangles.groups.clear();
  Ms3dFile noMeshes = OneTriangle();
  noMeshes.groups.clear();
  struct Case {
    const Ms3dFile* file;
    const char* refusal;
  } cases[] = {{&noVertices, "No vertices found"},
               {&noTriangles, "No triangles found"},
               {&noMeshes, "No meshes found"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.refusal);
    Write("z.ms3d", c.file->Bytes());
    CModel model;
    LoadOutcome outcome = LoadInto(model, "z.ms3d");
    EXPECT_FALSE(outcome.loaded);
    ExpectOneBox(outcome, "CModel::LoadMS3D", c.refusal);
    EXPECT_TRUE(IsEmpty(model));
  }
}

TEST_F(Ms3dLoad, StoresTheFieldsWithTFlippedAndIndicesWidened) {
  Ms3dFile file = OneTexturedTriangle();
  file.vertices[1].boneId = -2;
  file.vertices[2].boneId = 32;
  file.triangles[0].s[0] = 0.125f;
  file.triangles[0].t[0] = 0.25f;
  file.triangles[0].t[1] = 1.0f;
  file.triangles[0].normals[4] = -0.5f;
  // Indices above 32767 must not turn negative on the way in.
  file.vertices.resize(40001, Ms3dVertex{0.5f, 0.5f, 0.5f});
  file.vertices[40000] = Ms3dVertex{7.0f, 8.0f, 9.0f};
  file.triangles.push_back(Ms3dTriangle{{40000, 1, 2}});
  file.groups.push_back(Ms3dGroup{{1, 0}, -1});
  Write("fields.ms3d", file.Bytes());

  CModel model;
  LoadOutcome outcome = LoadInto(model, "fields.ms3d");
  ASSERT_TRUE(outcome.loaded) << Describe(outcome.boxes);
  EXPECT_TRUE(outcome.boxes.empty()) << Describe(outcome.boxes);
  ASSERT_EQ(model.vertexCount, 40001);
  EXPECT_EQ(model.vertices[0].boneId, -1);
  EXPECT_EQ(model.vertices[1].boneId, -2);
  EXPECT_EQ(model.vertices[2].boneId, 32);
  EXPECT_FLOAT_EQ(model.vertices[40000].location[2], 9.0f);
  ASSERT_EQ(model.triangleCount, 2);
  const CModel::Triangle& tri = model.triangles[0];
  EXPECT_FLOAT_EQ(tri.s[0], 0.125f);
  EXPECT_FLOAT_EQ(tri.t[0], 0.75f) << "t 0.25 in the file is stored as 1 - t";
  EXPECT_FLOAT_EQ(tri.t[1], 0.0f);
  EXPECT_FLOAT_EQ(tri.t[2], 0.0f);
  EXPECT_FLOAT_EQ(tri.vertexNormals[1][1], -0.5f);
  EXPECT_EQ(model.triangles[1].vertexIndices[0], 40000);
  ASSERT_EQ(model.meshCount, 2);
  EXPECT_EQ(model.meshes[0].materialIndex, 0);
  EXPECT_EQ(model.meshes[1].materialIndex, -1);
  ASSERT_EQ(model.meshes[1].triangleCount, 2);
  EXPECT_EQ(model.meshes[1].triangleIndices[0], 1);
  ASSERT_EQ(model.materialCount, 1);
  const CModel::Material& material = model.materials[0];
  EXPECT_FLOAT_EQ(material.ambient[1], 0.2f);
  EXPECT_FLOAT_EQ(material.diffuse[2], 0.6f);
  EXPECT_FLOAT_EQ(material.specular[0], 0.7f);
  EXPECT_FLOAT_EQ(material.emissive[3], 1.0f);
  EXPECT_FLOAT_EQ(material.shininess, 12.5f);
  ASSERT_NE(material.texture, nullptr);
  EXPECT_NE(material.texture->textureName, ~0u);
  EXPECT_EQ(material.texture->width, 4);
}

TEST_F(Ms3dLoad, ZeroMaterialsLoadWhenEveryMeshHasMaterialMinusOne) {
  Write("bare.ms3d", OneTriangle().Bytes());
  CModel model;
  LoadOutcome outcome = LoadInto(model, "bare.ms3d");
  EXPECT_TRUE(outcome.loaded) << Describe(outcome.boxes);
  EXPECT_EQ(model.materialCount, 0);
  EXPECT_EQ(model.materials, nullptr);
  EXPECT_EQ(model.meshes[0].materialIndex, -1);
}

TEST_F(Ms3dLoad, MaterialTexturesComeFromTheDataFolderAndAFailureFailsTheModel) {
  {
    Ms3dFile file = OneTexturedTriangle();
    file.materials.push_back(Ms3dMaterial{});
    file.materials[1].texture = "nothere.bmp";
    Write("missing-texture.ms3d", file.Bytes());
    CModel model;
    LoadOutcome outcome = LoadInto(model, "missing-texture.ms3d");
    EXPECT_FALSE(outcome.loaded);
    ASSERT_EQ(outcome.boxes.size(), 3u) << Describe(outcome.boxes);
    EXPECT_EQ(outcome.boxes[0].caption, "CTexture::LoadFromFile");
    EXPECT_EQ(outcome.boxes[0].text, "Couldn't open file");
    EXPECT_EQ(outcome.boxes[1].caption, "*");
    EXPECT_EQ(outcome.boxes[1].text, "data\\nothere.bmp");
    EXPECT_EQ(outcome.boxes[2].caption, "CModel::LoadMS3D");
    EXPECT_EQ(outcome.boxes[2].text, "Couldn't load material texture");
    EXPECT_TRUE(IsEmpty(model)) << "the first material's texture is released too";
  }
  {
    Ms3dFile file = OneTexturedTriangle();
    file.materials[0].texture = "";
    Write("no-texture-name.ms3d", file.Bytes());
    CModel model;
    LoadOutcome outcome = LoadInto(model, "no-texture-name.ms3d");
    EXPECT_FALSE(outcome.loaded);
    ASSERT_FALSE(outcome.boxes.empty());
    EXPECT_EQ(outcome.boxes.back().text, "Couldn't load material texture");
    EXPECT_TRUE(IsEmpty(model));
  }
  {
    // A name that fills its whole field without a terminating zero is read to the field's end.
    Ms3dFile file = OneTexturedTriangle();
    file.materials[0].rawTexture = std::string(128, 'q');
    Write("long-name.ms3d", file.Bytes());
    CModel model;
    LoadOutcome outcome = LoadInto(model, "long-name.ms3d");
    EXPECT_FALSE(outcome.loaded);
    ASSERT_EQ(outcome.boxes.size(), 3u) << Describe(outcome.boxes);
    EXPECT_EQ(outcome.boxes[1].text, "data\\" + std::string(128, 'q'));
  }
}

TEST_F(Ms3dLoad, FilesThatLieAreRefusedWithoutReadingPastThem) {
  struct Case {
    const char* what;
    Ms3dFile file;
    const char* refusal;
  };
  std::vector<Case> cases;
  cases.push_back({"vertex index at the vertex count", OneTriangle(), "Vertex index out of range"});
  cases.back().file.triangles[0].vertex[2] = 3;
  cases.push_back({"triangle index at the triangle count", OneTriangle(), "Triangle index out of range"});
  cases.back().file.groups[0].triangles.push_back(1);
  cases.push_back({"material index with no materials", OneTriangle(), "Material index out of range"});
  cases.back().file.groups[0].material = 0;
  cases.push_back({"material index at the material count", OneTexturedTriangle(), "Material index out of range"});
  cases.back().file.groups[0].material = 1;
  int before = OpenFileCount();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Write("lie.ms3d", c.file.Bytes());
    CModel model;
    LoadOutcome outcome = LoadInto(model, "lie.ms3d");
    EXPECT_FALSE(outcome.loaded);
    ExpectOneBox(outcome, "CModel::LoadMS3D", c.refusal);
    EXPECT_TRUE(IsEmpty(model));
  }

  // Every shorter prefix of a good file claims more than it holds.
  Ms3dFile whole = OneTexturedTriangle();
  whole.groups.push_back(Ms3dGroup{{0}, -1});
  std::vector<unsigned char> bytes = whole.Bytes();
  for (std::size_t size = 1; size < bytes.size(); ++size) {
    SCOPED_TRACE("first " + std::to_string(size) + " of " + std::to_string(bytes.size()) + " bytes");
    Write("cut.ms3d", std::vector<unsigned char>(bytes.begin(), bytes.begin() + size));
    CModel model;
    LoadOutcome outcome = LoadInto(model, "cut.ms3d");
    EXPECT_FALSE(outcome.loaded);
    ASSERT_EQ(outcome.boxes.size(), 1u) << Describe(outcome.boxes);
    EXPECT_EQ(outcome.boxes[0].caption, "CModel::LoadMS3D");
    EXPECT_TRUE(IsEmpty(model));
  }
  Write("cut.ms3d", bytes);
  CModel model;
  EXPECT_TRUE(LoadInto(model, "cut.ms3d").loaded) << "the whole file loads";
  EXPECT_EQ(OpenFileCount(), before) << "every opened file is closed again";
}

TEST_F(Ms3dLoad, LoadingOverALoadedModelReplacesIt) {
  Ms3dFile bigger = OneTexturedTriangle();
  bigger.vertices.push_back({2.0f, 2.0f, 2.0f});
  Write("first.ms3d", bigger.Bytes());
  Write("second.ms3d", OneTriangle().Bytes());
  CModel model;
  ASSERT_TRUE(LoadInto(model, "first.ms3d").loaded);
  LoadOutcome outcome = LoadInto(model, "second.ms3d");
  EXPECT_TRUE(outcome.loaded) << Describe(outcome.boxes);
  EXPECT_EQ(model.vertexCount, 3);
  EXPECT_EQ(model.materialCount, 0);
  model.Release();
  EXPECT_TRUE(IsEmpty(model));
  model.Release();  // twice is harmless
  EXPECT_TRUE(IsEmpty(model));
}

}  // namespace
