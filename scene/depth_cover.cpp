// The depth buffer read back, and in blocks of 4 by 4 pixels each keeping the farthest depth in
// it: a shape whose every pixel lies behind what was read is hidden. The tests are conservative
// (boxes grown by a pixel, triangles by a sliver), so that nothing that would show is left out.
#include "scene/depth_cover.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/counted_alloc.h"

namespace {

const int kBlock = 4;  // FillBlocks takes four pixels at a time

struct Cover {
  uint32_t* pixels = nullptr;  // the viewport's depths as read, bottom row first, 0 .. 2^32 - 1
  uint32_t* blocks = nullptr;  // the farthest of each block, bottom row first
  int pixelRoom = 0, blockRoom = 0;
  int width = 0, height = 0, columns = 0, rows = 0;
  double margin = 0.0;  // the window depth two readings of one surface may differ by
  bool ready = false;
};
Cover cover;

bool Reserve(int pixels, int blocks) {
  if (pixels <= cover.pixelRoom && blocks <= cover.blockRoom) return true;
  FreeDepthCover();
  cover.pixels = static_cast<uint32_t*>(CountedAlloc(sizeof(uint32_t) * static_cast<std::size_t>(pixels)));
  cover.blocks = static_cast<uint32_t*>(CountedAlloc(sizeof(uint32_t) * static_cast<std::size_t>(blocks)));
  if (!cover.pixels || !cover.blocks) {
    FreeDepthCover();
    return false;
  }
  cover.pixelRoom = pixels, cover.blockRoom = blocks;
  return true;
}

// A buffer of 16 bits is read as such (Mesa copies it as it is; as 32 bits it would convert
// every value), into the front half of the pixels, then widened from the back.
void Widen(int count) {
  const uint16_t* narrow = reinterpret_cast<const uint16_t*>(cover.pixels);
  for (int i = count - 1; i >= 0; --i) {
    uint16_t v;
    std::memcpy(&v, narrow + i, sizeof v);
    cover.pixels[i] = static_cast<uint32_t>(v) << 16 | v;
  }
}

void FillBlocks() {
  const int whole = cover.width / kBlock;  // blocks with all their columns in the view
  for (int y = 0; y < cover.height; ++y) {
    uint32_t* block = cover.blocks + (y / kBlock) * cover.columns;
    if (y % kBlock == 0) std::fill(block, block + cover.columns, 0u);
    const uint32_t* pixel = cover.pixels + static_cast<std::size_t>(y) * cover.width;
    for (int c = 0; c < whole; ++c, pixel += kBlock) {
      const uint32_t m = std::max(std::max(pixel[0], pixel[1]), std::max(pixel[2], pixel[3]));
      block[c] = std::max(block[c], m);
    }
    for (int x = whole * kBlock; x < cover.width; ++x, ++pixel) block[whole] = std::max(block[whole], *pixel);
  }
}

// The pixels a shape may cover (its box grown by one pixel, within the view) and the depth
// that what is read must lie under to hide it.
struct Reach {
  int x0, y0, x1, y1;
  uint32_t below;
};
enum ReachKind { ReachNone, ReachOff, ReachSome };  // nothing can be said; off the view; pixels

ReachKind ReachOf(float left, float bottom, float right, float top, float nearest, Reach* r) {
  if (!cover.ready) return ReachNone;
  const double limit = (static_cast<double>(nearest) - cover.margin) * 4294967295.0;
  if (!(limit > 0.0) || !(left <= right) || !(bottom <= top)) return ReachNone;  // nearer than anything, or not a number
  const float w = static_cast<float>(cover.width), h = static_cast<float>(cover.height);
  if (right < 0.0f || top < 0.0f || left > w || bottom > h) return ReachOff;
  // Within the view now, so the casts cut towards zero as floor and ceil would.
  r->x0 = std::max(0, static_cast<int>(std::max(left, 0.0f)) - 1);
  r->x1 = std::min(cover.width - 1, static_cast<int>(std::min(right, w)) + 2);
  r->y0 = std::max(0, static_cast<int>(std::max(bottom, 0.0f)) - 1);
  r->y1 = std::min(cover.height - 1, static_cast<int>(std::min(top, h)) + 2);
  r->below = limit >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(limit);
  return ReachSome;
}

// Whether every pixel of the block that lies in the reach is under its depth: for a block the
// reach only touches, or one whose farthest pixel lies outside it.
bool PixelsBelow(int column, int row, const Reach& r) {
  const int left = std::max(r.x0, column * kBlock), right = std::min(r.x1, column * kBlock + kBlock - 1);
  const int bottom = std::max(r.y0, row * kBlock), top = std::min(r.y1, row * kBlock + kBlock - 1);
  for (int y = bottom; y <= top; ++y) {
    const uint32_t* pixel = cover.pixels + static_cast<std::size_t>(y) * cover.width;
    for (int x = left; x <= right; ++x)
      if (pixel[x] >= r.below) return false;
  }
  return true;
}

// Whether the farthest pixel of every block the reach touches is under its depth.
bool BlocksBelow(const Reach& r) {
  for (int row = r.y0 / kBlock; row <= r.y1 / kBlock; ++row) {
    const uint32_t* block = cover.blocks + row * cover.columns;
    for (int column = r.x0 / kBlock; column <= r.x1 / kBlock; ++column)
      if (block[column] >= r.below) return false;
  }
  return true;
}

bool ReachHidden(const Reach& r) {
  for (int row = r.y0 / kBlock; row <= r.y1 / kBlock; ++row) {
    const uint32_t* block = cover.blocks + row * cover.columns;
    for (int column = r.x0 / kBlock; column <= r.x1 / kBlock; ++column)
      if (block[column] >= r.below && !PixelsBelow(column, row, r)) return false;
  }
  return true;
}

}  // namespace

