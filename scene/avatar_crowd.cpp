// The crowd's avatars in two rounds. The first draws, for each avatar, the triangles that showed
// in the last frame (all of them for the nearest few seen first), and while the renderer fills
// them in, projects every corner onto the window. Then the depth buffer is read back
// (scene/depth_cover.h) and the second round draws each other triangle that faces the eye unless
// it lies wholly behind what was read. Whether each triangle shows is kept for the next frame.
// Which triangles go into which round changes the cost, never the picture: each triangle left
// out lies behind what was drawn before it.
#include "scene/avatar_crowd.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "core/room_view.h"
#include "scene/avatar_arrays.h"
#include "scene/avatar_models.h"
#include "scene/depth_cover.h"

namespace {

// With fewer avatars than this all are drawn whole: reading the depth back costs more than
// what the few could hide of each other.
const int kCrowdFrom = 16;
// Avatars with nothing kept from before go whole into the first round, this many of them,
// nearest first: those hide most of the rest.
const int kWholeFirst = 16;
// The model's triangles in runs of 16 in a row (a band of a limb, a wedge of the head): a run
// is tested as one before its triangles are, and an avatar's set of triangles is a mask a run.
const int kRunTriangles = 16;
using RunMask = uint16_t;
const RunMask kWholeRun = 0xFFFF;
// An avatar's triangles drawn in the first round are tested again every this many frames: most
// go on showing, so each frame a quarter of the avatars drop what no longer does.
const int kRetestEvery = 4;

// Room point to clip coordinates (column-major), and the viewport's size in pixels.
struct Lens {
  float m[16];
  float width, height;
};

// A corner on the window: pixels from the viewport's lower left, window depth; behind: too
// near the eye to be projected.
struct WindowPoint {
  float at[3];
  bool behind;
};

struct Crowd {
  int vertexCount = 0, triangleCount = 0, runCount = 0;
  const unsigned short* model = nullptr;  // the model's index list, three a triangle
  unsigned short* runCorners = nullptr;   // each run's corners, once each
  int* runStart = nullptr;                // run r's corners: runCorners[runStart[r] .. runStart[r + 1])
  AvatarVertex* vertices = nullptr;       // the frame's avatars, vertexCount corners each
  WindowPoint* onScreen = nullptr;        // the same corners projected
  // A round's triangles over its own corners: only the corners they use, so that the renderer
  // takes in a few thousand of them rather than every avatar's.
  AvatarVertex* roundCorners = nullptr;
  int roundCornerCount = 0;
  unsigned int* indices = nullptr;
  int indexCount = 0;
  int* renumbered = nullptr;         // per corner of the model: its number in the round, for avatar `renumbering`
  unsigned* renumberedAt = nullptr;  // per corner: the stamp under which that number holds
  unsigned stamp = 0;
  int renumbering = -1;
  RunMask* shown = nullptr;  // per slot, per run: the triangles that showed when it was last drawn
  bool* known = nullptr;     // per slot: shown was measured
  RunMask* first = nullptr;   // per avatar of this frame, per run: its triangles in the first round
  bool* projected = nullptr;  // per avatar of this frame: every corner could be projected
  unsigned frames = 0;        // crowds drawn, for taking turns at testing again
  Lens lens;                  // this frame's projection to the view's pixels
};
Crowd crowd;

void TakeLens() {
  float p[16], v[16];
  GLint viewport[4];
  glGetFloatv(GL_PROJECTION_MATRIX, p);
  glGetFloatv(GL_MODELVIEW_MATRIX, v);
  glGetIntegerv(GL_VIEWPORT, viewport);
  for (int col = 0; col < 4; ++col)
    for (int row = 0; row < 4; ++row) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += p[k * 4 + row] * v[col * 4 + k];
      crowd.lens.m[col * 4 + row] = sum;
    }
  crowd.lens.width = static_cast<float>(viewport[2]);
  crowd.lens.height = static_cast<float>(viewport[3]);
}

