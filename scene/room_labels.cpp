// The labels' batch: plates from scene/text_plates.cpp placed as quads that face the viewer,
// sized in pixels and stacked over the head, each cut to what the labels over it leave of it and
// drawn far to near; the grid of what they cover cuts the far avatars' pictures too.
#include "scene/room_labels.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/nick_colour.h"
#include "scene/speech.h"
#include "scene/text_plates.h"
#include "scene/view_frustum.h"

namespace {

const int kTagFontPixels = 16;        // the size text_plates.cpp draws tags at
const float kTexelNear = 0.0045f;     // a texel's size in the room when near: tags shrink with distance
const float kGapPixels = 3.0f;        // between the head, the tag, the mark and the bubble
const int kItemsPerMember = 3;

struct LabelItem {
  PlateCell cell;
  bool tag;       // else a bubble or a typing mark, drawn over every tag
  float inset, insetBelow;  // texels of the plate's edge that are not opaque: corners, the tail
  bool dropped;   // hidden wholly
  float x, y, z;  // the middle of its bottom edge
  float texel;    // room units per texel
  float depth;    // along the view
  float opacity;
  int firstPart, parts;  // the parts drawn (in `parts`): what hides the rest is drawn after it
};

struct LabelVertex {
  float s, t;
  unsigned char rgba[4];
  float x, y, z;
};

// A part of a label left to draw, as fractions of its plate.
struct Part {
  float left, bottom, right, top;
};
const int kParts = 8192;

struct Camera {
  float m[16], p[16];
  float right[3], up[3];
  int viewport[4];
  int viewportHeight;
};

// Which cells of 4 by 4 pixels of the view the labels drawn over a label cover wholly: a label
// whose every cell is covered is not drawn, the others only where they show. In a crowd most
// tags and bubbles lie behind nearer ones, and each pixel drawn costs as much as one of the room.
const int kCoverCell = 4;
const int kCoverColumns = 4096 / kCoverCell, kCoverRows = 4096 / kCoverCell;

// This frame's labels, laid out by PrepareRoomLabels: their corners (solid tags, solid bubbles
// and marks, then fading speech, each far to near) and the camera they were laid out for.
struct Frame {
  Camera cam;
  int tags = 0, solid = 0, all = 0;
  bool cuts = false;  // the grid holds this frame's labels: pictures may be cut by it
};

// The labels of the frame being drawn, the parts left of them, their corners and the covered
// cells (the window's thread).
struct LabelsRecord {
  LabelItem items[kRoomMembers * kItemsPerMember];
  int order[kRoomMembers * kItemsPerMember];
  Part parts[kParts];
  int partCount;
  LabelVertex vertices[kParts * 4];
  bool covered[kCoverRows][kCoverColumns];
  Frame frame;
};
LabelsRecord Labels;

void TakeCamera(Camera* c) {
  glGetFloatv(GL_MODELVIEW_MATRIX, c->m);
  glGetFloatv(GL_PROJECTION_MATRIX, c->p);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  for (int k = 0; k < 4; ++k) c->viewport[k] = viewport[k];
  c->viewportHeight = viewport[3] > 0 ? viewport[3] : 1;
  // The rows of the view's rotation are the screen's right and up in room coordinates.
  for (int k = 0; k < 3; ++k) {
    c->right[k] = c->m[4 * k];
    c->up[k] = c->m[4 * k + 1];
  }
}

// Collects the plates of every anchor; false when the plates' texture was emptied meanwhile,
// so that cells collected before are gone. The last round instead drops what it collected
// before and goes on: with more than the texture holds, some members' labels are left out of a
// frame rather than all.
bool Collect(const Camera& cam, const ViewFrustum& frustum, const LabelAnchor* anchors, int count, uint32_t nowMs,
             bool lastRound, int* itemCount) {
  uint32_t generation = PlateGeneration();
  int n = 0;
  for (int i = 0; i < count; ++i) {
    const LabelAnchor& a = anchors[i];
    const RoomMember& m = *a.member;
    const float depth = -(cam.m[2] * a.x + cam.m[6] * a.y + cam.m[10] * a.z + cam.m[14]);
    if (depth < 0.1f) continue;  // behind the eye
    // Room units per pixel at that depth; a texel is a pixel near, and shrinks to the smallest
    // size that keeps the text readable.
    const float perPixel = 2.0f * depth / (cam.p[5] * static_cast<float>(cam.viewportHeight));
    const float shrink = std::min(1.0f, std::max(kSmallestTagPixels / kTagFontPixels, kTexelNear / perPixel));
    const float texel = perPixel * shrink;
    const NickRgb colour = NickColour(m.nick);
    SpeechShown speech{};
    PlateKind kinds[kItemsPerMember];
    const char* texts[kItemsPerMember];
    float opacity[kItemsPerMember];
    int stacked = 0;
    kinds[stacked] = m.elsewhere ? PlateTagElsewhere : PlateTag, texts[stacked] = m.nick, opacity[stacked++] = 1.0f;
    if (m.typing) kinds[stacked] = PlateTyping, texts[stacked] = "", opacity[stacked++] = 1.0f;
    if (SpeechOf(m.nick, nowMs, &speech) && speech.opacity > 0.0f)
      kinds[stacked] = speech.isAction ? PlateAction : PlateSpeech, texts[stacked] = speech.text,
      opacity[stacked++] = speech.opacity;
    float lift = kGapPixels * texel;
    for (int k = 0; k < stacked; ++k) {
      PlateCell cell;
      if (!TakePlate(kinds[k], texts[k], m.status, m.away, colour, &cell, m.elsewhereIn)) continue;
      if (PlateGeneration() != generation) {
        if (!lastRound) return false;
        generation = PlateGeneration();
        n = 0;
      }
      LabelItem& item = Labels.items[n];
      item.cell = cell;
      item.x = a.x + cam.up[0] * lift;
      item.y = a.y + cam.up[1] * lift;
      item.z = a.z + cam.up[2] * lift;
      item.texel = texel;
      item.depth = depth;
      item.opacity = opacity[k];
      item.tag = kinds[k] == PlateTag || kinds[k] == PlateTagElsewhere;
      item.inset = item.tag ? 1.0f : 9.0f;  // the rounded corners of a bubble
      item.insetBelow = item.tag ? 1.0f : 18.0f;  // and its tail
      item.dropped = false;
      item.firstPart = item.parts = 0;
      const float width = item.cell.width * texel, height = item.cell.height * texel;
      lift += height + kGapPixels * texel;
      if (!SphereInView(frustum, item.x + cam.up[0] * height / 2, item.y + cam.up[1] * height / 2,
                        item.z + cam.up[2] * height / 2, 0.5f * (width + height)))
        continue;
      ++n;
    }
  }
  *itemCount = n;
  return true;
}

// The pixel the room point lands on (x from the left, y from the bottom of the window); false
// behind the eye.
bool Project(const Camera& c, float x, float y, float z, float* px, float* py) {
  float eye[4], clip[4];
  for (int r = 0; r < 4; ++r) eye[r] = c.m[r] * x + c.m[4 + r] * y + c.m[8 + r] * z + c.m[12 + r];
  for (int r = 0; r < 4; ++r) clip[r] = c.p[r] * eye[0] + c.p[4 + r] * eye[1] + c.p[8 + r] * eye[2] + c.p[12 + r] * eye[3];
  if (!(clip[3] > 0.0f)) return false;
  *px = c.viewport[0] + (clip[0] / clip[3] * 0.5f + 0.5f) * c.viewport[2];
  *py = c.viewport[1] + (clip[1] / clip[3] * 0.5f + 0.5f) * c.viewport[3];
  return true;
}

// The label's pixels as cells of the cover grid: the cells it touches (outer) and those it
// fills wholly, its rounded corners left out (inner), both from the view's lower left edges on.
// False when it reaches past the grid.
struct CellSpan {
  int x0, y0, x1, y1;  // inclusive
};
struct PixelBox {
  float left, bottom, width, height;
};
bool Cells(const Camera& c, const LabelItem& item, CellSpan* outer, CellSpan* inner, PixelBox* box) {
  float px = 0.0f, py = 0.0f;
  if (!Project(c, item.x, item.y, item.z, &px, &py)) return false;
  const float scale = item.texel / (2.0f * item.depth / (c.p[5] * static_cast<float>(c.viewportHeight)));
  const float w = item.cell.width * scale, h = item.cell.height * scale;
  const float left = px - w / 2 - c.viewport[0], bottom = py - c.viewport[1];
  if (!(left + w < kCoverColumns * kCoverCell && bottom + h < kCoverRows * kCoverCell && left > -1e6f && bottom > -1e6f))
    return false;
  *box = {left, bottom, w, h};
  // What lies left of or below the view is never seen: its cells begin at the view's edge.
  const auto cell = [](float pixels) { return static_cast<int>(std::floor(pixels / kCoverCell)); };
  *outer = {std::max(0, cell(left)), std::max(0, cell(bottom)), cell(left + w), cell(bottom + h)};
  const float side = item.inset * scale, below = item.insetBelow * scale;
  *inner = {std::max(0, cell(left + side + kCoverCell - 1)), std::max(0, cell(bottom + below + kCoverCell - 1)),
            cell(left + w - side) - 1, cell(bottom + h - side) - 1};
  return true;
}

// The whole plate as the label's one part; false when the parts are used up.
bool Whole(LabelItem& item) {
  if (Labels.partCount == kParts) return false;
  item.firstPart = Labels.partCount, item.parts = 1;
  Labels.parts[Labels.partCount++] = Part{0.0f, 0.0f, 1.0f, 1.0f};
  return true;
}

// Cuts a label into the rectangles of grid cells not yet covered, row by row, rows with the same
// span merged (false: none is left), then covers the cells it fills wholly when it is opaque.
bool CutAndCover(const Camera& c, LabelItem& item) {
  CellSpan outer, inner;
  PixelBox box;
  if (!Cells(c, item, &outer, &inner, &box)) return Whole(item);  // past the grid: drawn whole
  auto fraction = [](int cell, float from, float size) {
    return std::min(1.0f, std::max(0.0f, (static_cast<float>(cell * kCoverCell) - from) / size));
  };
  item.firstPart = Labels.partCount, item.parts = 0;
  int lastFrom = -1, lastTo = -1, lastRow = -1;  // the last part's span of cells and its top row
  for (int y = outer.y0; y <= outer.y1; ++y) {
    for (int x = outer.x0; x <= outer.x1; ++x) {
      if (Labels.covered[y][x]) continue;
      int end = x;
      while (end + 1 <= outer.x1 && !Labels.covered[y][end + 1]) ++end;
      if (item.parts > 0 && lastRow == y - 1 && lastFrom == x && lastTo == end) {
        Labels.parts[Labels.partCount - 1].top = fraction(y + 1, box.bottom, box.height);  // the same span as below: grown up
      } else {
        if (Labels.partCount == kParts) return item.parts > 0 || Whole(item);
        Labels.parts[Labels.partCount++] = Part{fraction(x, box.left, box.width), fraction(y, box.bottom, box.height),
                                  fraction(end + 1, box.left, box.width), fraction(y + 1, box.bottom, box.height)};
        ++item.parts;
        lastFrom = x, lastTo = end;
      }
      lastRow = y;
      x = end;
    }
  }
  if (item.parts == 0) return false;
  if (item.opacity >= 1.0f)
    for (int y = inner.y0; y <= inner.y1; ++y)
      for (int x = inner.x0; x <= inner.x1; ++x) Labels.covered[y][x] = true;
  return true;
}

// Drops the labels hidden wholly and cuts those hidden in part, as they will be drawn: bubbles
// and marks over every tag, each kind far to near. So a bubble is hidden only by nearer bubbles,
// a tag by every bubble and by nearer tags. Order runs near to far, and still does.
int DropHidden(const Camera& c, int n) {
  Labels.partCount = 0;
  // The view's cells only: what lies beyond it is never seen, whatever the cells say.
  const int rows = std::min(kCoverRows, c.viewport[3] / kCoverCell + 1);
  const int columns = std::min(kCoverColumns, c.viewport[2] / kCoverCell + 1);
  for (int y = 0; y < rows; ++y) std::memset(Labels.covered[y], 0, sizeof Labels.covered[y][0] * columns);
  for (bool tags : {false, true})
    for (int i = 0; i < n; ++i) {
      LabelItem& item = Labels.items[Labels.order[i]];
      if (item.tag == tags) item.dropped = !CutAndCover(c, item);
    }
  int kept = 0;
  for (int i = 0; i < n; ++i)
    if (!Labels.items[Labels.order[i]].dropped) Labels.order[kept++] = Labels.order[i];
  return kept;
}

unsigned char Byte(float value) { return static_cast<unsigned char>(value * 255.0f + 0.5f); }

// The corners of each part of the label; how many vertices that made.
int Corners(const Camera& cam, const LabelItem& item, LabelVertex* v) {
  const float width = item.cell.width * item.texel, height = item.cell.height * item.texel;
  // Premultiplied: the fade scales every channel.
  const unsigned char o = Byte(item.opacity);
  for (int p = 0; p < item.parts; ++p, v += 4) {
    const Part& part = Labels.parts[item.firstPart + p];
    const float across[4] = {part.left, part.right, part.right, part.left};
    const float upward[4] = {part.bottom, part.bottom, part.top, part.top};
    for (int k = 0; k < 4; ++k) {
      const float a = (across[k] - 0.5f) * width, b = upward[k] * height;
      v[k].s = item.cell.s0 + across[k] * (item.cell.s1 - item.cell.s0);
      v[k].t = item.cell.t0 + upward[k] * (item.cell.t1 - item.cell.t0);
      v[k].rgba[0] = v[k].rgba[1] = v[k].rgba[2] = v[k].rgba[3] = o;
      v[k].x = item.x + cam.right[0] * a + cam.up[0] * b;
      v[k].y = item.y + cam.right[1] * a + cam.up[1] * b;
      v[k].z = item.z + cam.right[2] * a + cam.up[2] * b;
    }
  }
  return 4 * item.parts;
}


void SetState(bool solid) {
  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_TEXTURE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT |
               GL_LIGHTING_BIT);
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, PlateTexture());
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glShadeModel(GL_FLAT);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_ALPHA_TEST);
  glInterleavedArrays(GL_T2F_C4UB_V3F, sizeof(LabelVertex), Labels.vertices);
  if (solid) {
    // Painted in their order whatever their depth (the grid decided what shows), each writing
    // its own: walls and avatars in front of a label then draw over it, those behind are never
    // textured there.
    glDepthFunc(GL_ALWAYS);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glAlphaFunc(GL_GREATER, 0.5f);  // a bubble's rounded corners and tail leave no depth
  } else {
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glAlphaFunc(GL_GREATER, 0.0f);  // clear texels cost no blend
  }
}

