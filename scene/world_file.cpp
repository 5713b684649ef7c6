// Reads the room's triangles and bounding box from "data/world.txt".
#include <cstdio>
#include <cstring>

#include "core/counted_alloc.h"
#include "console/console_log.h"
#include "console/settings.h"
#include "platform/data_path.h"
#include "scene/scene.h"
#include "scene/world.h"

WorldGeometryRecord WorldGeometry;
WorldBoundsRecord WorldBounds;

static void Extend(const WorldVertex& v) {
  if (v.x < WorldBounds.minX) WorldBounds.minX = v.x;
  if (v.y < WorldBounds.minY) WorldBounds.minY = v.y;
  if (v.z < WorldBounds.minZ) WorldBounds.minZ = v.z;
  if (v.x > WorldBounds.maxX) WorldBounds.maxX = v.x;
  if (v.y > WorldBounds.maxY) WorldBounds.maxY = v.y;
  if (v.z > WorldBounds.maxZ) WorldBounds.maxZ = v.z;
}

// Drops what was read: the array stays held (the teardown frees it) but no
// triangle is drawn, and the box shrinks back to the origin.
static bool Reject(const char* consoleLine) {
  ConsoleAppend(consoleLine);
  WorldGeometry.triangleCount = 0;
  std::memset(&WorldBounds, 0, sizeof WorldBounds);
  return false;
}

static void ClearWorld() {
  WorldGeometry.triangleCount = 0;
  WorldGeometry.triangles = nullptr;
  std::memset(&WorldBounds, 0, sizeof WorldBounds);  // so the box always holds the origin
}

bool ReadWorldStream(FILE* stream, int* highestTexture) {
  ClearWorld();
  char oneline[255];
  int numtriangles = 0;
  *highestTexture = 1;
  bool headerOk = ReadConfigLine(stream, oneline) &&
                  std::sscanf(oneline, "NUMPOLLIES %d\n", &numtriangles) == 1 && numtriangles >= 0 &&
                  numtriangles <= kMaxWorldTriangles;
  if (!headerOk) numtriangles = 0;
  // Even an empty room holds a block, so that the teardown's release balances.
  WorldGeometry.triangles =
      static_cast<WorldTriangle*>(CountedAlloc(sizeof(WorldTriangle) * static_cast<size_t>(numtriangles)));
  if (!headerOk) return Reject("ERROR: world.txt has no valid NUMPOLLIES line!");
  if (!WorldGeometry.triangles) return Reject("ERROR: no memory for the room!");
  WorldGeometry.triangleCount = numtriangles;

  // A vertex before any texture line takes texture 1; numbers missing from a
  // vertex line keep the previous line's (zero for the first).
  int cTexture = 1;
  float x = 0, y = 0, z = 0, u = 0, v = 0;
  for (int i = 0; i < numtriangles; ++i) {
    WorldTriangle& triangle = WorldGeometry.triangles[i];
    for (int k = 0; k < 3; ++k) {
      bool more = ReadConfigLine(stream, oneline);
      while (more && oneline[0] == 'T') {
        int number = cTexture;
        if (std::sscanf(oneline, "TEXTURE %d", &number) == 1) {
          if (number < 1 || number > kMaxWorldTexture)
            return Reject("ERROR: world.txt names a texture number out of range!");
          cTexture = number;
          if (cTexture > *highestTexture) *highestTexture = cTexture;
        }
        more = ReadConfigLine(stream, oneline);
      }
      if (!more) {  // the file ended early: keep the complete triangles
        WorldGeometry.triangleCount = i;
        return true;
      }
      std::sscanf(oneline, "%f %f %f %f %f", &x, &y, &z, &u, &v);
      triangle.texture = cTexture - 1;
      triangle.vertex[k] = WorldVertex{x, y, z, u, v};
      Extend(triangle.vertex[k]);
    }
  }
  return true;
}

void LoadWorldFile() {
  ClearWorld();
  FILE* stream = OpenDataFile("data/world.txt", "r");
  if (!stream) {
    ConsoleAppend("ERROR: world.txt file not found!");
    return;
  }
  int highest = 1;
  ReadWorldStream(stream, &highest);
  std::fclose(stream);
  if (!LoadSceneAssets(highest)) ConsoleAppend("WARNING: Texture Load Failure!");
}

void FreeWorldGeometry() {
  CountedFree(WorldGeometry.triangles);  // no test first: a room never loaded is reported
  WorldGeometry.triangles = nullptr;
  WorldGeometry.triangleCount = 0;
}
