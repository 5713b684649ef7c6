// The benchmarks' offscreen window: an OSMesa context at the window's 640x348 with the scene
// set up in it from the source tree's data, a frame written as PPM, and the whole freed.
#pragma once
#include <GL/osmesa.h>

#include <vector>

constexpr int kBenchWidth = 640, kBenchHeight = 348;

struct Offscreen {
  OSMesaContext context = nullptr;
  std::vector<unsigned char> pixels;  // RGBA, bottom row first
};

// Settings.channel is read here (the fireplace label): set it first. false when no context.
bool OpenOffscreen(Offscreen* o);
bool WriteOffscreenPpm(const Offscreen& o, const char* path);
void CloseOffscreen(Offscreen* o);