void ResetState() {
  glPopClientAttrib();
  glPopAttrib();
}

}  // namespace

void PrepareRoomLabels(const LabelAnchor* anchors, int count, uint32_t nowMs) {
  Labels.frame.tags = Labels.frame.solid = Labels.frame.all = 0;
  Labels.frame.cuts = false;
  if (count <= 0) return;
  if (count > kRoomMembers) count = kRoomMembers;
  Camera& cam = Labels.frame.cam;
  TakeCamera(&cam);
  ViewFrustum frustum;
  TakeViewFrustum(&frustum);
  int n = 0;
  // A texture that filled up while collecting starts afresh: the second round finds room.
  if (!Collect(cam, frustum, anchors, count, nowMs, false, &n)) Collect(cam, frustum, anchors, count, nowMs, true, &n);
  if (n == 0 || PlateTexture() == 0) return;
  for (int i = 0; i < n; ++i) Labels.order[i] = i;
  std::sort(Labels.order, Labels.order + n, [](int a, int b) { return Labels.items[a].depth < Labels.items[b].depth; });
  n = DropHidden(cam, n);
  Labels.frame.cuts = true;
  // Far to near: the tags (each cut to what nearer ones leave of it), then over them the bubbles
  // and typing marks, so that speech is never hidden behind a name; speech that fades, last.
  int k = 0;  // quads
  for (int pass = 0; pass < 3; ++pass) {
    for (int i = n - 1; i >= 0; --i) {
      const LabelItem& item = Labels.items[Labels.order[i]];
      const int kind = item.opacity < 1.0f ? 2 : (item.tag ? 0 : 1);
      if (kind == pass) k += Corners(cam, item, &Labels.vertices[4 * k]) / 4;
    }
    if (pass == 0) Labels.frame.tags = k;
    if (pass == 1) Labels.frame.solid = k;
  }
  Labels.frame.all = k;
}