// The runs' corners, each once: a run's box on the window is the box of these.
bool BuildRuns() {
  crowd.runCount = (crowd.triangleCount + kRunTriangles - 1) / kRunTriangles;
  crowd.runStart = new (std::nothrow) int[crowd.runCount + 1];
  crowd.runCorners = new (std::nothrow) unsigned short[3 * crowd.triangleCount];
  if (!crowd.runStart || !crowd.runCorners) return false;
  int n = 0;
  for (int r = 0; r < crowd.runCount; ++r) {
    crowd.runStart[r] = n;
    const int from = 3 * r * kRunTriangles, to = std::min(from + 3 * kRunTriangles, 3 * crowd.triangleCount);
    for (int i = from; i < to; ++i) {
      const unsigned short corner = crowd.model[i];
      if (std::find(crowd.runCorners + crowd.runStart[r], crowd.runCorners + n, corner) == crowd.runCorners + n)
        crowd.runCorners[n++] = corner;
    }
  }
  crowd.runStart[crowd.runCount] = n;
  return true;
}

int RunSize(int run) { return std::min(kRunTriangles, crowd.triangleCount - run * kRunTriangles); }
RunMask FullMask(int run) { return static_cast<RunMask>(kWholeRun >> (kRunTriangles - RunSize(run))); }

// The corner's number in the round, its place taken from the avatar's corners when new.
unsigned int RoundCorner(int avatar, unsigned short corner) {
  if (crowd.renumberedAt[corner] != crowd.stamp) {
    crowd.renumberedAt[corner] = crowd.stamp;
    crowd.renumbered[corner] = crowd.roundCornerCount;
    crowd.roundCorners[crowd.roundCornerCount++] = crowd.vertices[avatar * crowd.vertexCount + corner];
  }
  return static_cast<unsigned int>(crowd.renumbered[corner]);
}

// Adds the triangles of the run that the mask names, of avatar `avatar` (an avatar's runs are
// added one after another).
void AddTriangles(int avatar, int run, unsigned mask) {
  if (mask == 0) return;
  if (avatar != crowd.renumbering) {
    crowd.renumbering = avatar;
    if (++crowd.stamp == 0) {  // wrapped: no number may look current
      std::memset(crowd.renumberedAt, 0, sizeof(unsigned) * crowd.vertexCount);
      crowd.stamp = 1;
    }
  }
  const unsigned short* triangle = crowd.model + 3 * run * kRunTriangles;
  for (; mask != 0; mask &= mask - 1) {
    const unsigned short* corner = triangle + 3 * __builtin_ctz(mask);
    for (int k = 0; k < 3; ++k) crowd.indices[crowd.indexCount++] = RoundCorner(avatar, corner[k]);
  }
}

// Draws the round's triangles; how many.
int DrawRound() {
  const int triangles = crowd.indexCount / 3;
  if (crowd.indexCount > 0) {
    glInterleavedArrays(GL_T2F_V3F, sizeof(AvatarVertex), crowd.roundCorners);
    glDrawElements(GL_TRIANGLES, crowd.indexCount, GL_UNSIGNED_INT, crowd.indices);
  }
  crowd.indexCount = crowd.roundCornerCount = 0;
  crowd.renumbering = -1;
  return triangles;
}

// Projects an avatar's corners; false when one of them is too near the eye.
bool Project(int avatar) {
  const float* m = crowd.lens.m;
  const AvatarVertex* v = crowd.vertices + avatar * crowd.vertexCount;
  WindowPoint* p = crowd.onScreen + avatar * crowd.vertexCount;
  bool all = true;
  for (int i = 0; i < crowd.vertexCount; ++i, ++v, ++p) {
    const float w = m[3] * v->x + m[7] * v->y + m[11] * v->z + m[15];
    p->behind = !(w > 1e-4f);
    if (p->behind) {
      all = false;
      continue;
    }
    const float inverse = 1.0f / w;
    p->at[0] = ((m[0] * v->x + m[4] * v->y + m[8] * v->z + m[12]) * inverse * 0.5f + 0.5f) * crowd.lens.width;
    p->at[1] = ((m[1] * v->x + m[5] * v->y + m[9] * v->z + m[13]) * inverse * 0.5f + 0.5f) * crowd.lens.height;
    p->at[2] = (m[2] * v->x + m[6] * v->y + m[10] * v->z + m[14]) * inverse * 0.5f + 0.5f;
  }
  return all;
}

