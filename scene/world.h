// The room: its triangles and bounding box from "data/world.txt", and the world textures.
#pragma once
#include <cstdio>

#include "model/texture.h"

struct WorldVertex {
  float x, y, z;  // y is up
  float u, v;     // texture coordinates; values beyond 0..1 tile
};

struct WorldTriangle {
  WorldVertex vertex[3];
  int texture;  // 0-based: the TEXTURE number minus 1
};

struct WorldGeometryRecord {
  int triangleCount;
  WorldTriangle* triangles;  // CountedAlloc'd, file order
};

struct WorldBoundsRecord {
  float minX, minY, minZ;
  float maxX, maxY, maxZ;
};

extern WorldGeometryRecord WorldGeometry;
extern WorldBoundsRecord WorldBounds;  // always contains the origin

// Texture numbers a room may name; others reject the file (a number in the
// billions would otherwise mean as many file lookups).
constexpr int kMaxWorldTexture = 1024;
// Triangles a header may announce; more rejects the file before allocating.
constexpr int kMaxWorldTriangles = 1 << 20;

// Reads "data/world.txt" into WorldGeometry and WorldBounds, then loads the
// scene assets. Problems become console lines.
void LoadWorldFile();
// The reading part of LoadWorldFile on an open stream: empties, then fills WorldGeometry and
// WorldBounds and the highest texture number named (at least 1). False when the
// file was rejected (its console line is written); the room is then empty.
bool ReadWorldStream(FILE* stream, int* highestTexture);

// Scene assets (world textures, avatar model, font texture).
// The room's texture names, from LoadSceneAssets until FreeWorldTextures.
struct WorldTexturesRecord {
  unsigned int* names;  // CountedAlloc'd; entry n-1 for "Data/n.bmp", 0 = none
  int count;
};
extern WorldTexturesRecord WorldTextures;
bool LoadSceneAssets(int count);
RgbImage* ReadBitmapFile(const char* path);
