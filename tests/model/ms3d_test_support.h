// Builds MilkShape 3D files byte by byte for the loader tests, and a scratch folder to load them from.
#pragma once
#include <gtest/gtest.h>
#include <dirent.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "model/ms3d_model.h"
#include "tests/common/box_capture.h"
#include "tests/common/offscreen_gl.h"
#include "tools/common/bmp_writer.h"

struct Ms3dVertex {
  float x, y, z;
  int boneId = -1;
};

struct Ms3dTriangle {
  unsigned vertex[3];
  float s[3] = {0.0f, 1.0f, 0.0f};
  float t[3] = {0.0f, 0.0f, 1.0f};
  float normals[9] = {0, 0, 1, 0, 0, 1, 0, 0, 1};
};

struct Ms3dGroup {
  std::vector<unsigned> triangles;
  int material = -1;
};

struct Ms3dMaterial {
  std::string texture = "skin.bmp";
  std::string rawTexture;  // when set: the 128-byte field exactly as given, no terminator added
  float ambient[4] = {0.1f, 0.2f, 0.3f, 1.0f};
  float diffuse[4] = {0.4f, 0.5f, 0.6f, 1.0f};
  float specular[4] = {0.7f, 0.8f, 0.9f, 1.0f};
  float emissive[4] = {0.0f, 0.25f, 0.5f, 1.0f};
  float shininess = 12.5f;
};

struct Ms3dFile {
  std::string id = "MS3D000000";
  int32_t version = 4;
  std::vector<Ms3dVertex> vertices;
  std::vector<Ms3dTriangle> triangles;
  std::vector<Ms3dGroup> groups;
  std::vector<Ms3dMaterial> materials;

  std::vector<unsigned char> Bytes() const {
    std::vector<unsigned char> out(id.begin(), id.end());
    U32(out, static_cast<uint32_t>(version));
    U16(out, vertices.size());
    for (const Ms3dVertex& v : vertices) {
      out.push_back(0);
      F32(out, v.x), F32(out, v.y), F32(out, v.z);
      out.push_back(static_cast<unsigned char>(static_cast<signed char>(v.boneId)));
      out.push_back(1);
    }
    U16(out, triangles.size());
    for (const Ms3dTriangle& t : triangles) {
      U16(out, 0);
      for (unsigned v : t.vertex) U16(out, v);
      for (float n : t.normals) F32(out, n);
      for (float s : t.s) F32(out, s);
      for (float tt : t.t) F32(out, tt);
      out.push_back(1), out.push_back(0);
    }
    U16(out, groups.size());
    for (const Ms3dGroup& g : groups) {
      out.push_back(0);
      Text(out, "group", 32);
      U16(out, g.triangles.size());
      for (unsigned t : g.triangles) U16(out, t);
      out.push_back(static_cast<unsigned char>(static_cast<signed char>(g.material)));
    }
    U16(out, materials.size());
    for (const Ms3dMaterial& m : materials) {
      Text(out, "material", 32);
      for (const float* colour : {m.ambient, m.diffuse, m.specular, m.emissive})
        for (int k = 0; k < 4; ++k) F32(out, colour[k]);
      F32(out, m.shininess);
      F32(out, 1.0f);
      out.push_back(0);
      if (!m.rawTexture.empty())
        out.insert(out.end(), m.rawTexture.begin(), m.rawTexture.begin() + 128);
      else
        Text(out, m.texture, 128);
      Text(out, "", 128);
    }
    return out;
  }

  static void U16(std::vector<unsigned char>& out, std::size_t v) {
    out.push_back(static_cast<unsigned char>(v & 0xff));
    out.push_back(static_cast<unsigned char>((v >> 8) & 0xff));
  }
  static void U32(std::vector<unsigned char>& out, uint32_t v) {
    U16(out, v & 0xffff);
    U16(out, v >> 16);
  }
  static void F32(std::vector<unsigned char>& out, float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    U32(out, bits);
  }
  static void Text(std::vector<unsigned char>& out, const std::string& text, std::size_t field) {
    for (std::size_t i = 0; i < field; ++i) out.push_back(i < text.size() ? text[i] : 0);
  }
};

// One triangle standing on y = 0 in one mesh without a material.
inline Ms3dFile OneTriangle() {
  Ms3dFile f;
  f.vertices = {{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}};
  f.triangles.push_back(Ms3dTriangle{{0, 1, 2}});
  f.groups.push_back(Ms3dGroup{{0}, -1});
  return f;
}

// The same triangle textured by one material whose texture is data/skin.bmp.
inline Ms3dFile OneTexturedTriangle() {
  Ms3dFile f = OneTriangle();
  f.groups[0].material = 0;
  f.materials.push_back(Ms3dMaterial{});
  return f;
}

// A scratch folder made the working directory, with data/skin.bmp (4 by 4, red) in it,
// an OpenGL context for the material textures, and boxes answered on stderr.
class Ms3dFolderTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gl_.Open(64, 64));
    char pattern[] = "/tmp/qivra-ms3d-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    ASSERT_NE(getcwd(oldCwd_, sizeof oldCwd_), nullptr);
    ASSERT_EQ(chdir(folder_.c_str()), 0);
    ASSERT_EQ(system("mkdir data"), 0);
    std::vector<unsigned char> red(4 * 4 * 3, 0);
    for (std::size_t i = 0; i < red.size(); i += 3) red[i] = 255;
    ASSERT_TRUE(WriteBmp24("data/skin.bmp", 4, 4, red));
  }
  void TearDown() override {
    if (oldCwd_[0]) {
      EXPECT_EQ(chdir(oldCwd_), 0);
    }
    if (!folder_.empty()) {
      EXPECT_EQ(system(("rm -rf " + folder_).c_str()), 0);
    }
  }

 public:
  static void Write(const char* name, const std::vector<unsigned char>& bytes) {
    FILE* file = std::fopen(name, "wb");
    ASSERT_NE(file, nullptr);
    if (!bytes.empty()) {
      ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    }
    ASSERT_EQ(std::fclose(file), 0);
  }
  // Open descriptors of this process: a loader that forgets to close shows up here.
  static int OpenFileCount() {
    DIR* fds = opendir("/proc/self/fd");
    if (!fds) return -1;
    int count = 0;
    while (readdir(fds)) ++count;
    closedir(fds);
    return count;
  }


 protected:
  OffscreenGl gl_;
  std::string folder_;
  char oldCwd_[4096] = {0};
};

inline bool IsEmpty(const CModel& m) {
  return m.vertexCount == 0 && m.triangleCount == 0 && m.meshCount == 0 && m.materialCount == 0 &&
         !m.vertices && !m.triangles && !m.meshes && !m.materials;
}
