// The avatar's pictures from 32 directions, made once per scene set-up, and far avatars drawn
// with them: at a few dozen pixels the picture looks as the model does, for two triangles.
#include "scene/avatar_pictures.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/counted_alloc.h"
#include "core/looks.h"
#include "model/ms3d_model.h"
#include "scene/avatar_models.h"
#include "scene/room_labels.h"

float AvatarRadius = 0.3f;

namespace {

// Cells twice as tall as wide, as a standing figure is: a picture stands in for the model up
// to 128 pixels high, which takes in all but the nearest few avatars.
const int kCellWidth = 64, kCellHeight = 128;
const int kColumns = 8, kRows = 4, kDirections = kColumns * kRows;
const int kAtlasWidth = kColumns * kCellWidth, kAtlasHeight = kRows * kCellHeight;
const float kDegree = 0.017453292f;
const float kLensHalfTangent = 0.30573068f;  // tan(17 degrees): half the scene's 34-degree lens

const int kLooks = kLookCount + 1;  // the figure before looks, then every look

// The part of each cell the figure covers, as fractions of the cell (left, bottom, right,
// top), with a texel to spare: the quad is cut to it, showing the same.
struct Cover {
  float left, bottom, right, top;
};

// The batches, one per look: four corners per far avatar.
struct PictureVertex {
  float s, t;
  float x, y, z;
};
const int kBatchPictures = 256;

// The pictures of every look and the far avatars waiting to be drawn with them (the window's
// thread, between scene set-ups).
struct PicturesRecord {
  unsigned int texture[kLooks];
  bool tried[kLooks];  // since the last set-up: a look whose pictures failed is not tried again
  float width;         // room units covered by one cell across
  float height;        // and up
  float middle;        // height of the cell's middle above the model's origin
  Cover cover[kLooks][kDirections];
  PictureVertex batch[kLooks][kBatchPictures * 4];
  int batchCount[kLooks];
  unsigned char over[2][kCellWidth * kCellHeight * 3];  // one direction read back over black and white
};
PicturesRecord Pictures;

// The model's extent: its farthest point from the vertical axis, and its lowest and highest.
bool ModelExtent(const CModel& model, float* across, float* low, float* high) {
  if (model.vertexCount <= 0 || !model.vertices) return false;
  *across = 0.0f;
  *low = *high = model.vertices[0].location[1];
  for (int i = 0; i < model.vertexCount; ++i) {
    const float* p = model.vertices[i].location;
    float r = std::sqrt(p[0] * p[0] + p[2] * p[2]);
    if (r > *across) *across = r;
    if (p[1] < *low) *low = p[1];
    if (p[1] > *high) *high = p[1];
  }
  return *high > *low;
}

// One direction: the model turned by `degrees`, drawn over black and over white; a pixel that
// is the same over both belongs to the model, the others are background (alpha 0).
void TakeDirection(int look, float degrees, int x, int y, unsigned char* atlas, int cell) {
  auto& over = Pictures.over;
  for (int background = 0; background < 2; ++background) {
    float level = static_cast<float>(background);
    glClearColor(level, level, level, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    BeginAvatars();
    DrawAvatar(0.0f, 0.0f, 0.0f, degrees, 0.0f, look);
    EndAvatars();
    glReadPixels(x, y, kCellWidth, kCellHeight, GL_RGB, GL_UNSIGNED_BYTE, over[background]);
  }
  const int x0 = (cell % kColumns) * kCellWidth, y0 = (cell / kColumns) * kCellHeight;
  int left = kCellWidth, right = -1, bottom = kCellHeight, top = -1;
  for (int y = 0; y < kCellHeight; ++y)
    for (int x = 0; x < kCellWidth; ++x) {
      const unsigned char* black = &over[0][(y * kCellWidth + x) * 3];
      const unsigned char* white = &over[1][(y * kCellWidth + x) * 3];
      int spread = 0;
      for (int k = 0; k < 3; ++k) {
        int d = white[k] - black[k];
        if (d > spread) spread = d;
      }
      unsigned char* out = atlas + ((y0 + y) * kAtlasWidth + x0 + x) * 4;
      std::memcpy(out, black, 3);
      out[3] = spread < 128 ? 255 : 0;
      if (out[3]) {
        left = std::min(left, x), right = std::max(right, x);
        bottom = std::min(bottom, y), top = std::max(top, y);
      }
    }
  const float w = static_cast<float>(kCellWidth), h = static_cast<float>(kCellHeight);
  Pictures.cover[look][cell] = right < 0 ? Cover{0, 0, 0, 0}
                          : Cover{std::max(left - 1, 0) / w, std::max(bottom - 1, 0) / h,
                                  std::min(right + 2, kCellWidth) / w, std::min(top + 2, kCellHeight) / h};
}

// The 32 pictures of one look into a new texture; false when the back buffer gave nothing.
bool MakeLookPictures(int look, const GLint* viewport, unsigned char* atlas) {
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  const float w = 0.5f * Pictures.width, h = 0.5f * Pictures.height;
  glOrtho(-w, w, Pictures.middle - h, Pictures.middle + h, -2.0f * AvatarRadius, 2.0f * AvatarRadius);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glViewport(viewport[0], viewport[1], kCellWidth, kCellHeight);
  glDisable(GL_BLEND);
  glEnable(GL_DEPTH_TEST);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  // Seen from +z, as the frame's viewer sees an avatar it faces; cell k shows the model
  // turned by k steps of 360 / 32 degrees.
  for (int cell = 0; cell < kDirections; ++cell)
    TakeDirection(look, static_cast<float>(cell) * 360.0f / kDirections, viewport[0], viewport[1], atlas, cell);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopAttrib();

  // A back buffer that cannot be read (a driver's choice for a window not yet shown) gives
  // no model in the first picture, or no background: the triangles are drawn instead.
  int opaque = 0;
  for (int y = 0; y < kCellHeight; ++y)
    for (int x = 0; x < kCellWidth; ++x) opaque += atlas[(y * kAtlasWidth + x) * 4 + 3] != 0;
  if (opaque == 0 || opaque == kCellWidth * kCellHeight) return false;
  glGenTextures(1, &Pictures.texture[look]);
  glPushAttrib(GL_TEXTURE_BIT);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glBindTexture(GL_TEXTURE_2D, Pictures.texture[look]);
  // Nearest texels, no mipmaps: a level made by averaging would blur the figure and fade its
  // thin parts (feet, arms) under the alpha test, while the nearest texel of the large picture
  // samples it much as drawing the model at the small size samples the model; and it is the
  // cheapest to draw.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kAtlasWidth, kAtlasHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, atlas);
  glPopClientAttrib();
  glPopAttrib();
  return true;
}

}  // namespace

bool MakeAvatarPictures(CModel& model) {
  FreeAvatarPictures();
  float across = 0.0f, low = 0.0f, high = 0.0f;
  if (model.meshCount == 0 || !ModelExtent(model, &across, &low, &high)) return false;
  AvatarRadius = std::sqrt(across * across + std::fmax(low * low, high * high));
  // A box a little larger than the model, so that no picture touches its cell's edge; no
  // wider than the model, since every pixel of the quad costs as much as one of the model.
  Pictures.width = 2.0f * across * 1.1f;
  Pictures.height = (high - low) * 1.1f;
  Pictures.middle = 0.5f * (low + high);
  return MakeMorePictures(0);
}

bool MakeMorePictures(int look) {
  if (look < 0 || look >= kLooks || Pictures.tried[look] || !(Pictures.height > 0.0f)) return false;
  if (look > 0 && (Pictures.texture[0] == 0 || !AvatarArraysReady())) return false;
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  if (viewport[2] < kCellWidth || viewport[3] < kCellHeight) return false;
  unsigned char* atlas = static_cast<unsigned char*>(CountedAlloc(kAtlasWidth * kAtlasHeight * 4));
  if (!atlas) return false;
  Pictures.tried[look] = true;
  const bool made = MakeLookPictures(look, viewport, atlas);
  CountedFree(atlas);
  return made;
}

bool LookPicturesMade(int look) {
  // Without the looks' arrays every look is drawn as the figure before looks: its set serves.
  if (look < 0 || look >= kLooks || !AvatarArraysReady()) look = 0;
  return Pictures.texture[look] != 0;
}

void FreeAvatarPictures() {
  for (int look = 0; look < kLooks; ++look) {
    Pictures.tried[look] = false;
    if (Pictures.texture[look] != 0) glDeleteTextures(1, &Pictures.texture[look]);
    Pictures.texture[look] = 0;
    Pictures.batchCount[look] = 0;
  }
}

bool AvatarPictureFits(float distance, float pitch, int viewportHeight) {
  if (Pictures.texture[0] == 0 || !(distance > 0.0f)) return false;
  float upright = std::fmod(std::fabs(pitch), 360.0f);
  if (upright > 3.0f && upright < 357.0f) return false;  // a tilted avatar has no picture
  float pixels = Pictures.height * static_cast<float>(viewportHeight) / (2.0f * distance * kLensHalfTangent);
  return pixels <= static_cast<float>(kCellHeight);
}

void AddAvatarPicture(float x, float base, float z, float yaw, float eyeX, float eyeZ, int look) {
  if (look < 0 || look >= kLooks || Pictures.texture[look] == 0) look = 0;
  if (Pictures.batchCount[look] == kBatchPictures) DrawAvatarPictures();
  // The viewer's bearing from the avatar, from +z towards +x: turning the scene back by it
  // puts the viewer on the +z side, where the pictures were taken from.
  float bearing = std::atan2(eyeX - x, eyeZ - z) / kDegree;
  float turn = std::fmod(yaw - bearing, 360.0f);
  if (turn < 0.0f) turn += 360.0f;
  int cell = static_cast<int>(std::lround(turn * kDirections / 360.0f)) % kDirections;
  if (cell < 0) cell = 0;  // a yaw that is not a number
  const Cover& c = Pictures.cover[look][cell];
  if (c.right <= c.left) return;
  const float s0 = static_cast<float>(cell % kColumns) / kColumns;
  const float t0 = static_cast<float>(cell / kColumns) / kRows;
  const float ds = 1.0f / kColumns, dt = 1.0f / kRows;
  // The quad faces the viewer: its right-hand side runs along (cos b, 0, -sin b).
  const float ux = std::cos(bearing * kDegree) * Pictures.width, uz = -std::sin(bearing * kDegree) * Pictures.width;
  float left = c.left, right = c.right, bottom = c.bottom, top = c.top;
  // What the labels drawn before it hide of it is left out: in a crowd, most of the far ones.
  {
    const float a = left - 0.5f, b = right - 0.5f;
    const float low = base + Pictures.middle + (bottom - 0.5f) * Pictures.height;
    const float high = base + Pictures.middle + (top - 0.5f) * Pictures.height;
    const float corners[4][3] = {{x + a * ux, low, z + a * uz}, {x + b * ux, low, z + b * uz},
                                 {x + b * ux, high, z + b * uz}, {x + a * ux, high, z + a * uz}};
    float f0 = 0.0f, g0 = 0.0f, f1 = 1.0f, g1 = 1.0f;
    if (!UnhiddenPart(corners, &f0, &g0, &f1, &g1)) return;
    const float width = right - left, height = top - bottom;
    right = left + f1 * width, left += f0 * width;
    top = bottom + g1 * height, bottom += g0 * height;
  }
  const float a = left - 0.5f, b = right - 0.5f;  // across, from the middle
  const float low = base + Pictures.middle + (bottom - 0.5f) * Pictures.height;
  const float high = base + Pictures.middle + (top - 0.5f) * Pictures.height;
  PictureVertex* v = &Pictures.batch[look][Pictures.batchCount[look] * 4];
  v[0] = {s0 + left * ds, t0 + bottom * dt, x + a * ux, low, z + a * uz};
  v[1] = {s0 + right * ds, t0 + bottom * dt, x + b * ux, low, z + b * uz};
  v[2] = {s0 + right * ds, t0 + top * dt, x + b * ux, high, z + b * uz};
  v[3] = {s0 + left * ds, t0 + top * dt, x + a * ux, high, z + a * uz};
  ++Pictures.batchCount[look];
}

void DrawAvatarPictures() {
  bool any = false;
  for (int look = 0; look < kLooks; ++look) any = any || Pictures.batchCount[look] > 0;
  if (!any) return;
  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_TEXTURE_BIT | GL_COLOR_BUFFER_BIT);
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  glEnable(GL_TEXTURE_2D);
  // Background texels are dropped whole, so they leave no depth behind.
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.5f);
  glDisable(GL_BLEND);  // what the test lets through is opaque
  glColor3f(1.0f, 1.0f, 1.0f);
  for (int look = 0; look < kLooks; ++look) {
    if (Pictures.batchCount[look] == 0) continue;
    glBindTexture(GL_TEXTURE_2D, Pictures.texture[look]);
    glInterleavedArrays(GL_T2F_V3F, sizeof(PictureVertex), Pictures.batch[look]);
    glDrawArrays(GL_QUADS, 0, Pictures.batchCount[look] * 4);
    Pictures.batchCount[look] = 0;
  }
  glPopClientAttrib();
  glPopAttrib();
}
