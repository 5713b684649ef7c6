// The avatar's arrays: every corner of the model once per distinct place and texture point,
// an index list over them, and per look the texture points moved into that look's skin.
#include "scene/avatar_models.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/looks.h"
#include "core/room_view.h"
#include "model/ms3d_model.h"
#include "scene/avatar_arrays.h"
#include "scene/avatar_crowd.h"
#include "scene/world.h"

namespace {

const int kSkinColumns = 4;  // data/looks.bmp: 4 by 4 skins, look k in column k % 4, row k / 4 from the top

struct AvatarArrays {
  int vertexCount = 0, indexCount = 0;
  float* places = nullptr;             // x, y, z per vertex
  float* points[kLookCount + 1] = {};  // s, t per vertex, per look
  unsigned short* indices = nullptr;
  unsigned int texture = 0;
  float top = 0.0f;
  bool ready = false;
};

// The frame's near avatars in one array: each one's corners placed in the room, its look's
// texture points and its indices, drawn with one call. Held for a full room.
struct Crowd {
  using Vertex = AvatarVertex;
  Vertex* vertices = nullptr;
  unsigned int* indices = nullptr;
  int count = 0;  // avatars in it
};
// The model's arrays for every look, and the near avatars of a frame gathered into one array
// (the window's thread, between scene set-ups).
struct ModelsRecord {
  AvatarArrays arrays;
  Crowd crowd;
};
ModelsRecord Models;

// The texture of every look, from the model maker's picture.
unsigned int LoadLooksTexture() {
  RgbImage* image = ReadBitmapFile("data/looks.bmp");
  if (!image) return 0;
  GLuint name = 0;
  if (image->width == image->height && image->width >= kSkinColumns) {
    glGenTextures(1, &name);
    glPushAttrib(GL_TEXTURE_BIT);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glBindTexture(GL_TEXTURE_2D, name);
    // As the skin: linear, no mipmaps (they would mix neighbouring skins).
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, image->width, image->height, 0, GL_RGB, GL_UNSIGNED_BYTE, image->pixels);
    glPopClientAttrib();
    glPopAttrib();
  }
  std::free(image->pixels);
  std::free(image);
  return name;
}

// Models up to this many corners share their repeated corners (the search is quadratic, once
// per set-up); larger ones keep every corner.
const int kSharedCornersUpTo = 4096;

// The index of a corner with this place and texture point, added when new.
int CornerIndex(const float* place, float s, float t, bool share) {
  for (int i = 0; share && i < Models.arrays.vertexCount; ++i) {
    const float* p = Models.arrays.places + 3 * i;
    const float* q = Models.arrays.points[0] + 2 * i;
    if (p[0] == place[0] && p[1] == place[1] && p[2] == place[2] && q[0] == s && q[1] == t) return i;
  }
  std::memcpy(Models.arrays.places + 3 * Models.arrays.vertexCount, place, 3 * sizeof(float));
  Models.arrays.points[0][2 * Models.arrays.vertexCount] = s;
  Models.arrays.points[0][2 * Models.arrays.vertexCount + 1] = t;
  return Models.arrays.vertexCount++;
}


void FreeCrowd() {
  delete[] Models.crowd.vertices;
  delete[] Models.crowd.indices;
  Models.crowd = Crowd();
}

void DrawCrowd() {
  if (Models.crowd.count == 0) return;
  glInterleavedArrays(GL_T2F_V3F, sizeof(Crowd::Vertex), Models.crowd.vertices);
  glDrawElements(GL_TRIANGLES, Models.crowd.count * Models.arrays.indexCount, GL_UNSIGNED_INT, Models.crowd.indices);
  Models.crowd.count = 0;
}

}  // namespace

