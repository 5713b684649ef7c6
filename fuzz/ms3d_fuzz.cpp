// Fuzz target: a MilkShape 3D file loaded as the avatar is, its material textures taken from
// data/; a model that loads is then fitted to the avatar's height, drawn and released, in an
// off-screen OSMesa context.
#include <GL/osmesa.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/ms3d_model.h"

namespace {

OSMesaContext context = nullptr;
std::vector<unsigned char> frame(64 * 64 * 4);
std::string folder;

// The smallest texture there is, 2 by 2 pixels of 24 bits, for materials named "skin.bmp"
// as the shipped avatar's is.
void WriteSkin() {
  const unsigned char bmp[70] = {
      'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,             // file header
      40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0,           // size, width, height, planes, bits
      0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
      0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0,  // two rows, each padded to 8
  };
  FILE* file = std::fopen("data/skin.bmp", "wb");
  if (!file) return;
  std::fwrite(bmp, 1, sizeof bmp, file);
  std::fclose(file);
}

void RemoveFolder() {
  std::remove("data/skin.bmp");
  std::remove("input.ms3d");
  rmdir("data");
  if (chdir("/") == 0) rmdir(folder.c_str());
}

}  // namespace

// What libOSMesa keeps for its own use is not ours to release.
extern "C" const char* __lsan_default_suppressions() { return "leak:libOSMesa.so\n"; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // In memory where there is a memory file system: a file is written per input.
  char inMemory[] = "/dev/shm/qivra-fuzz-ms3d-XXXXXX";
  char onDisk[] = "/tmp/qivra-fuzz-ms3d-XXXXXX";
  const char* made = mkdtemp(inMemory);
  if (!made) made = mkdtemp(onDisk);
  if (!made || chdir(made) != 0 || mkdir("data", 0700) != 0) std::abort();
  folder = made;
  std::atexit(RemoveFolder);
  WriteSkin();
  context = OSMesaCreateContextExt(OSMESA_RGBA, 16, 0, 0, nullptr);
  if (!context || !OSMesaMakeCurrent(context, frame.data(), GL_UNSIGNED_BYTE, 64, 64)) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* file = std::fopen("input.ms3d", "wb");
  if (!file) std::abort();
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  CModel model;
  if (model.LoadFromFile("input.ms3d")) {
    model.CenterAndScale(0.32f);
    model.Draw();
    // Mesa holds a draw's buffers until it is flushed; held at the end of an input they look
    // unreleased and make libFuzzer's leak check scan after every run.
    glFinish();
  }
  model.Release();
  return 0;
}
