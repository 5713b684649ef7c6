// The room file: its line rules, its bounds, what it rejects, and the assets it asks for.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/counted_alloc.h"
#include "console/console_log.h"
#include "scene/font.h"
#include "scene/scene.h"
#include "scene/world.h"
#include "tests/scene/test_support.h"

namespace {

class WorldFileTest : public testing::Test {
 protected:
  void SetUp() override {
    ConsoleClear();
    startBlocks = liveBlocks;
  }
  void TearDown() override {
    if (WorldGeometry.triangles) FreeWorldGeometry();
    EXPECT_EQ(liveBlocks, startBlocks) << "every counted block is returned";
  }
  bool Read(const std::string& text) {
    FILE* stream = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    if (!stream) ADD_FAILURE() << "fmemopen";
    bool ok = ReadWorldStream(stream, &highest);
    std::fclose(stream);
    return ok;
  }
  std::string Newest() const { return ConsoleLog.lines[kConsoleLines - 1]; }

  int highest = 0;
  int32_t startBlocks = 0;
};

void ExpectVertex(const WorldVertex& v, float x, float y, float z, float u, float t, const char* what) {
  EXPECT_FLOAT_EQ(v.x, x) << what;
  EXPECT_FLOAT_EQ(v.y, y) << what;
  EXPECT_FLOAT_EQ(v.z, z) << what;
  EXPECT_FLOAT_EQ(v.u, u) << what;
  EXPECT_FLOAT_EQ(v.v, t) << what;
}

TEST_F(WorldFileTest, CommentsAndEmptyLinesMayStandAnywhereAndTheBoxHoldsTheOrigin) {
  ASSERT_TRUE(Read("/ before the header\n\nNUMPOLLIES 2\n// after it\n\nTEXTURE 1\n1 0 1 0 0\n"
                   "// between vertices\n\n2 0 1 1 0\n2 1 1 1 1\n3 0 2 0 0\n/x\n3 1 2 0 1\n4 1 2 1 1\n"));
  ASSERT_EQ(WorldGeometry.triangleCount, 2);
  ExpectVertex(WorldGeometry.triangles[0].vertex[1], 2, 0, 1, 1, 0, "triangle 0 vertex 1");
  ExpectVertex(WorldGeometry.triangles[1].vertex[2], 4, 1, 2, 1, 1, "triangle 1 vertex 2");
  EXPECT_EQ(highest, 1);
  // Every x is positive, yet the box starts at the origin.
  EXPECT_FLOAT_EQ(WorldBounds.minX, 0);
  EXPECT_FLOAT_EQ(WorldBounds.maxX, 4);
  EXPECT_FLOAT_EQ(WorldBounds.minY, 0);
  EXPECT_FLOAT_EQ(WorldBounds.maxY, 1);
  EXPECT_FLOAT_EQ(WorldBounds.minZ, 0);
  EXPECT_FLOAT_EQ(WorldBounds.maxZ, 2);
}

TEST_F(WorldFileTest, TextureLinesAndMissingNumbers) {
  ASSERT_TRUE(Read("NUMPOLLIES 3\n"
                   "TEXTURE 4\nTEXTURE 2\n-1 0 -1 0.5 0.25\n-2\n-3 5\n"       // two texture lines: the second rules
                   "TEXTURE 3\n0 0 0 0 0\nTEXTURE 1\n0 0 0 0 0\n0 0 0 0 0\n"  // changed between vertices 1 and 3
                   "TEXTURE 2\n1 1 1 1 1\n1 1 1 1 1\n1 1 1 1 1\n"));
  ASSERT_EQ(WorldGeometry.triangleCount, 3);
  EXPECT_EQ(WorldGeometry.triangles[0].texture, 1);
  EXPECT_EQ(WorldGeometry.triangles[1].texture, 0) << "the texture in force at the third vertex counts";
  EXPECT_EQ(WorldGeometry.triangles[2].texture, 1);
  EXPECT_EQ(highest, 4) << "a texture line that was overruled still counts for the highest";
  ExpectVertex(WorldGeometry.triangles[0].vertex[1], -2, 0, -1, 0.5f, 0.25f, "only x given");
  ExpectVertex(WorldGeometry.triangles[0].vertex[2], -3, 5, -1, 0.5f, 0.25f, "x and y given");
  EXPECT_FLOAT_EQ(WorldBounds.minX, -3);
  EXPECT_FLOAT_EQ(WorldBounds.maxY, 5);
  EXPECT_FLOAT_EQ(WorldBounds.minZ, -1);
  EXPECT_FLOAT_EQ(WorldBounds.maxZ, 1);
}

TEST_F(WorldFileTest, VertexBeforeAnyTextureLineAndShortFirstLineDefault) {
  ASSERT_TRUE(Read("NUMPOLLIES 1\n1 2\n3\n4 5 6 7 8\n"));
  ASSERT_EQ(WorldGeometry.triangleCount, 1);
  EXPECT_EQ(WorldGeometry.triangles[0].texture, 0) << "texture 1 until a texture line";
  ExpectVertex(WorldGeometry.triangles[0].vertex[0], 1, 2, 0, 0, 0, "missing numbers start at 0");
  ExpectVertex(WorldGeometry.triangles[0].vertex[1], 3, 2, 0, 0, 0, "then keep the previous line's");
  EXPECT_EQ(highest, 1);
}

TEST_F(WorldFileTest, FileEndingEarlyKeepsTheCompleteTriangles) {
  std::string seven;
  for (int i = 0; i < 7; ++i) seven += std::to_string(i) + " 0 0 0 0\n";
  ASSERT_TRUE(Read("NUMPOLLIES 5\nTEXTURE 1\n" + seven));
  EXPECT_EQ(WorldGeometry.triangleCount, 2);
  FreeWorldGeometry();

  ASSERT_TRUE(Read("NUMPOLLIES 2\nTEXTURE 1\n0 0 0 0 0\n0 0 0 0 0\n0 0 0 0 0\nTEXTURE 2\nTEXTURE 3\n"));
  EXPECT_EQ(WorldGeometry.triangleCount, 1) << "ending among texture lines";
  EXPECT_EQ(highest, 3);
  FreeWorldGeometry();

  ASSERT_TRUE(Read("NUMPOLLIES 4\n// nothing follows\n"));
  EXPECT_EQ(WorldGeometry.triangleCount, 0);
}

TEST_F(WorldFileTest, RejectedFilesLeaveAnEmptyRoomAndSayWhy) {
  const char* badHeaders[] = {"", "// only a comment\n", "NUMPOLIES 3\n0 0 0 0 0\n", "NUMPOLLIES -1\n",
                              "NUMPOLLIES 99999999\n", "NUMPOLLIES x\n", "TEXTURE 1\n"};
  for (const char* text : badHeaders) {
    ConsoleClear();
    EXPECT_FALSE(Read(text)) << text;
    EXPECT_EQ(WorldGeometry.triangleCount, 0) << text;
    EXPECT_EQ(Newest(), "ERROR: world.txt has no valid NUMPOLLIES line!") << text;
    FreeWorldGeometry();  // an empty block is held, so the teardown balances
  }
  const char* badTextures[] = {"TEXTURE 0\n", "TEXTURE -2\n", "TEXTURE 1025\n"};
  for (const char* texture : badTextures) {
    ConsoleClear();
    std::string text = std::string("NUMPOLLIES 2\nTEXTURE 1\n5 5 5 0 0\n6 6 6 0 0\n7 7 7 0 0\n") + texture +
                       "1 1 1 0 0\n1 1 1 0 0\n1 1 1 0 0\n";
    EXPECT_FALSE(Read(text)) << texture;
    EXPECT_EQ(WorldGeometry.triangleCount, 0) << texture;
    EXPECT_FLOAT_EQ(WorldBounds.maxX, 0) << "the box shrinks back to the origin";
    EXPECT_EQ(Newest(), "ERROR: world.txt names a texture number out of range!") << texture;
    FreeWorldGeometry();
  }
}

// The shipped room as a Windows editor saves it, and again with a spacer line after every
// line (empty, a lone carriage return, blanks, tabs): the same triangles as the file itself.
TEST_F(WorldFileTest, ShippedRoomReadsTheSameWithWindowsLineEndsAndBlankLines) {
  std::ifstream file(QIVRA_SOURCE_DIR "/data/world.txt", std::ios::binary);
  std::stringstream shipped;
  shipped << file.rdbuf();
  ASSERT_TRUE(Read(shipped.str()));
  const std::vector<WorldTriangle> expected(WorldGeometry.triangles,
                                            WorldGeometry.triangles + WorldGeometry.triangleCount);
  const WorldBoundsRecord expectedBounds = WorldBounds;
  const int expectedHighest = highest;
  ASSERT_GT(expected.size(), 600u);
  FreeWorldGeometry();

  const char* spacers[] = {"\r\n", "\r\r\n", "  \r\n", "\t \t\r\n", " \n"};
  std::string windows, spaced, line;
  for (int n = 0; std::getline(shipped, line); ++n) {
    windows += line + "\r\n";
    spaced += line + "\r\n" + spacers[n % 5];
  }
  for (const std::string* text : {&windows, &spaced}) {
    const char* what = text == &windows ? "CRLF" : "CRLF and blank lines";
    ASSERT_TRUE(Read(*text)) << what;
    ASSERT_EQ(WorldGeometry.triangleCount, static_cast<int>(expected.size())) << what;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const WorldTriangle& got = WorldGeometry.triangles[i];
      ASSERT_EQ(got.texture, expected[i].texture) << what << ", triangle " << i;
      ASSERT_EQ(0, std::memcmp(got.vertex, expected[i].vertex, sizeof got.vertex)) << what << ", triangle " << i;
    }
    EXPECT_EQ(0, std::memcmp(&WorldBounds, &expectedBounds, sizeof WorldBounds)) << what;
    EXPECT_EQ(highest, expectedHighest) << what;
    FreeWorldGeometry();
  }
}

