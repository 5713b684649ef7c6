// The avatar's arrays: every corner of the model once per distinct place and texture point,
// an index list over them, and per look the texture points moved into that look's skin.
#include "scene/avatar_models.h"

#include <GL/gl.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "core/looks.h"
#include "model/ms3d_model.h"
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
  int boundLook = -1;
};
AvatarArrays arrays;

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
  for (int i = 0; share && i < arrays.vertexCount; ++i) {
    const float* p = arrays.places + 3 * i;
    const float* q = arrays.points[0] + 2 * i;
    if (p[0] == place[0] && p[1] == place[1] && p[2] == place[2] && q[0] == s && q[1] == t) return i;
  }
  std::memcpy(arrays.places + 3 * arrays.vertexCount, place, 3 * sizeof(float));
  arrays.points[0][2 * arrays.vertexCount] = s;
  arrays.points[0][2 * arrays.vertexCount + 1] = t;
  return arrays.vertexCount++;
}

}  // namespace

bool BuildAvatarArrays(const CModel& model) {
  FreeAvatarArrays();
  int corners = 0;
  for (int m = 0; m < model.meshCount; ++m) corners += 3 * model.meshes[m].triangleCount;
  if (corners == 0 || corners > 65535) return false;  // the indices are 16 bits
  arrays.places = new (std::nothrow) float[3 * corners];
  arrays.indices = new (std::nothrow) unsigned short[corners];
  bool ok = arrays.places && arrays.indices;
  for (float*& p : arrays.points) ok = ok && (p = new (std::nothrow) float[2 * corners]) != nullptr;
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
        if (arrays.indexCount == 0 || place[1] > arrays.top) arrays.top = place[1];
        arrays.indices[arrays.indexCount++] = static_cast<unsigned short>(
            CornerIndex(place, tri.s[k], tri.t[k], corners <= kSharedCornersUpTo));
      }
    }
  }
  // Look k's skin is the cell in column k % 4, row k / 4 from the top; t counts from the bottom.
  for (int look = 1; look <= kLookCount; ++look)
    for (int i = 0; i < arrays.vertexCount; ++i) {
      const float s = arrays.points[0][2 * i], t = arrays.points[0][2 * i + 1];
      arrays.points[look][2 * i] = (static_cast<float>(look % kSkinColumns) + s) / kSkinColumns;
      arrays.points[look][2 * i + 1] = (static_cast<float>(kSkinColumns - 1 - look / kSkinColumns) + t) / kSkinColumns;
    }
  // The figure before looks is cell 0 of the same picture, so one texture serves them all.
  for (int i = 0; i < arrays.vertexCount; ++i) {
    arrays.points[0][2 * i] /= kSkinColumns;
    arrays.points[0][2 * i + 1] = (kSkinColumns - 1 + arrays.points[0][2 * i + 1]) / kSkinColumns;
  }
  arrays.texture = LoadLooksTexture();
  arrays.ready = arrays.texture != 0 && arrays.indexCount > 0;
  if (!arrays.ready) {
    const float top = arrays.top;
    FreeAvatarArrays();
    arrays.top = top;
  }
  return arrays.ready;
}

void FreeAvatarArrays() {
  if (arrays.texture != 0) glDeleteTextures(1, &arrays.texture);
  delete[] arrays.places;
  delete[] arrays.indices;
  for (float* p : arrays.points) delete[] p;
  arrays = AvatarArrays();
}

float AvatarTop() { return arrays.top; }
bool AvatarArraysReady() { return arrays.ready; }

void BeginAvatars() {
  glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_CURRENT_BIT | GL_POLYGON_BIT);
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  glEnable(GL_TEXTURE_2D);
  glColor3f(1.0f, 1.0f, 1.0f);
  arrays.boundLook = -1;
  if (!arrays.ready) return;
  glBindTexture(GL_TEXTURE_2D, arrays.texture);
  // The figure is closed: its far side is never seen. Fitting mirrored it, so its faces seen
  // from outside now wind clockwise.
  glEnable(GL_CULL_FACE);
  glFrontFace(GL_CW);
  glCullFace(GL_BACK);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, arrays.places);
}

void DrawAvatar(float x, float base, float z, float yaw, float pitch, int look) {
  glPushMatrix();
  glTranslatef(x, base, z);
  glRotatef(yaw, 0.0f, 1.0f, 0.0f);
  glRotatef(pitch, 1.0f, 0.0f, 0.0f);
  if (arrays.ready) {
    if (look < 0 || look > kLookCount) look = 0;
    if (look != arrays.boundLook) glTexCoordPointer(2, GL_FLOAT, 0, arrays.points[look]);
    arrays.boundLook = look;
    glDrawElements(GL_TRIANGLES, arrays.indexCount, GL_UNSIGNED_SHORT, arrays.indices);
  } else {
    AvatarModel.Draw();
  }
  glPopMatrix();
}

void EndAvatars() {
  glPopClientAttrib();
  glPopAttrib();
}