// Whether what was read hides the whole run (every corner of the avatar projected).
bool RunHidden(const WindowPoint* p, int run) {
  float left = 1e30f, bottom = 1e30f, right = -1e30f, top = -1e30f, nearest = 1e30f;
  for (int i = crowd.runStart[run]; i < crowd.runStart[run + 1]; ++i) {
    const float* at = p[crowd.runCorners[i]].at;
    left = std::min(left, at[0]), right = std::max(right, at[0]);
    bottom = std::min(bottom, at[1]), top = std::max(top, at[1]);
    nearest = std::min(nearest, at[2]);
  }
  return BoxHidden(left, bottom, right, top, nearest);
}

// Of the run's triangles in `test`, those that may show: facing the eye and not hidden by what
// was read, or with a corner too near the eye to tell.
RunMask RunShows(const WindowPoint* p, int run, unsigned test) {
  RunMask shows = 0;
  for (; test != 0; test &= test - 1) {
    const int t = __builtin_ctz(test);
    const unsigned short* triangle = crowd.model + 3 * (run * kRunTriangles + t);
    const WindowPoint& a = p[triangle[0]];
    const WindowPoint& b = p[triangle[1]];
    const WindowPoint& c = p[triangle[2]];
    bool may = true;
    if (!a.behind && !b.behind && !c.behind) {
      // Clockwise on the window faces the eye (fitting mirrored the model): clearly facing
      // away is culled anyway; nearly edge-on is left to the renderer.
      const float turn = (b.at[0] - a.at[0]) * (c.at[1] - a.at[1]) - (c.at[0] - a.at[0]) * (b.at[1] - a.at[1]);
      may = !(turn > 1e-3f) && !TriangleHidden(a.at, b.at, c.at);
    }
    if (may) shows = static_cast<RunMask>(shows | 1u << t);
  }
  return shows;
}

// The second round for one avatar: adds its triangles that may show and were not drawn in the
// first, and keeps in `shown` those of both rounds that may show. Those of the first are tested
// again (to drop what no longer shows) only when `again`: most of them go on showing.
void SecondRound(int avatar, bool again, RunMask* shown) {
  const RunMask* drawn = crowd.first + avatar * crowd.runCount;
  const WindowPoint* p = crowd.onScreen + avatar * crowd.vertexCount;
  const bool projected = crowd.projected[avatar];
  for (int run = 0; run < crowd.runCount; ++run) {
    if (projected && RunHidden(p, run)) {
      shown[run] = 0;
      continue;
    }
    const unsigned test = again ? FullMask(run) : FullMask(run) & ~drawn[run];
    shown[run] = static_cast<RunMask>((drawn[run] & ~test) | RunShows(p, run, test));
    AddTriangles(avatar, run, shown[run] & ~drawn[run]);
  }
}

}  // namespace

