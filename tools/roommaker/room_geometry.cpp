// Lays out the room: floor, walls, ceiling, fireplace, shelves, tables, stools, sofa, lamps.
#include "tools/roommaker/room_geometry.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "tools/roommaker/room_textures.h"

// x runs east, z south, y up; the user starts at the origin looking north (-z).
// Sizes suit an eye 0.6 above the floor and avatars 0.32 high: tables 0.32,
// stool seats 0.2, shelves 1.1, ceiling 1.6 (above the labels at 1.155).
namespace {

struct Vertex {
  float x, y, z, u, v;
};

struct Triangle {
  Vertex corner[3];
  int texture;
};

struct Part {
  std::string name;
  std::vector<Triangle> triangles;
};

std::vector<Part> parts;

void BeginPart(const char* name) { parts.push_back(Part{name, {}}); }

// Two triangles over the corners a, b, c, d in order around the quad.
void Quad(int texture, Vertex a, Vertex b, Vertex c, Vertex d) {
  parts.back().triangles.push_back(Triangle{{a, b, c}, texture});
  parts.back().triangles.push_back(Triangle{{a, c, d}, texture});
}

// Horizontal quad at height y; the texture repeats every `tile` units.
void Horizontal(int texture, float x0, float z0, float x1, float z1, float y, float tile) {
  Quad(texture, {x0, y, z0, x0 / tile, -z0 / tile}, {x1, y, z0, x1 / tile, -z0 / tile},
       {x1, y, z1, x1 / tile, -z1 / tile}, {x0, y, z1, x0 / tile, -z1 / tile});
}

// Vertical quad facing along z at depth z, from (x0, y0) to (x1, y1).
void FacingZ(int texture, float x0, float y0, float x1, float y1, float z, float uTile, float vTile,
             float u0 = 0, float v0 = 0) {
  Quad(texture, {x0, y0, z, u0 + x0 / uTile, v0 + y0 / vTile}, {x1, y0, z, u0 + x1 / uTile, v0 + y0 / vTile},
       {x1, y1, z, u0 + x1 / uTile, v0 + y1 / vTile}, {x0, y1, z, u0 + x0 / uTile, v0 + y1 / vTile});
}

// Vertical quad facing along x at x, from (z0, y0) to (z1, y1).
void FacingX(int texture, float z0, float y0, float z1, float y1, float x, float uTile, float vTile,
             float u0 = 0, float v0 = 0) {
  Quad(texture, {x, y0, z0, u0 + z0 / uTile, v0 + y0 / vTile}, {x, y0, z1, u0 + z1 / uTile, v0 + y0 / vTile},
       {x, y1, z1, u0 + z1 / uTile, v0 + y1 / vTile}, {x, y1, z0, u0 + z0 / uTile, v0 + y1 / vTile});
}

// A quad showing the whole picture once.
void PictureOnZ(int texture, float x0, float y0, float x1, float y1, float z) {
  Quad(texture, {x0, y0, z, 0, 0}, {x1, y0, z, 1, 0}, {x1, y1, z, 1, 1}, {x0, y1, z, 0, 1});
}

void PictureOnX(int texture, float z0, float y0, float z1, float y1, float x) {
  Quad(texture, {x, y0, z0, 0, 0}, {x, y0, z1, 1, 0}, {x, y1, z1, 1, 1}, {x, y1, z0, 0, 1});
}

// A box without its bottom face (it stands on something).
void Box(int texture, float x0, float y0, float z0, float x1, float y1, float z1, float tile) {
  Horizontal(texture, x0, z0, x1, z1, y1, tile);
  FacingZ(texture, x0, y0, x1, y1, z0, tile, tile);
  FacingZ(texture, x0, y0, x1, y1, z1, tile, tile);
  FacingX(texture, z0, y0, z1, y1, x0, tile, tile);
  FacingX(texture, z0, y0, z1, y1, x1, tile, tile);
}

// A box seen from every side, its bottom too (hanging lamps, table tops).
void ClosedBox(int texture, float x0, float y0, float z0, float x1, float y1, float z1, float tile) {
  Box(texture, x0, y0, z0, x1, y1, z1, tile);
  Horizontal(texture, x0, z0, x1, z1, y0, tile);
}

const float kWest = -5, kEast = 5, kNorth = -6, kSouth = 6, kCeiling = 1.6f;

void Shell() {
  BeginPart("floor: one-unit tiles of planks");
  for (float x = kWest; x < kEast; x += 1)
    for (float z = kNorth; z < kSouth; z += 1) Horizontal(TexFloor, x, z, x + 1, z + 1, 0, 1);
  BeginPart("rug in the middle of the room");
  for (float x = -1.5f; x < 1.5f; x += 1.5f)
    for (float z = -1; z < 2; z += 1.5f)
      Quad(TexRug, {x, 0.004f, z, (x + 1.5f) / 3, (2 - z) / 3}, {x + 1.5f, 0.004f, z, (x + 3) / 3, (2 - z) / 3},
           {x + 1.5f, 0.004f, z + 1.5f, (x + 3) / 3, (0.5f - z) / 3},
           {x, 0.004f, z + 1.5f, (x + 1.5f) / 3, (0.5f - z) / 3});
  BeginPart("walls: two-unit panels of wallpaper");
  for (float x = kWest; x < kEast; x += 2) {
    FacingZ(TexWallpaper, x, 0, x + 2, kCeiling, kNorth, 1, 1);
    FacingZ(TexWallpaper, x, 0, x + 2, kCeiling, kSouth, 1, 1);
  }
  for (float z = kNorth; z < kSouth; z += 2) {
    FacingX(TexWallpaper, z, 0, z + 2, kCeiling, kWest, 1, 1);
    FacingX(TexWallpaper, z, 0, z + 2, kCeiling, kEast, 1, 1);
  }
  BeginPart("skirting boards");
  FacingZ(TexWood, kWest, 0, kEast, 0.08f, kNorth + 0.005f, 0.5f, 0.5f);
  FacingZ(TexWood, kWest, 0, kEast, 0.08f, kSouth - 0.005f, 0.5f, 0.5f);
  FacingX(TexWood, kNorth, 0, kSouth, 0.08f, kWest + 0.005f, 0.5f, 0.5f);
  FacingX(TexWood, kNorth, 0, kSouth, 0.08f, kEast - 0.005f, 0.5f, 0.5f);
  BeginPart("ceiling: two-unit tiles");
  for (float x = kWest; x < kEast; x += 2)
    for (float z = kNorth; z < kSouth; z += 2) Horizontal(TexCeiling, x, z, x + 2, z + 2, kCeiling, 2);
  BeginPart("hanging lamps");
  for (float x : {-2.5f, 2.5f})
    for (float z : {-3.0f, 3.0f}) ClosedBox(TexLamp, x - 0.15f, 1.48f, z - 0.15f, x + 0.15f, 1.54f, z + 0.15f, 0.3f);
}

void NorthWall() {
  BeginPart("fireplace in the north wall");
  Box(TexBrick, -0.9f, 0, kNorth, 0.9f, 0.8f, kNorth + 0.4f, 0.5f);
  PictureOnZ(TexFire, -0.45f, 0.05f, 0.45f, 0.45f, kNorth + 0.405f);
  Box(TexWood, -1.0f, 0.8f, kNorth, 1.0f, 0.86f, kNorth + 0.5f, 0.5f);
  Box(TexBrick, -0.7f, 0.86f, kNorth, 0.7f, kCeiling, kNorth + 0.25f, 0.5f);
}

void WestWall() {
  BeginPart("bookshelves against the west wall");
  for (float z0 : {-4.5f, 1.0f}) {
    float z1 = z0 + 2;
    FacingX(TexBooks, z0, 0, z1, 1.1f, kWest + 0.3f, 0.5f, 0.55f);
    Horizontal(TexWood, kWest, z0, kWest + 0.3f, z1, 1.1f, 0.5f);
    FacingZ(TexWood, kWest, 0, kWest + 0.3f, 1.1f, z0, 0.5f, 0.5f);
    FacingZ(TexWood, kWest, 0, kWest + 0.3f, 1.1f, z1, 0.5f, 0.5f);
  }
}

void EastAndSouthWalls() {
  BeginPart("windows in the east wall");
  for (float z : {-3.5f, 0.0f, 3.5f}) PictureOnX(TexWindow, z - 0.5f, 0.5f, z + 0.5f, 1.2f, kEast - 0.005f);
  BeginPart("door in the south wall");
  PictureOnZ(TexDoor, 3.0f, 0, 2.4f, 1.1f, kSouth - 0.005f);
}

void Table(float cx, float cz) {
  ClosedBox(TexWood, cx - 0.6f, 0.28f, cz - 0.5f, cx + 0.6f, 0.32f, cz + 0.5f, 0.5f);
  for (float lx : {cx - 0.55f, cx + 0.5f})
    for (float lz : {cz - 0.45f, cz + 0.4f}) Box(TexWood, lx, 0, lz, lx + 0.05f, 0.28f, lz + 0.05f, 0.5f);
}

void Stool(float cx, float cz) {
  ClosedBox(TexWood, cx - 0.11f, 0.17f, cz - 0.11f, cx + 0.11f, 0.2f, cz + 0.11f, 0.5f);
  Box(TexWood, cx - 0.02f, 0, cz - 0.02f, cx + 0.02f, 0.17f, cz + 0.02f, 0.5f);
}

void Furniture() {
  BeginPart("table with two stools, north-east");
  Table(2.5f, -2.5f);
  Stool(2.5f, -1.6f);
  Stool(1.6f, -2.5f);
  BeginPart("table with two stools, south-west");
  Table(-2.0f, 3.0f);
  Stool(-2.0f, 2.1f);
  Stool(-1.1f, 3.0f);
  BeginPart("sofa behind the south-west table");
  Box(TexFabric, -3.2f, 0, 4.3f, -0.8f, 0.16f, 5.1f, 0.4f);
  Box(TexFabric, -3.2f, 0.16f, 4.9f, -0.8f, 0.42f, 5.1f, 0.4f);
  Box(TexFabric, -3.2f, 0.16f, 4.3f, -3.0f, 0.26f, 4.9f, 0.4f);
  Box(TexFabric, -1.0f, 0.16f, 4.3f, -0.8f, 0.26f, 4.9f, 0.4f);
}

void AppendLine(std::string* out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void AppendLine(std::string* out, const char* format, ...) {
  char line[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  out->append(line);
  out->push_back('\n');
}

}  // namespace

std::string MakeWorldText() {
  parts.clear();
  Shell();
  NorthWall();
  WestWall();
  EastAndSouthWalls();
  Furniture();
  size_t total = 0;
  for (const Part& part : parts) total += part.triangles.size();
  std::string out;
  AppendLine(&out, "// QIVRA's room, made by tools/roommaker: do not edit by hand.");
  AppendLine(&out, "// Each vertex line: x y z u v. TEXTURE n names data/n.bmp.");
  AppendLine(&out, "NUMPOLLIES %zu", total);
  int current = 0;
  for (const Part& part : parts) {
    out.push_back('\n');
    AppendLine(&out, "// %s", part.name.c_str());
    for (const Triangle& t : part.triangles) {
      if (t.texture != current) {
        AppendLine(&out, "TEXTURE %d", t.texture);
        current = t.texture;
      }
      // Adding 0 turns -0 into 0, so no "-0.000" appears.
      for (const Vertex& v : t.corner)
        AppendLine(&out, "%.3f %.3f %.3f %.3f %.3f", v.x + 0.0f, v.y + 0.0f, v.z + 0.0f, v.u + 0.0f, v.v + 0.0f);
    }
  }
  return out;
}
