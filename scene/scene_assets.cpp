// Loads the room's numbered textures, the avatar model with its looks and the colour-keyed font texture.
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/counted_alloc.h"
#include "model/ms3d_model.h"
#include "model/texture.h"
#include "platform/data_path.h"
#include "platform/message_box.h"
#include "scene/avatar_models.h"
#include "scene/avatar_pictures.h"
#include "scene/font.h"
#include "scene/scene.h"
#include "scene/text_plates.h"
#include "scene/world.h"

WorldTexturesRecord WorldTextures;

RgbImage* ReadBitmapFile(const char* path) {
  if (!path) return nullptr;
  FILE* probe = OpenDataFile(path, "r");
  if (!probe) return nullptr;
  std::fclose(probe);
  return LoadBitmapImage(path);
}

static void ReleaseImage(RgbImage* image) {
  std::free(image->pixels);
  std::free(image);
}

static bool LoadWorldTextures(int count) {
  WorldTextures.count = 0;
  WorldTextures.names = static_cast<unsigned int*>(CountedAlloc(sizeof(unsigned int) * static_cast<size_t>(count)));
  if (!WorldTextures.names) return false;  // every triangle then draws in the current colour
  std::memset(WorldTextures.names, 0, sizeof(unsigned int) * static_cast<size_t>(count));
  WorldTextures.count = count;
  bool result = true;
  for (int i = 0; i < count; ++i) {
    char fn[256];
    std::snprintf(fn, sizeof fn, "Data/%d.bmp", i + 1);
    RgbImage* image = ReadBitmapFile(fn);
    if (!image) {
      result = false;
      continue;
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    WorldTextures.names[i] = name;
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
    UploadRgbMipmaps(image);
    ReleaseImage(image);
  }
  return result;
}

// The font bitmap becomes the colour-keyed font texture.
static bool LoadFontTexture() {
  // A name from an earlier context means nothing in this one.
  FontNames.texture = 0;
  RgbImage* image = ReadBitmapFile("Data/font.bmp");
  if (!image) return false;
  bool built = BuildFontTexture(image);
  ReleaseImage(image);
  return built;
}

bool LoadSceneAssets(int count) {
  bool result = LoadWorldTextures(count);
  if (!AvatarModel.LoadFromFile("data/player.ms3d"))
    ShowMessageBox("ERROR", "loading", BoxIconNone, BoxOk);
  AvatarModel.CenterAndScale(0.32f);
  AvatarModel.Compile();  // drawn from it when the looks' arrays cannot be made
  BuildAvatarArrays(AvatarModel);
  if (!LoadFontTexture()) result = false;
  return result;
}

void FreeWorldTextures() {
  CountedFree(WorldTextures.names);  // the GL names themselves end with their context
  WorldTextures.names = nullptr;
  WorldTextures.count = 0;
}

void FreeAvatarModel() {
  FreeAvatarPictures();
  FreeAvatarArrays();
  FreePlates();  // the labels' pictures go with the avatars they stand over
  AvatarModel.Release();
}