// LoadWorldFile in a folder of our own: what it loads and what it says.
class WorldLoadTest : public WorldFileTest {
 protected:
  void SetUp() override {
    WorldFileTest::SetUp();
    ASSERT_TRUE(view.ok());
  }
  void TearDown() override {
    if (WorldTextures.names) FreeWorldTextures();
    FreeAvatarModel();
    WorldFileTest::TearDown();
  }
  void WriteTexture(int number) {
    folder.Write("data/" + std::to_string(number) + ".bmp", Bmp24(4, 4, std::vector<unsigned char>(48, 200)));
  }
  void WriteFont() {  // 16 by 16, top-left texel the key colour, the next one a near miss
    std::vector<unsigned char> rgb(16 * 16 * 3, 40);
    rgb[0] = 0, rgb[1] = 255, rgb[2] = 0;
    rgb[3] = 0, rgb[4] = 254, rgb[5] = 0;
    folder.Write("data/font.bmp", Bmp24(16, 16, rgb));
  }
  HeadlessView view{32, 32};
  TempFolder folder;
};

TEST_F(WorldLoadTest, MissingFileLoadsNothingElse) {
  WorkingFolder cwd(folder.path());
  BoxRecorder recorder;
  FontNames.texture = 0;
  LoadWorldFile();
  EXPECT_EQ(recorder.Stop().size(), 0u) << "no model load was tried";
  EXPECT_EQ(Newest(), "ERROR: world.txt file not found!");
  EXPECT_EQ(WorldTextures.names, nullptr);
  EXPECT_EQ(FontNames.texture, 0u);
  EXPECT_EQ(WorldGeometry.triangleCount, 0);
  EXPECT_EQ(liveBlocks, startBlocks);
}