bool BuildCrowdArrays(const unsigned short* indices, int indexCount, int vertexCount) {
  FreeCrowdArrays();
  crowd.model = indices;
  crowd.vertexCount = vertexCount;
  crowd.triangleCount = indexCount / 3;
  const std::size_t avatars = kRoomMembers;
  bool ok = BuildRuns();
  const std::size_t runs = static_cast<std::size_t>(crowd.runCount);
  crowd.vertices = new (std::nothrow) AvatarVertex[avatars * vertexCount];
  crowd.onScreen = new (std::nothrow) WindowPoint[avatars * vertexCount];
  crowd.roundCorners = new (std::nothrow) AvatarVertex[avatars * vertexCount];
  crowd.indices = new (std::nothrow) unsigned int[avatars * 3 * crowd.triangleCount];
  crowd.renumbered = new (std::nothrow) int[vertexCount];
  crowd.renumberedAt = new (std::nothrow) unsigned[vertexCount]();
  crowd.shown = new (std::nothrow) RunMask[avatars * runs]();
  crowd.known = new (std::nothrow) bool[avatars]();
  crowd.first = new (std::nothrow) RunMask[avatars * runs]();
  crowd.projected = new (std::nothrow) bool[avatars]();
  ok = ok && crowd.vertices && crowd.onScreen && crowd.roundCorners && crowd.indices && crowd.renumbered &&
       crowd.renumberedAt && crowd.shown && crowd.known && crowd.first && crowd.projected;
  if (!ok) FreeCrowdArrays();
  return ok;
}

void FreeCrowdArrays() {
  delete[] crowd.runCorners;
  delete[] crowd.runStart;
  delete[] crowd.vertices;
  delete[] crowd.onScreen;
  delete[] crowd.roundCorners;
  delete[] crowd.indices;
  delete[] crowd.renumbered;
  delete[] crowd.renumberedAt;
  delete[] crowd.shown;
  delete[] crowd.known;
  delete[] crowd.first;
  delete[] crowd.projected;
  crowd = Crowd();
  FreeDepthCover();
}

int DrawAvatarCrowd(const CrowdMember* members, int count) {
  if (!AvatarArraysReady() || !crowd.vertices) {
    for (int k = 0; k < count; ++k)
      DrawAvatar(members[k].x, members[k].base, members[k].z, members[k].yaw, members[k].pitch, members[k].look);
    return 0;
  }
  count = std::min(count, kRoomMembers);
  const bool cut = count >= kCrowdFrom;
  // The first round: every avatar placed; what showed of it before, or all of it.
  int whole = 0;
  crowd.indexCount = crowd.roundCornerCount = 0;
  crowd.renumbering = -1;
  for (int k = 0; k < count; ++k) {
    const CrowdMember& m = members[k];
    PlaceAvatar(m.x, m.base, m.z, m.yaw, m.pitch, m.look, crowd.vertices + k * crowd.vertexCount);
    RunMask* drawn = crowd.first + k * crowd.runCount;
    const bool keeps = cut && m.slot >= 0 && m.slot < kRoomMembers;
    const bool known = keeps && crowd.known[m.slot];
    const bool all = !keeps || (!known && whole++ < kWholeFirst);
    for (int run = 0; run < crowd.runCount; ++run) {
      drawn[run] = known ? crowd.shown[m.slot * crowd.runCount + run] : all ? FullMask(run) : 0;
      AddTriangles(k, run, drawn[run]);
    }
  }
  int sent = DrawRound();
  if (!cut) return sent;
  glFlush();  // the renderer fills the first round in while the corners are projected
  TakeLens();
  for (int k = 0; k < count; ++k) crowd.projected[k] = Project(k);
  const bool read = ReadDepthCover();
  ++crowd.frames;
  // The second round: what may show of the rest (an avatar without a slot was drawn whole).
  for (int k = 0; k < count; ++k) {
    const int slot = members[k].slot;
    if (slot < 0 || slot >= kRoomMembers) continue;
    RunMask* shown = crowd.shown + slot * crowd.runCount;
    if (read) {
      SecondRound(k, (crowd.frames + static_cast<unsigned>(slot)) % kRetestEvery == 0, shown);
    } else {
      const RunMask* drawn = crowd.first + k * crowd.runCount;
      for (int run = 0; run < crowd.runCount; ++run) AddTriangles(k, run, FullMask(run) & ~drawn[run]);
    }
    crowd.known[slot] = read;
  }
  sent += DrawRound();
  ForgetDepthCover();
  return sent;
}
