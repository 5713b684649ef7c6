// Pictures for the room's textures, written as 24-bit BMP files.
#pragma once
#include <cstddef>
#include <vector>

struct Picture {
  int width;
  int height;
  std::vector<unsigned char> rgb;  // red, green, blue; top row first
  unsigned char* At(int x, int y) { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
};

Picture MakePicture(int width, int height);
// Bottom-up rows padded to 4 bytes, file header and 40-byte header. False on a write error.
bool WriteBmp24(const char* path, const Picture& picture);