void DrawSolidLabels() {
  if (Labels.frame.solid == 0) return;
  SetState(true);
  glDrawArrays(GL_QUADS, 0, Labels.frame.solid * 4);
  ResetState();
}

void DrawFadingLabels() {
  if (Labels.frame.all == Labels.frame.solid) return;
  SetState(false);
  glDrawArrays(GL_QUADS, Labels.frame.solid * 4, (Labels.frame.all - Labels.frame.solid) * 4);
  ResetState();
}

bool UnhiddenPart(const float corners[4][3], float* left, float* bottom, float* right, float* top) {
  *left = *bottom = 0.0f;
  *right = *top = 1.0f;
  // An upright quad shows as an upright box only while the view looks level.
  if (!Labels.frame.cuts || Labels.frame.cam.up[1] < 0.9998f) return true;
  float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
  for (int k = 0; k < 4; ++k) {
    float px = 0.0f, py = 0.0f;
    if (!Project(Labels.frame.cam, corners[k][0], corners[k][1], corners[k][2], &px, &py)) return true;
    x0 = std::min(x0, px), x1 = std::max(x1, px), y0 = std::min(y0, py), y1 = std::max(y1, py);
  }
  x0 -= Labels.frame.cam.viewport[0], x1 -= Labels.frame.cam.viewport[0], y0 -= Labels.frame.cam.viewport[1], y1 -= Labels.frame.cam.viewport[1];
  if (x0 < 0.0f || y0 < 0.0f || x1 >= kCoverColumns * kCoverCell || y1 >= kCoverRows * kCoverCell) return true;
  CellSpan seen = {1 << 20, 1 << 20, -1, -1};
  for (int y = static_cast<int>(y0) / kCoverCell; y <= static_cast<int>(y1) / kCoverCell; ++y)
    for (int x = static_cast<int>(x0) / kCoverCell; x <= static_cast<int>(x1) / kCoverCell; ++x)
      if (!Labels.covered[y][x]) {
        seen.x0 = std::min(seen.x0, x), seen.x1 = std::max(seen.x1, x);
        seen.y0 = std::min(seen.y0, y), seen.y1 = std::max(seen.y1, y);
      }
  if (seen.x1 < 0) return false;
  auto fraction = [](int cell, float from, float to) {
    return to > from ? std::min(1.0f, std::max(0.0f, (static_cast<float>(cell * kCoverCell) - from) / (to - from))) : 0.0f;
  };
  *left = fraction(seen.x0, x0, x1);
  *right = x1 > x0 ? fraction(seen.x1 + 1, x0, x1) : 1.0f;
  *bottom = fraction(seen.y0, y0, y1);
  *top = y1 > y0 ? fraction(seen.y1 + 1, y0, y1) : 1.0f;
  return true;
}
