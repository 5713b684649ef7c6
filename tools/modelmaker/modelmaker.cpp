// Makes the avatar: data/player.ms3d, a low-poly figure in MilkShape 3D format, its texture data/skin.bmp
// and the skins of every look in data/looks.bmp.
//
// The figure stands on y = 0 and looks towards +z in the file: the program's fitting pass
// mirrors z, so the avatar it draws looks towards -z, the way a walker with heading 0 goes.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/common/bmp_writer.h"

namespace {

struct Vec3 {
  float x, y, z;
};

Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(Vec3 a, float k) { return {a.x * k, a.y * k, a.z * k}; }
float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3 Normalised(Vec3 a) {
  float length = std::sqrt(Dot(a, a));
  return length > 0.0f ? a * (1.0f / length) : Vec3{0.0f, 1.0f, 0.0f};
}

// Cells of the 128 by 128 skin picture: 4 by 4 cells of 32 pixels, numbered row by row
// from the top left.
enum Cell { kFace = 0, kSkin = 1, kHair = 2, kShirt = 3, kTrousers = 4, kShoes = 5, kCollar = 6 };
const int kSkinSize = 128;
const int kCellSize = 32;

struct Corner {
  int vertex;
  float s, t;  // t counted from the top of the picture, as the file stores it
};

struct Triangle {
  Corner corner[3];
  Vec3 normal;
  int group;
};

struct Figure {
  std::vector<Vec3> vertices;
  std::vector<Triangle> triangles;
  std::vector<std::string> groups;
};

// (u, v) in 0..1 inside a cell, v from its top; kept one texel off the cell's edge so that
// filtering never mixes in the neighbour cell.
Corner MapToCell(int vertex, Cell cell, float u, float v) {
  float x0 = static_cast<float>((cell % 4) * kCellSize + 1);
  float y0 = static_cast<float>((cell / 4) * kCellSize + 1);
  float span = static_cast<float>(kCellSize - 2);
  return {vertex, (x0 + u * span) / kSkinSize, (y0 + v * span) / kSkinSize};
}

int AddVertex(Figure& figure, Vec3 location) {
  figure.vertices.push_back(location);
  return static_cast<int>(figure.vertices.size()) - 1;
}

// Adds a triangle wound counter-clockwise seen from outside, "outside" being away from
// the given inner point, with that face's normal at every corner.
void AddTriangle(Figure& figure, int group, Corner a, Corner b, Corner c, Vec3 inner) {
  Vec3 pa = figure.vertices[a.vertex], pb = figure.vertices[b.vertex], pc = figure.vertices[c.vertex];
  Vec3 normal = Cross(pb - pa, pc - pa);
  Vec3 centre = (pa + pb + pc) * (1.0f / 3.0f);
  Triangle tri;
  if (Dot(normal, centre - inner) < 0.0f) {
    tri.corner[0] = a, tri.corner[1] = c, tri.corner[2] = b;
    normal = normal * -1.0f;
  } else {
    tri.corner[0] = a, tri.corner[1] = b, tri.corner[2] = c;
  }
  tri.normal = Normalised(normal);
  tri.group = group;
  figure.triangles.push_back(tri);
}

struct Ring {
  Vec3 centre;
  float rx, rz;
};

// A tube through rings listed from the bottom up; optional fans close it at either end
// onto a tip point.
void AddTube(Figure& figure, int group, const std::vector<Ring>& rings, int sides, Cell cell,
             const Vec3* bottomTip, const Vec3* topTip) {
  const float kPi = 3.14159265f;
  std::vector<std::vector<int>> ids(rings.size());
  for (std::size_t r = 0; r < rings.size(); ++r)
    for (int k = 0; k < sides; ++k) {
      float a = 2.0f * kPi * static_cast<float>(k) / static_cast<float>(sides);
      Vec3 offset{rings[r].rx * std::sin(a), 0.0f, rings[r].rz * std::cos(a)};
      ids[r].push_back(AddVertex(figure, rings[r].centre + offset));
    }
  float last = static_cast<float>(rings.size() - 1);
  for (std::size_t r = 0; r + 1 < rings.size(); ++r) {
    Vec3 inner = (rings[r].centre + rings[r + 1].centre) * 0.5f;
    float vLow = 1.0f - static_cast<float>(r) / last, vHigh = 1.0f - static_cast<float>(r + 1) / last;
    for (int k = 0; k < sides; ++k) {
      int k1 = (k + 1) % sides;
      float u0 = static_cast<float>(k) / sides, u1 = static_cast<float>(k + 1) / sides;
      Corner a = MapToCell(ids[r][k], cell, u0, vLow), b = MapToCell(ids[r][k1], cell, u1, vLow);
      Corner c = MapToCell(ids[r + 1][k1], cell, u1, vHigh), d = MapToCell(ids[r + 1][k], cell, u0, vHigh);
      AddTriangle(figure, group, a, b, c, inner);
      AddTriangle(figure, group, a, c, d, inner);
    }
  }
  struct End {
    const Vec3* tip;
    std::size_t ring;
    float v;
  };
  End ends[2] = {{bottomTip, 0, 1.0f}, {topTip, rings.size() - 1, 0.0f}};
  Vec3 middle = (rings.front().centre + rings.back().centre) * 0.5f;
  for (const End& end : ends) {
    if (!end.tip) continue;
    int tip = AddVertex(figure, *end.tip);
    for (int k = 0; k < sides; ++k) {
      int k1 = (k + 1) % sides;
      float u0 = static_cast<float>(k) / sides, u1 = static_cast<float>(k + 1) / sides;
      AddTriangle(figure, group, MapToCell(ids[end.ring][k], cell, u0, end.v),
                  MapToCell(ids[end.ring][k1], cell, u1, end.v),
                  MapToCell(tip, cell, 0.5f * (u0 + u1), end.v), middle);
    }
  }
}

// The head: a squashed sphere of stacks by segments. The half that faces +z takes the face
// cell by a flat projection; the back half and the crown take the hair cell.
void AddHead(Figure& figure, int group, Vec3 centre, Vec3 radius, int stacks, int segments) {
  const float kPi = 3.14159265f;
  int top = AddVertex(figure, centre + Vec3{0.0f, radius.y, 0.0f});
  std::vector<std::vector<int>> ids(stacks - 1);
  for (int i = 1; i < stacks; ++i) {
    float phi = kPi * static_cast<float>(i) / stacks;
    for (int k = 0; k < segments; ++k) {
      float a = 2.0f * kPi * static_cast<float>(k) / segments;
      Vec3 p{radius.x * std::sin(phi) * std::sin(a), radius.y * std::cos(phi),
             radius.z * std::sin(phi) * std::cos(a)};
      ids[i - 1].push_back(AddVertex(figure, centre + p));
    }
  }
  int bottom = AddVertex(figure, centre - Vec3{0.0f, radius.y, 0.0f});
  auto corner = [&](int id, bool front) {
    Vec3 p = figure.vertices[id] - centre;
    float u = 0.5f + 0.5f * p.x / radius.x, v = 0.5f - 0.5f * p.y / radius.y;
    return MapToCell(id, front ? kFace : kHair, u, v);
  };
  auto add = [&](int a, int b, int c, bool crown) {
    Vec3 mid = (figure.vertices[a] + figure.vertices[b] + figure.vertices[c]) * (1.0f / 3.0f);
    bool front = !crown && mid.z - centre.z > 0.0f;
    AddTriangle(figure, group, corner(a, front), corner(b, front), corner(c, front), centre);
  };
  for (int k = 0; k < segments; ++k) {
    int k1 = (k + 1) % segments;
    add(top, ids[0][k], ids[0][k1], true);
    for (int i = 0; i + 1 < stacks - 1; ++i) {
      add(ids[i][k], ids[i][k1], ids[i + 1][k1], false);
      add(ids[i][k], ids[i + 1][k1], ids[i + 1][k], false);
    }
    add(ids[stacks - 2][k], bottom, ids[stacks - 2][k1], false);
  }
}

// A box from low to high corner: used for the feet.
void AddBox(Figure& figure, int group, Vec3 low, Vec3 high, Cell cell) {
  int id[8];
  for (int i = 0; i < 8; ++i)
    id[i] = AddVertex(figure, {(i & 1) ? high.x : low.x, (i & 2) ? high.y : low.y, (i & 4) ? high.z : low.z});
  static const int kFaces[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                   {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
  Vec3 inner = (low + high) * 0.5f;
  for (const auto& f : kFaces) {
    Corner a = MapToCell(id[f[0]], cell, 0.0f, 1.0f), b = MapToCell(id[f[1]], cell, 1.0f, 1.0f);
    Corner c = MapToCell(id[f[2]], cell, 1.0f, 0.0f), d = MapToCell(id[f[3]], cell, 0.0f, 0.0f);
    AddTriangle(figure, group, a, b, c, inner);
    AddTriangle(figure, group, a, c, d, inner);
  }
}

Figure BuildFigure() {
  Figure figure;
  figure.groups = {"head", "body", "arms", "legs"};
  const int kHead = 0, kBody = 1, kArms = 2, kLegs = 3;

  AddHead(figure, kHead, {0.0f, 1.76f, 0.0f}, {0.12f, 0.14f, 0.13f}, 6, 10);
  AddTube(figure, kHead, {{{0.0f, 1.55f, 0.0f}, 0.05f, 0.05f}, {{0.0f, 1.66f, 0.0f}, 0.05f, 0.05f}},
          6, kSkin, nullptr, nullptr);

  Vec3 hips{0.0f, 0.84f, 0.0f}, neckBase{0.0f, 1.6f, 0.0f};
  AddTube(figure, kBody,
          {{{0.0f, 0.86f, 0.0f}, 0.2f, 0.12f},
           {{0.0f, 1.1f, 0.0f}, 0.18f, 0.11f},
           {{0.0f, 1.44f, 0.0f}, 0.22f, 0.13f},
           {{0.0f, 1.55f, 0.0f}, 0.24f, 0.12f}},
          8, kShirt, &hips, &neckBase);

  for (float side : {-1.0f, 1.0f}) {
    Vec3 shoulder{side * 0.27f, 1.58f, 0.0f}, fingertips{side * 0.33f, 0.82f, 0.0f};
    AddTube(figure, kArms,
            {{{side * 0.32f, 0.98f, 0.0f}, 0.048f, 0.048f},
             {{side * 0.3f, 1.23f, 0.0f}, 0.054f, 0.054f},
             {{side * 0.28f, 1.5f, 0.0f}, 0.065f, 0.065f}},
            6, kShirt, nullptr, &shoulder);
    AddTube(figure, kArms,
            {{{side * 0.325f, 0.9f, 0.0f}, 0.04f, 0.035f}, {{side * 0.32f, 0.98f, 0.0f}, 0.042f, 0.04f}},
            6, kSkin, &fingertips, nullptr);

    AddTube(figure, kLegs,
            {{{side * 0.11f, 0.08f, 0.0f}, 0.07f, 0.07f},
             {{side * 0.11f, 0.48f, 0.0f}, 0.08f, 0.08f},
             {{side * 0.11f, 0.9f, 0.0f}, 0.1f, 0.1f}},
            6, kTrousers, nullptr, nullptr);
    AddBox(figure, kLegs, {side * 0.11f - 0.07f, 0.0f, -0.07f}, {side * 0.11f + 0.07f, 0.08f, 0.16f}, kShoes);
  }
  return figure;
}

// The colours that make a look: the figure's hair, shirt, trousers and shoes.
struct Outfit {
  unsigned char hair[3], shirt[3], trousers[3], shoes[3];
};

// Look 0, the figure before looks, then the looks 1..8 in core/looks.h's order (named by shirt).
const Outfit kOutfits[] = {
    {{84, 52, 26}, {44, 96, 196}, {52, 54, 70}, {90, 54, 24}},
    {{30, 24, 20}, {200, 36, 36}, {40, 40, 48}, {20, 20, 20}},      // red
    {{222, 190, 110}, {80, 160, 235}, {172, 150, 110}, {96, 64, 36}}, // blue
    {{170, 70, 30}, {40, 150, 60}, {50, 70, 124}, {40, 30, 24}},     // green
    {{84, 52, 26}, {236, 204, 40}, {64, 64, 64}, {30, 30, 30}},      // yellow
    {{222, 190, 110}, {128, 56, 172}, {26, 26, 32}, {80, 20, 20}},   // purple
    {{30, 24, 20}, {242, 128, 28}, {50, 70, 124}, {230, 230, 230}},  // orange
    {{150, 150, 150}, {236, 236, 236}, {34, 34, 44}, {20, 20, 20}},  // white
    {{210, 210, 210}, {36, 36, 40}, {112, 40, 40}, {120, 120, 120}}, // black
};
const int kOutfitCount = sizeof kOutfits / sizeof kOutfits[0];

// The skin picture of one outfit, top row first.
std::vector<unsigned char> PaintSkin(const Outfit& outfit) {
  std::vector<unsigned char> rgb(kSkinSize * kSkinSize * 3);
  auto fill = [&](Cell cell, int x0, int y0, int x1, int y1, unsigned char r, unsigned char g, unsigned char b) {
    int cx = (cell % 4) * kCellSize, cy = (cell / 4) * kCellSize;
    for (int y = cy + y0; y < cy + y1; ++y)
      for (int x = cx + x0; x < cx + x1; ++x) {
        unsigned char* p = rgb.data() + (static_cast<std::size_t>(y) * kSkinSize + x) * 3;
        p[0] = r, p[1] = g, p[2] = b;
      }
  };
  auto paint = [&](Cell cell, int x0, int y0, int x1, int y1, const unsigned char* c) {
    fill(cell, x0, y0, x1, y1, c[0], c[1], c[2]);
  };
  for (int cell = 0; cell < 16; ++cell) fill(static_cast<Cell>(cell), 0, 0, kCellSize, kCellSize, 128, 128, 128);
  fill(kSkin, 0, 0, 32, 32, 232, 188, 150);
  paint(kHair, 0, 0, 32, 32, outfit.hair);
  paint(kShirt, 0, 0, 32, 32, outfit.shirt);
  paint(kTrousers, 0, 0, 32, 32, outfit.trousers);
  paint(kShoes, 0, 0, 32, 32, outfit.shoes);
  fill(kCollar, 0, 0, 32, 32, 240, 240, 240);
  // The face cell covers the front half of the head, seen flat from the front.
  fill(kFace, 0, 0, 32, 32, 232, 188, 150);
  paint(kFace, 0, 0, 32, 9, outfit.hair);  // fringe
  paint(kFace, 0, 0, 4, 18, outfit.hair);  // hair at the sides
  paint(kFace, 28, 0, 32, 18, outfit.hair);
  fill(kFace, 8, 12, 13, 17, 250, 250, 250);  // eyes: white, then dark pupils
  fill(kFace, 19, 12, 24, 17, 250, 250, 250);
  fill(kFace, 9, 13, 12, 16, 24, 24, 96);
  fill(kFace, 20, 13, 23, 16, 24, 24, 96);
  fill(kFace, 14, 17, 18, 20, 210, 160, 126);  // nose
  fill(kFace, 11, 22, 21, 24, 160, 60, 60);    // mouth
  return rgb;
}

// Every outfit's skin in one picture of 4 by 4 skins, top row first: skin k in column k % 4,
// row k / 4 from the top, so the program draws every look with one texture.
std::vector<unsigned char> PaintLooks() {
  const int side = 4 * kSkinSize;
  std::vector<unsigned char> rgb(static_cast<std::size_t>(side) * side * 3, 128);
  for (int k = 0; k < kOutfitCount; ++k) {
    std::vector<unsigned char> skin = PaintSkin(kOutfits[k]);
    for (int y = 0; y < kSkinSize; ++y) {
      std::size_t row = static_cast<std::size_t>((k / 4) * kSkinSize + y) * side + (k % 4) * kSkinSize;
      std::memcpy(rgb.data() + row * 3, skin.data() + static_cast<std::size_t>(y) * kSkinSize * 3, kSkinSize * 3);
    }
  }
  return rgb;
}

void PutU8(std::vector<unsigned char>& out, unsigned value) { out.push_back(static_cast<unsigned char>(value)); }
void PutU16(std::vector<unsigned char>& out, unsigned value) {
  PutU8(out, value & 0xff);
  PutU8(out, (value >> 8) & 0xff);
}
void PutU32(std::vector<unsigned char>& out, uint32_t value) {
  PutU16(out, value & 0xffff);
  PutU16(out, value >> 16);
}
void PutF32(std::vector<unsigned char>& out, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  PutU32(out, bits);
}
void PutText(std::vector<unsigned char>& out, const char* text, std::size_t field) {
  std::size_t length = std::strlen(text);
  for (std::size_t i = 0; i < field; ++i) PutU8(out, i < length ? static_cast<unsigned char>(text[i]) : 0);
}

std::vector<unsigned char> EncodeMs3d(const Figure& figure) {
  std::vector<unsigned char> out;
  PutText(out, "MS3D000000", 10);
  PutU32(out, 4);
  std::vector<int> references(figure.vertices.size(), 0);
  for (const Triangle& tri : figure.triangles)
    for (const Corner& c : tri.corner) ++references[c.vertex];
  PutU16(out, static_cast<unsigned>(figure.vertices.size()));
  for (std::size_t i = 0; i < figure.vertices.size(); ++i) {
    PutU8(out, 0);  // flags
    PutF32(out, figure.vertices[i].x);
    PutF32(out, figure.vertices[i].y);
    PutF32(out, figure.vertices[i].z);
    PutU8(out, 0xff);  // bone id -1: no bone
    PutU8(out, static_cast<unsigned>(references[i] > 255 ? 255 : references[i]));
  }
  PutU16(out, static_cast<unsigned>(figure.triangles.size()));
  for (const Triangle& tri : figure.triangles) {
    PutU16(out, 0);  // flags
    for (const Corner& c : tri.corner) PutU16(out, static_cast<unsigned>(c.vertex));
    for (int k = 0; k < 3; ++k) {
      PutF32(out, tri.normal.x);
      PutF32(out, tri.normal.y);
      PutF32(out, tri.normal.z);
    }
    for (const Corner& c : tri.corner) PutF32(out, c.s);
    for (const Corner& c : tri.corner) PutF32(out, c.t);
    PutU8(out, 1);  // smoothing group
    PutU8(out, static_cast<unsigned>(tri.group));
  }
  PutU16(out, static_cast<unsigned>(figure.groups.size()));
  for (std::size_t g = 0; g < figure.groups.size(); ++g) {
    std::vector<unsigned> members;
    for (std::size_t t = 0; t < figure.triangles.size(); ++t)
      if (figure.triangles[t].group == static_cast<int>(g)) members.push_back(static_cast<unsigned>(t));
    PutU8(out, 0);  // flags
    PutText(out, figure.groups[g].c_str(), 32);
    PutU16(out, static_cast<unsigned>(members.size()));
    for (unsigned t : members) PutU16(out, t);
    PutU8(out, 0);  // material 0
  }
  PutU16(out, 1);
  PutText(out, "skin", 32);
  const float kColours[4][4] = {{0.2f, 0.2f, 0.2f, 1.0f}, {0.8f, 0.8f, 0.8f, 1.0f},
                                {0.0f, 0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 0.0f, 1.0f}};
  for (const auto& colour : kColours)
    for (float c : colour) PutF32(out, c);
  PutF32(out, 0.0f);  // shininess
  PutF32(out, 1.0f);  // transparency
  PutU8(out, 0);      // mode
  PutText(out, "skin.bmp", 128);
  PutText(out, "", 128);  // alpha map
  // The animation section of a version 4 file, empty: 24 frames a second, one frame, no joints.
  PutF32(out, 24.0f);
  PutF32(out, 0.0f);
  PutU32(out, 1);
  PutU16(out, 0);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <data folder>\n  writes player.ms3d, skin.bmp and looks.bmp there\n", argv[0]);
    return 2;
  }
  std::string folder = argv[1];
  Figure figure = BuildFigure();
  std::vector<unsigned char> model = EncodeMs3d(figure);
  std::string modelPath = folder + "/player.ms3d", skinPath = folder + "/skin.bmp", looksPath = folder + "/looks.bmp";
  FILE* file = std::fopen(modelPath.c_str(), "wb");
  bool ok = file && std::fwrite(model.data(), 1, model.size(), file) == model.size();
  if (file && std::fclose(file) != 0) ok = false;
  if (!ok || !WriteBmp24(skinPath.c_str(), kSkinSize, kSkinSize, PaintSkin(kOutfits[0])) ||
      !WriteBmp24(looksPath.c_str(), 4 * kSkinSize, 4 * kSkinSize, PaintLooks())) {
    std::fprintf(stderr, "cannot write %s, %s or %s\n", modelPath.c_str(), skinPath.c_str(), looksPath.c_str());
    return 1;
  }
  std::printf("%s: %zu vertices, %zu triangles, %zu groups; %s; %s with %d looks\n", modelPath.c_str(),
              figure.vertices.size(), figure.triangles.size(), figure.groups.size(), skinPath.c_str(),
              looksPath.c_str(), kOutfitCount - 1);
  return 0;
}