void ForgetDepthCover() { cover.ready = false; }

bool ReadDepthCover() {
  cover.ready = false;
  GLint viewport[4] = {0, 0, 0, 0}, bits = 0;
  glGetIntegerv(GL_VIEWPORT, viewport);
  glGetIntegerv(GL_DEPTH_BITS, &bits);
  const int width = viewport[2], height = viewport[3];
  if (width <= 0 || height <= 0 || bits <= 0) return false;
  const int columns = (width + kBlock - 1) / kBlock, rows = (height + kBlock - 1) / kBlock;
  if (!Reserve(width * height, columns * rows)) return false;
  while (glGetError() != GL_NO_ERROR) {
  }
  const bool narrow = bits <= 16;
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glPixelStorei(GL_PACK_SKIP_ROWS, 0);
  glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
  glReadPixels(viewport[0], viewport[1], width, height, GL_DEPTH_COMPONENT, narrow ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT,
               cover.pixels);
  glPopClientAttrib();
  if (glGetError() != GL_NO_ERROR) return false;
  if (narrow) Widen(width * height);
  cover.width = width, cover.height = height, cover.columns = columns, cover.rows = rows;
  // Two steps of the buffer, and no less than the projection's own rounding of a depth.
  cover.margin = std::max(2.0 / std::ldexp(1.0, std::min(static_cast<int>(bits), 32)), 1e-6);
  FillBlocks();
  cover.ready = true;
  return true;
}

bool DepthCoverReady() { return cover.ready; }

bool BoxHidden(float left, float bottom, float right, float top, float nearest) {
  Reach r;
  const ReachKind kind = ReachOf(left, bottom, right, top, nearest, &r);
  return kind == ReachOff || (kind == ReachSome && ReachHidden(r));
}

bool TriangleHidden(const float a[3], const float b[3], const float c[3]) {
  Reach r;
  const ReachKind kind = ReachOf(std::min({a[0], b[0], c[0]}), std::min({a[1], b[1], c[1]}), std::max({a[0], b[0], c[0]}),
                                 std::max({a[1], b[1], c[1]}), std::min({a[2], b[2], c[2]}), &r);
  if (kind != ReachSome) return kind == ReachOff;
  if (BlocksBelow(r)) return true;
  // Row by row, the pixels whose middle lies inside the triangle grown by a sliver (more than the
  // rasteriser's snapping of the corners moves an edge): shown where one is not under the depth.
  const float area = (b[0] - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (b[1] - a[1]);
  if (!(std::fabs(area) > 1e-6f)) return false;  // a sliver or not a number: let it be drawn
  const float* corner[3] = {a, area > 0.0f ? b : c, area > 0.0f ? c : b};  // counter-clockwise
  float ex[3], ey[3], e0[3];  // edge k at (x, y): ex x + ey y + e0, not negative inside
  for (int k = 0; k < 3; ++k) {
    const float* p = corner[k];
    const float* q = corner[(k + 1) % 3];
    ex[k] = p[1] - q[1];
    ey[k] = q[0] - p[0];
    e0[k] = -(ex[k] * p[0] + ey[k] * p[1]) + std::sqrt(ex[k] * ex[k] + ey[k] * ey[k]) / 64.0f;
  }
  for (int y = r.y0; y <= r.y1; ++y) {
    const float py = static_cast<float>(y) + 0.5f;
    // The middles x + 0.5 in [low, high] that every edge keeps.
    float low = static_cast<float>(r.x0) + 0.5f, high = static_cast<float>(r.x1) + 0.5f;
    for (int k = 0; k < 3; ++k) {
      const float rest = ey[k] * py + e0[k];
      if (ex[k] > 0.0f)
        low = std::max(low, -rest / ex[k]);
      else if (ex[k] < 0.0f)
        high = std::min(high, -rest / ex[k]);
      else if (rest < 0.0f)
        high = low - 1.0f;
    }
    if (!(low <= high)) continue;
    const int from = std::max(r.x0, static_cast<int>(std::ceil(low - 0.5f)));
    const int to = std::min(r.x1, static_cast<int>(std::floor(high - 0.5f)));
    const uint32_t* pixel = cover.pixels + static_cast<std::size_t>(y) * cover.width;
    for (int x = from; x <= to; ++x)
      if (pixel[x] >= r.below) return false;
  }
  return true;
}

void FreeDepthCover() {
  if (cover.pixels) CountedFree(cover.pixels);
  if (cover.blocks) CountedFree(cover.blocks);
  cover = Cover();
}
