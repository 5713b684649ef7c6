// The benchmarks' offscreen window: context, scene set-up, PPM output and clean-up.
#include "bench/common/offscreen.h"

#include <GL/gl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "scene/scene.h"

bool OpenOffscreen(Offscreen* o) {
  if (chdir(QIVRA_SOURCE_DIR) != 0) return false;  // data/ of the source tree
  setenv("QIVRA_AUTO_ANSWER", "yes", 0);           // model or font boxes must not wait for a click
  o->pixels.assign(static_cast<size_t>(kBenchWidth) * kBenchHeight * 4, 0);
  o->context = OSMesaCreateContextExt(OSMESA_RGBA, 16, 0, 0, nullptr);
  if (!o->context || !OSMesaMakeCurrent(o->context, o->pixels.data(), GL_UNSIGNED_BYTE, kBenchWidth, kBenchHeight)) {
    std::fprintf(stderr, "no OSMesa context\n");
    return false;
  }
  // The window's lens for a 640x480 client area (its aspect counts height + 2).
  SetViewProjection(0, 0, kBenchWidth, kBenchHeight, static_cast<double>(kBenchWidth) / (kBenchHeight + 2));
  InitScene();
  return true;
}

bool WriteOffscreenPpm(const Offscreen& o, const char* path) {
  glFinish();
  FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  std::fprintf(f, "P6\n%d %d\n255\n", kBenchWidth, kBenchHeight);
  for (int y = kBenchHeight - 1; y >= 0; --y)
    for (int x = 0; x < kBenchWidth; ++x)
      std::fwrite(&o.pixels[(static_cast<size_t>(y) * kBenchWidth + x) * 4], 1, 3, f);
  return std::fclose(f) == 0;
}

void CloseOffscreen(Offscreen* o) {
  FreeWorldGeometry();
  FreeParticles();
  FreeWorldTextures();
  DeleteGlyphLists();
  FreeAvatarModel();
  if (o->context) OSMesaDestroyContext(o->context);
  o->context = nullptr;
}