bool BuildAvatarArrays(const CModel& model) {
  FreeAvatarArrays();
  int corners = 0;
  for (int m = 0; m < model.meshCount; ++m) corners += 3 * model.meshes[m].triangleCount;
  if (corners == 0 || corners > 65535) return false;  // the indices are 16 bits
  Models.arrays.places = new (std::nothrow) float[3 * corners];
  Models.arrays.indices = new (std::nothrow) unsigned short[corners];
  bool ok = Models.arrays.places && Models.arrays.indices;
  for (float*& p : Models.arrays.points) ok = ok && (p = new (std::nothrow) float[2 * corners]) != nullptr;
  if (!ok) {
    FreeAvatarArrays();
    return false;
  }
  for (int m = 0; m < model.meshCount; ++m) {
    const CModel::Mesh& mesh = model.meshes[m];
    for (int i = 0; i < mesh.triangleCount; ++i) {
      const int t = mesh.triangleIndices[i];
      if (t < 0 || t >= model.triangleCount) continue;
      const CModel::Triangle& tri = model.triangles[t];
      for (int k = 0; k < 3; ++k) {
        const int v = tri.vertexIndices[k];
        if (v < 0 || v >= model.vertexCount) continue;
        const float* place = model.vertices[v].location;
        if (Models.arrays.indexCount == 0 || place[1] > Models.arrays.top) Models.arrays.top = place[1];
        Models.arrays.indices[Models.arrays.indexCount++] = static_cast<unsigned short>(
            CornerIndex(place, tri.s[k], tri.t[k], corners <= kSharedCornersUpTo));
      }
    }
  }
  // Look k's skin is the cell in column k % 4, row k / 4 from the top; t counts from the bottom.
  for (int look = 1; look <= kLookCount; ++look)
    for (int i = 0; i < Models.arrays.vertexCount; ++i) {
      const float s = Models.arrays.points[0][2 * i], t = Models.arrays.points[0][2 * i + 1];
      Models.arrays.points[look][2 * i] = (static_cast<float>(look % kSkinColumns) + s) / kSkinColumns;
      Models.arrays.points[look][2 * i + 1] = (static_cast<float>(kSkinColumns - 1 - look / kSkinColumns) + t) / kSkinColumns;
    }
  // The figure before looks is cell 0 of the same picture, so one texture serves them all.
  for (int i = 0; i < Models.arrays.vertexCount; ++i) {
    Models.arrays.points[0][2 * i] /= kSkinColumns;
    Models.arrays.points[0][2 * i + 1] = (kSkinColumns - 1 + Models.arrays.points[0][2 * i + 1]) / kSkinColumns;
  }
  Models.arrays.texture = LoadLooksTexture();
  Models.crowd.vertices = new (std::nothrow) Crowd::Vertex[static_cast<std::size_t>(kRoomMembers) * Models.arrays.vertexCount];
  Models.crowd.indices = new (std::nothrow) unsigned int[static_cast<std::size_t>(kRoomMembers) * Models.arrays.indexCount];
  Models.arrays.ready = Models.arrays.texture != 0 && Models.arrays.indexCount > 0 && Models.crowd.vertices && Models.crowd.indices &&
                 BuildCrowdArrays(Models.arrays.indices, Models.arrays.indexCount, Models.arrays.vertexCount);
  if (!Models.arrays.ready) {
    const float top = Models.arrays.top;
    FreeAvatarArrays();
    Models.arrays.top = top;
  }
  return Models.arrays.ready;
}

void FreeAvatarArrays() {
  FreeCrowd();
  FreeCrowdArrays();
  if (Models.arrays.texture != 0) glDeleteTextures(1, &Models.arrays.texture);
  delete[] Models.arrays.places;
  delete[] Models.arrays.indices;
  for (float* p : Models.arrays.points) delete[] p;
  Models.arrays = AvatarArrays();
}

float AvatarTop() { return Models.arrays.top; }
bool AvatarArraysReady() { return Models.arrays.ready; }

void PlaceAvatar(float x, float base, float z, float yaw, float pitch, int look, AvatarVertex* v) {
  if (look < 0 || look > kLookCount) look = 0;
  const float kRadians = 0.017453292f;
  const float cy = std::cos(yaw * kRadians), sy = std::sin(yaw * kRadians);
  const float cp = std::cos(pitch * kRadians), sp = std::sin(pitch * kRadians);
  const float* place = Models.arrays.places;
  const float* point = Models.arrays.points[look];
  for (int i = 0; i < Models.arrays.vertexCount; ++i, ++v, place += 3, point += 2) {
    const float py = place[1] * cp - place[2] * sp, pz = place[1] * sp + place[2] * cp;
    v->s = point[0];
    v->t = point[1];
    v->x = x + place[0] * cy + pz * sy;
    v->y = base + py;
    v->z = z - place[0] * sy + pz * cy;
  }
}

void BeginAvatars() {
  glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_CURRENT_BIT | GL_POLYGON_BIT);
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  glEnable(GL_TEXTURE_2D);
  glColor3f(1.0f, 1.0f, 1.0f);
  Models.crowd.count = 0;
  if (!Models.arrays.ready) return;
  glBindTexture(GL_TEXTURE_2D, Models.arrays.texture);
  // The figure is closed: its far side is never seen. Fitting mirrored it, so its faces seen
  // from outside now wind clockwise.
  glEnable(GL_CULL_FACE);
  glFrontFace(GL_CW);
  glCullFace(GL_BACK);
}

void DrawAvatar(float x, float base, float z, float yaw, float pitch, int look) {
  if (!Models.arrays.ready) {
    glPushMatrix();
    glTranslatef(x, base, z);
    glRotatef(yaw, 0.0f, 1.0f, 0.0f);
    glRotatef(pitch, 1.0f, 0.0f, 0.0f);
    AvatarModel.Draw();
    glPopMatrix();
    return;
  }
  if (Models.crowd.count == kRoomMembers) DrawCrowd();
  const int first = Models.crowd.count * Models.arrays.vertexCount;
  PlaceAvatar(x, base, z, yaw, pitch, look, Models.crowd.vertices + first);
  unsigned int* index = Models.crowd.indices + static_cast<std::size_t>(Models.crowd.count) * Models.arrays.indexCount;
  for (int i = 0; i < Models.arrays.indexCount; ++i) index[i] = static_cast<unsigned int>(first + Models.arrays.indices[i]);
  ++Models.crowd.count;
}

void EndAvatars() {
  DrawCrowd();
  glPopClientAttrib();
  glPopAttrib();
}
