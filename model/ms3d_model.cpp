// CModel: reads a MilkShape 3D file into memory, fits the model to a height and draws it.
#include "model/ms3d_model.h"

#include <GL/gl.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/data_path.h"

CModel AvatarModel;

namespace {

const char kLoadCaption[] = "CModel::LoadMS3D";
const char kTruncated[] = "Truncated MilkShape 3D file";
// Far above any model this program draws; it also stops a directory (whose size reads
// as the largest file offset) from turning into an allocation of that size.
const long kMaxFileSize = 64L * 1024 * 1024;

const std::size_t kVertexSize = 15;
const std::size_t kTriangleSize = 70;
const std::size_t kGroupHeadSize = 1 + 32 + 2;
const std::size_t kMaterialSize = 361;
const std::size_t kTextureNameSize = 128;

// The file is little-endian whatever the machine is.
unsigned ReadU16(const unsigned char* p) { return static_cast<unsigned>(p[0] | (p[1] << 8)); }

uint32_t ReadU32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

int32_t ReadS32(const unsigned char* p) {
  uint32_t bits = ReadU32(p);
  int32_t value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

float ReadF32(const unsigned char* p) {
  uint32_t bits = ReadU32(p);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

int ReadS8(const unsigned char* p) { return static_cast<signed char>(p[0]); }

// Walks the file buffer and never moves past its end: a file that claims more than it
// holds is caught here instead of being read beyond the buffer.
struct FileCursor {
  const unsigned char* data;
  std::size_t size;
  std::size_t pos;
};

const unsigned char* Take(FileCursor& cursor, std::size_t count) {
  if (count > cursor.size - cursor.pos) return nullptr;
  const unsigned char* at = cursor.data + cursor.pos;
  cursor.pos += count;
  return at;
}

const char* ReadVertices(CModel& model, FileCursor& cursor) {
  const unsigned char* p = Take(cursor, 2);
  if (!p) return kTruncated;
  int count = static_cast<int>(ReadU16(p));
  if (count == 0) return "No vertices found";
  const unsigned char* block = Take(cursor, count * kVertexSize);
  if (!block) return kTruncated;
  model.vertices = new (std::nothrow) CModel::Vertex[count];
  if (!model.vertices) return "Out of memory allocating Vertices";
  model.vertexCount = count;
  for (int i = 0; i < count; ++i) {
    const unsigned char* v = block + i * kVertexSize;
    for (int k = 0; k < 3; ++k) model.vertices[i].location[k] = ReadF32(v + 1 + 4 * k);
    model.vertices[i].boneId = ReadS8(v + 13);
  }
  return nullptr;
}

const char* ReadTriangles(CModel& model, FileCursor& cursor) {
  const unsigned char* p = Take(cursor, 2);
  if (!p) return kTruncated;
  int count = static_cast<int>(ReadU16(p));
  if (count == 0) return "No triangles found";
  const unsigned char* block = Take(cursor, count * kTriangleSize);
  if (!block) return kTruncated;
  model.triangles = new (std::nothrow) CModel::Triangle[count];
  if (!model.triangles) return "Out of memory allocating Triangles";
  model.triangleCount = count;
  for (int i = 0; i < count; ++i) {
    const unsigned char* t = block + i * kTriangleSize;
    CModel::Triangle& tri = model.triangles[i];
    for (int k = 0; k < 3; ++k) {
      tri.vertexIndices[k] = static_cast<int>(ReadU16(t + 2 + 2 * k));
      if (tri.vertexIndices[k] >= model.vertexCount) return "Vertex index out of range";
      for (int a = 0; a < 3; ++a) tri.vertexNormals[k][a] = ReadF32(t + 8 + 12 * k + 4 * a);
      tri.s[k] = ReadF32(t + 44 + 4 * k);
      tri.t[k] = 1.0f - ReadF32(t + 56 + 4 * k);
    }
  }
  return nullptr;
}

const char* ReadMeshes(CModel& model, FileCursor& cursor) {
  const unsigned char* p = Take(cursor, 2);
  if (!p) return kTruncated;
  int count = static_cast<int>(ReadU16(p));
  if (count == 0) return "No meshes found";
  model.meshes = new (std::nothrow) CModel::Mesh[count]();
  if (!model.meshes) return "Out of memory allocating Meshes";
  model.meshCount = count;
  for (int i = 0; i < count; ++i) {
    CModel::Mesh& mesh = model.meshes[i];
    const unsigned char* head = Take(cursor, kGroupHeadSize);
    if (!head) return kTruncated;
    int n = static_cast<int>(ReadU16(head + 33));
    const unsigned char* indices = Take(cursor, 2 * static_cast<std::size_t>(n));
    if (!indices) return kTruncated;
    if (n > 0) {
      mesh.triangleIndices = new (std::nothrow) int[n];
      if (!mesh.triangleIndices) return "Out of memory allocating mesh triangles";
    }
    mesh.triangleCount = n;
    for (int k = 0; k < n; ++k) {
      mesh.triangleIndices[k] = static_cast<int>(ReadU16(indices + 2 * k));
      if (mesh.triangleIndices[k] >= model.triangleCount) return "Triangle index out of range";
    }
    const unsigned char* material = Take(cursor, 1);
    if (!material) return kTruncated;
    mesh.materialIndex = ReadS8(material);
  }
  return nullptr;
}

// Everything is checked against the file before the first texture is made, so a file
// that lies costs no texture.
const char* ReadMaterials(CModel& model, FileCursor& cursor) {
  const unsigned char* p = Take(cursor, 2);
  if (!p) return kTruncated;
  int count = static_cast<int>(ReadU16(p));
  for (int i = 0; i < model.meshCount; ++i)
    if (model.meshes[i].materialIndex >= count) return "Material index out of range";
  const unsigned char* block = Take(cursor, count * kMaterialSize);
  if (!block) return kTruncated;
  if (count == 0) return nullptr;
  model.materials = new (std::nothrow) CModel::Material[count]();
  if (!model.materials) return "Out of memory allocating Materials";
  model.materialCount = count;
  for (int i = 0; i < count; ++i) {
    const unsigned char* m = block + i * kMaterialSize;
    CModel::Material& material = model.materials[i];
    for (int k = 0; k < 4; ++k) {
      material.ambient[k] = ReadF32(m + 32 + 4 * k);
      material.diffuse[k] = ReadF32(m + 48 + 4 * k);
      material.specular[k] = ReadF32(m + 64 + 4 * k);
      material.emissive[k] = ReadF32(m + 80 + 4 * k);
    }
    material.shininess = ReadF32(m + 96);
    // The name field need not hold its terminating zero; never read past its 128 bytes.
    char name[kTextureNameSize + 1];
    std::size_t length = strnlen(reinterpret_cast<const char*>(m + 105), kTextureNameSize);
    std::memcpy(name, m + 105, length);
    name[length] = '\0';
    material.texture = new (std::nothrow) CTexture;
    if (!material.texture) return "Out of memory allocating a material texture";
    char texFile[1024];
    std::snprintf(texFile, sizeof texFile, "data\\%s", name);
    if (!material.texture->LoadFromFile(texFile)) return "Couldn't load material texture";
  }
  return nullptr;
}

// Fills the empty model from a whole file in memory; returns the failure text or null.
const char* ParseMS3D(CModel& model, const unsigned char* data, std::size_t size) {
  FileCursor cursor{data, size, 0};
  const unsigned char* id = Take(cursor, 10);
  if (!id || std::memcmp(id, "MS3D000000", 10) != 0) return "Invalid MilkShape 3D file";
  const unsigned char* p = Take(cursor, 4);
  if (!p) return kTruncated;
  int32_t version = ReadS32(p);
  if (version < 3) return "Outdated MilkShape 3D file version";
  if (version > 4) return "Advanced MilkShape 3D file version";
  const char* failure = ReadVertices(model, cursor);
  if (!failure) failure = ReadTriangles(model, cursor);
  if (!failure) failure = ReadMeshes(model, cursor);
  if (!failure) failure = ReadMaterials(model, cursor);
  return failure;  // joints and key frames that may follow are not used
}

}  // namespace

CModel::CModel()
    : vertexCount(0), vertices(nullptr), triangleCount(0), triangles(nullptr), meshCount(0),
      meshes(nullptr), materialCount(0), materials(nullptr), emptyReported(false), drawList(0) {}

CModel::~CModel() { Release(); }

void CModel::Release() {
  DropCompiled();
  delete[] vertices;
  vertices = nullptr;
  vertexCount = 0;
  delete[] triangles;
  triangles = nullptr;
  triangleCount = 0;
  for (int i = 0; meshes && i < meshCount; ++i) delete[] meshes[i].triangleIndices;
  delete[] meshes;
  meshes = nullptr;
  meshCount = 0;
  // Destroying a CTexture deletes its OpenGL texture in the context that is current now.
  for (int i = 0; materials && i < materialCount; ++i) delete materials[i].texture;
  delete[] materials;
  materials = nullptr;
  materialCount = 0;
  RearmEmptyReport();  // the teardown empties the model: the next set-up may report it again
}

void CModel::RearmEmptyReport() { emptyReported = false; }

bool CModel::LoadFromFile(const char* filename) {
  RearmEmptyReport();
  if (!filename) {
    ReportError("No filename specified", "CModel::LoadFromFile");
    return false;
  }
  if (std::strstr(filename, ".ms3d")) return LoadMS3D(filename);
  ReportError("Unknown model format", "CModel::LoadFromFile");
  return false;
}

bool CModel::LoadMS3D(const char* filename) {
  RearmEmptyReport();
  if (!filename) {
    ReportError("No filename specified", kLoadCaption);
    return false;
  }
  if (vertexCount != 0 || meshCount != 0 || materialCount != 0) {
    // Loaded over without a teardown: the old texture names may belong to a context that
    // is gone, so they are forgotten rather than deleted in the current one.
    for (int i = 0; materials && i < materialCount; ++i)
      if (materials[i].texture) materials[i].texture->textureName = ~0u;
    Release();
  }
  FILE* file = OpenDataFile(filename, "rb");
  if (!file) {
    ReportError("Couldn't open file", kLoadCaption);
    return false;
  }
  long fileSize = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) fileSize = std::ftell(file);
  const char* failure = nullptr;
  unsigned char* fileBuffer = nullptr;
  if (fileSize == 0) {
    failure = "Zero-length file";
  } else if (fileSize < 0 || fileSize > kMaxFileSize) {
    failure = "Couldn't read FileSize bytes";
  } else if (std::fseek(file, 0, SEEK_SET) != 0) {
    failure = "Couldn't read FileSize bytes";
  } else if (!(fileBuffer = new (std::nothrow) unsigned char[fileSize])) {
    failure = "Out of memory allocating FileBuffer";
  } else if (std::fread(fileBuffer, 1, static_cast<std::size_t>(fileSize), file) !=
             static_cast<std::size_t>(fileSize)) {
    failure = "Couldn't read FileSize bytes";
  }
  std::fclose(file);  // the only close, on every path
  if (!failure) failure = ParseMS3D(*this, fileBuffer, static_cast<std::size_t>(fileSize));
  delete[] fileBuffer;
  if (failure) {
    ReportError(failure, kLoadCaption);
    Release();
    return false;
  }
  return true;
}

namespace {

// Calls visit(vertex) for every corner of every mesh triangle, in mesh order; shared
// vertices are met once per corner. Indices are checked again because the arrays are
// public and need not come from the loader.
template <typename Visit>
void ForEachCorner(CModel& model, Visit visit) {
  for (int m = 0; m < model.meshCount; ++m) {
    const CModel::Mesh& mesh = model.meshes[m];
    for (int i = 0; i < mesh.triangleCount; ++i) {
      int t = mesh.triangleIndices[i];
      if (t < 0 || t >= model.triangleCount) continue;
      for (int k = 0; k < 3; ++k) {
        int v = model.triangles[t].vertexIndices[k];
        if (v >= 0 && v < model.vertexCount) visit(model.vertices[v]);
      }
    }
  }
}

const int kCountedMarker = 32;
const int kMovedMarker = 64;

}  // namespace

// The meshes as OpenGL commands: one begin/end and one texture bind per mesh.
void CModel::SendMeshes() {
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glEnable(GL_TEXTURE_2D);
  for (int m = 0; m < meshCount; ++m) {
    const Mesh& mesh = meshes[m];
    if (mesh.materialIndex >= 0 && mesh.materialIndex < materialCount &&
        materials[mesh.materialIndex].texture)
      materials[mesh.materialIndex].texture->Activate();
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < mesh.triangleCount; ++i) {
      int t = mesh.triangleIndices[i];
      if (t < 0 || t >= triangleCount) continue;
      const Triangle& tri = triangles[t];
      for (int k = 0; k < 3; ++k) {
        int v = tri.vertexIndices[k];
        if (v < 0 || v >= vertexCount) continue;
        glNormal3fv(tri.vertexNormals[k]);
        glTexCoord2f(tri.s[k], tri.t[k]);
        glVertex3fv(vertices[v].location);
      }
    }
    glEnd();
  }
  glPopAttrib();
}

