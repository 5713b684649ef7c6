// A static triangle model read from a MilkShape 3D file, and the one avatar model.
#pragma once
#include "model/texture.h"

class CModel {
 public:
  struct Vertex {
    int boneId;          // not a bone here: drawing uses it as a marker
    float location[3];
  };
  struct Triangle {
    float vertexNormals[3][3];
    float s[3];
    float t[3];          // stored as 1 - t of the file
    int vertexIndices[3];
  };
  struct Mesh {
    int materialIndex;   // -1: no material
    int triangleCount;
    int* triangleIndices;
  };
  struct Material {
    float ambient[4], diffuse[4], specular[4], emissive[4];
    float shininess;
    CTexture* texture;
  };

  CModel();
  ~CModel();
  bool LoadFromFile(const char* filename);
  bool LoadMS3D(const char* filename);
  bool Draw();
  // Compiles the meshes into a display list of the current context, which Draw then calls
  // instead of sending every vertex again. Call it after CenterAndScale, once per scene
  // set-up; CenterAndScale and Release drop the list. False: no list (Draw sends the arrays).
  bool Compile();
  void CenterAndScale(float height);
  // Empties the model (arrays and textures, deleted in the current context); safe on an
  // empty model. Call it in the teardown while the old context is still current.
  void Release();
  // Lets the next Draw or CenterAndScale of an empty model show its box again. Release and
  // every load attempt re-arm it too, so each scene set-up shows the box at most once.
  void RearmEmptyReport();

  int vertexCount;
  Vertex* vertices;
  int triangleCount;
  Triangle* triangles;
  int meshCount;
  Mesh* meshes;
  int materialCount;
  Material* materials;
  bool emptyReported;    // the empty-model box has been shown since the last re-arm
  unsigned int drawList; // the compiled meshes, 0 when none

 private:
  void SendMeshes();
  void DropCompiled();
};

extern CModel AvatarModel;