TEST_F(WorldLoadTest, TexturesUpToTheHighestNumberAreTriedAndTheFontIsColourKeyed) {
  folder.Write("data/world.txt", std::string("NUMPOLLIES 1\nTEXTURE 3\n0 0 0 0 0\n1 0 0 1 0\n0 1 0 0 1\n"));
  WriteTexture(1);
  WriteTexture(3);  // 2 is missing
  WriteFont();
  WorkingFolder cwd(folder.path());
  BoxRecorder recorder;
  LoadWorldFile();
  std::vector<BoxShown> boxes = recorder.Stop();
  ASSERT_EQ(WorldTextures.count, 3);
  EXPECT_NE(WorldTextures.names[0], 0u);
  EXPECT_EQ(WorldTextures.names[1], 0u);
  EXPECT_NE(WorldTextures.names[2], 0u);
  EXPECT_EQ(Newest(), "WARNING: Texture Load Failure!");
  bool loadingBox = false;
  for (const BoxShown& box : boxes) loadingBox |= box.caption == "loading" && box.text == "ERROR";
  EXPECT_TRUE(loadingBox) << "the missing avatar model is reported under \"loading\"";

  ASSERT_NE(FontNames.texture, 0u);
  glBindTexture(GL_TEXTURE_2D, FontNames.texture);
  std::vector<unsigned char> rgba(16 * 16 * 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  const unsigned char* topLeft = &rgba[(15 * 16 + 0) * 4];  // rows arrive bottom first
  EXPECT_EQ(topLeft[3], 0) << "exactly (0, 255, 0) is transparent";
  EXPECT_EQ(topLeft[4 + 3], 255) << "(0, 254, 0) stays opaque";
  EXPECT_EQ(rgba[3], 255);
  GLint filter = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
  EXPECT_EQ(filter, GL_NEAREST);
  glBindTexture(GL_TEXTURE_2D, WorldTextures.names[0]);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
  EXPECT_EQ(filter, GL_LINEAR_MIPMAP_NEAREST);
}

TEST_F(WorldLoadTest, EmptyRoomStillLoadsTextureOneAndTheFont) {
  folder.Write("data/world.txt", std::string("NUMPOLLIES 0\n"));
  WriteTexture(1);
  WriteFont();
  WorkingFolder cwd(folder.path());
  BoxRecorder recorder;
  LoadWorldFile();
  recorder.Stop();
  EXPECT_EQ(WorldGeometry.triangleCount, 0);
  ASSERT_EQ(WorldTextures.count, 1);
  EXPECT_NE(WorldTextures.names[0], 0u);
  EXPECT_NE(FontNames.texture, 0u);
  EXPECT_NE(Newest(), "WARNING: Texture Load Failure!");
}

}  // namespace