bool CModel::Draw() {
  if (meshCount == 0) {
    // Shown once per scene set-up: a missing avatar with people in the room would
    // otherwise raise a box for every peer in every frame.
    if (!emptyReported) ReportError("Can't draw model with no meshes", "CModel::Draw");
    emptyReported = true;
    return false;
  }
  if (drawList != 0) {
    glCallList(drawList);
  } else {
    SendMeshes();
  }
  return true;
}

bool CModel::Compile() {
  DropCompiled();
  if (meshCount == 0) return false;
  unsigned int list = glGenLists(1);
  if (list == 0) return false;  // drawn from the arrays as before
  glNewList(list, GL_COMPILE);
  SendMeshes();
  glEndList();
  drawList = list;
  return true;
}

void CModel::DropCompiled() {
  if (drawList != 0) glDeleteLists(drawList, 1);
  drawList = 0;
}

void CModel::CenterAndScale(float height) {
  if (meshCount == 0) {
    if (!emptyReported) ReportError("Can't draw model with no meshes", "CModel::Draw");
    emptyReported = true;
    return;
  }
  DropCompiled();  // a list made before would still show the model unmoved
  // Height first (raw y, before any centring): the markers stay untouched when the model
  // cannot be fitted and is drawn as it is.
  float top = 0.0f;
  bool anyCorner = false;
  ForEachCorner(*this, [&](Vertex& v) {
    anyCorner = true;
    if (v.location[1] > top) top = v.location[1];
  });
  if (!anyCorner || !(top > 0.0f)) return;

  double sum[3] = {0.0, 0.0, 0.0};
  int counted = 0;
  ForEachCorner(*this, [&](Vertex& v) {
    if (v.boneId == kCountedMarker) return;
    for (int a = 0; a < 3; ++a) sum[a] += v.location[a];
    v.boneId = kCountedMarker;
    ++counted;
  });
  // Every met vertex may already carry the marker (a file full of bone id 32): the
  // centroid is then unknown and the model is only scaled about its own origin.
  float centre[3] = {0.0f, 0.0f, 0.0f};
  if (counted > 0)
    for (int a = 0; a < 3; ++a) centre[a] = static_cast<float>(sum[a] / counted);

  float factor = height / top;
  ForEachCorner(*this, [&](Vertex& v) {
    if (v.boneId == kMovedMarker) return;
    v.location[0] = (v.location[0] - centre[0]) * factor;
    v.location[1] = (v.location[1] - centre[1]) * factor;
    v.location[2] = (v.location[2] - centre[2]) * -factor;  // mirrored front to back
    v.boneId = kMovedMarker;
  });
}
