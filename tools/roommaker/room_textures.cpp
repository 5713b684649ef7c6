// Procedural pictures for the room: planks, wallpaper, tiles, rug, wood, books, bricks and more.
#include "tools/roommaker/room_textures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

uint32_t Hash(int x, int y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return h ^ (h >> 16);
}

float Random01(int x, int y, uint32_t seed) { return (Hash(x, y, seed) & 0xFFFFFF) / 16777216.0f; }

// Value noise on a lattice of cell pixels that repeats every period cells,
// so that every texture tiles without a seam.
float Noise(float x, float y, int cell, int period, uint32_t seed) {
  float fx = x / cell, fy = y / cell;
  int ix = static_cast<int>(std::floor(fx)), iy = static_cast<int>(std::floor(fy));
  float tx = fx - ix, ty = fy - iy;
  tx = tx * tx * (3 - 2 * tx);
  ty = ty * ty * (3 - 2 * ty);
  auto at = [&](int a, int b) {
    return Random01(((a % period) + period) % period, ((b % period) + period) % period, seed);
  };
  float top = at(ix, iy) + (at(ix + 1, iy) - at(ix, iy)) * tx;
  float bottom = at(ix, iy + 1) + (at(ix + 1, iy + 1) - at(ix, iy + 1)) * tx;
  return top + (bottom - top) * ty;
}

// Octaves of noise over a square picture of side size: 0..1.
float Fractal(float x, float y, int size, int cell, uint32_t seed) {
  float sum = 0, weight = 0, amplitude = 1;
  for (; cell >= 2; cell /= 2, amplitude *= 0.5f) {
    sum += amplitude * Noise(x, y, cell, size / cell, seed++);
    weight += amplitude;
  }
  return sum / weight;
}

unsigned char Clamp(float v) { return static_cast<unsigned char>(std::min(255.0f, std::max(0.0f, v + 0.5f))); }

void Set(Picture& p, int x, int y, float r, float g, float b) {
  unsigned char* px = p.At(x, y);
  px[0] = Clamp(r);
  px[1] = Clamp(g);
  px[2] = Clamp(b);
}

void SetShaded(Picture& p, int x, int y, const float rgb[3], float shade) {
  Set(p, x, y, rgb[0] * shade, rgb[1] * shade, rgb[2] * shade);
}

// Four planks across, each with its own tone, a grain along its length and
// a butt joint at its own height.
Picture Floor() {
  Picture p = MakePicture(128, 128);
  const float base[3] = {156, 104, 62};
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      int plank = x / 32;
      int joint = (plank * 37 + 11) % 128;
      float tone = 0.85f + 0.3f * Random01(plank, 0, 7);
      float grain = Noise(x * 6.0f, y * 0.5f, 16, 48, 3 + plank);
      float shade = tone * (0.8f + 0.35f * grain);
      if (x % 32 == 0 || y == joint) shade *= 0.45f;
      SetShaded(p, x, y, base, shade);
    }
  }
  return p;
}

// Sage-green paper with paler stripes and a small diamond between them.
Picture Wallpaper() {
  Picture p = MakePicture(128, 128);
  const float base[3] = {118, 150, 112};
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      float shade = 0.95f + 0.1f * Fractal(static_cast<float>(x), static_cast<float>(y), 128, 16, 21);
      int sx = x % 32;
      if (sx < 4) shade *= 1.18f;
      int dx = std::abs(sx - 18), dy = std::abs((y % 32) - 16);
      if (dx + dy < 6) shade *= (dx + dy < 3) ? 0.7f : 1.12f;
      SetShaded(p, x, y, base, shade);
    }
  }
  return p;
}

// Four light acoustic tiles with grey joints and a speckle.
Picture Ceiling() {
  Picture p = MakePicture(128, 128);
  const float base[3] = {214, 212, 204};
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      float shade = 0.93f + 0.07f * Noise(static_cast<float>(x), static_cast<float>(y), 4, 32, 5);
      if (Random01(x, y, 9) < 0.04f) shade *= 0.8f;
      if (x % 64 < 2 || y % 64 < 2) shade = 0.6f;
      SetShaded(p, x, y, base, shade);
    }
  }
  return p;
}

// A red rug with a gold border and a blue diamond in the middle.
Picture Rug() {
  Picture p = MakePicture(128, 128);
  const float red[3] = {150, 32, 38}, gold[3] = {206, 164, 64}, blue[3] = {38, 52, 116};
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      int edge = std::min(std::min(x, y), std::min(127 - x, 127 - y));
      float weave = 0.9f + 0.15f * Random01(x, y, 13);
      int diamond = std::abs(x - 64) + std::abs(y - 64);
      const float* c = red;
      if (edge < 3) c = red;
      else if (edge < 10) c = gold;
      else if (diamond < 36 && diamond > 28) c = gold;
      else if (diamond <= 28) c = ((x + y) % 8 < 4 && diamond > 10) ? red : blue;
      SetShaded(p, x, y, c, weave * (edge < 3 ? 0.6f : 1.0f));
    }
  }
  return p;
}

// Dark furniture wood with wavy grain lines.
Picture Wood() {
  Picture p = MakePicture(128, 128);
  const float base[3] = {104, 62, 36};
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      float warp = Fractal(static_cast<float>(x), static_cast<float>(y), 128, 32, 31) * 24.0f;
      float rings = 0.5f + 0.5f * std::sin((x + warp) * 0.39269908f);  // 8 cycles across
      float shade = 0.75f + 0.3f * rings + 0.08f * Random01(x, y, 33);
      SetShaded(p, x, y, base, shade);
    }
  }
  return p;
}

// One shelf of book spines in many colours above a wooden board.
Picture Books() {
  Picture p = MakePicture(128, 128);
  const float back[3] = {46, 30, 20}, board[3] = {120, 76, 44};
  const float colours[6][3] = {{140, 28, 30}, {30, 70, 130}, {36, 110, 60},
                               {180, 150, 70}, {90, 40, 100}, {200, 190, 170}};
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) SetShaded(p, x, y, back, 1.0f);
  int x = 1, book = 0;
  while (x < 126) {
    int width = 5 + static_cast<int>(Random01(book, 1, 41) * 8);
    width = std::min(width, 126 - x);
    int top = 14 + static_cast<int>(Random01(book, 2, 41) * 26);
    const float* c = colours[Hash(book, 3, 41) % 6];
    for (int by = top; by < 116; ++by) {
      for (int bx = x; bx < x + width; ++bx) {
        float shade = 0.8f + 0.3f * std::sin(3.14159265f * (bx - x + 0.5f) / width);
        if (by == top + 8 || by == 104) shade *= 1.35f;  // bands on the spine
        SetShaded(p, bx, by, c, shade);
      }
    }
    x += width + 1;
    ++book;
  }
  for (int y = 116; y < 128; ++y)
    for (int bx = 0; bx < 128; ++bx) SetShaded(p, bx, y, board, y == 116 ? 1.3f : 1.0f);
  return p;
}

// Red-brown bricks in offset courses with pale mortar.
Picture Brick() {
  Picture p = MakePicture(128, 128);
  const float brick[3] = {150, 70, 50}, mortar[3] = {190, 184, 170};
  for (int y = 0; y < 128; ++y) {
    int course = y / 16;
    for (int x = 0; x < 128; ++x) {
      int sx = (x + (course % 2) * 16) % 128;
      int id = sx / 32;
      if (y % 16 < 2 || sx % 32 < 2) {
        SetShaded(p, x, y, mortar, 0.9f + 0.1f * Random01(x, y, 51));
      } else {
        float tone = 0.8f + 0.35f * Random01(id, course, 53);
        SetShaded(p, x, y, brick, tone * (0.9f + 0.15f * Noise(static_cast<float>(x), static_cast<float>(y), 4, 32, 55)));
      }
    }
  }
  return p;
}

// A white frame with a cross bar; sky and a few clouds behind the panes.
Picture Window() {
  Picture p = MakePicture(64, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      bool frame = x < 4 || x > 59 || y < 4 || y > 59 || std::abs(x - 32) < 2 || std::abs(y - 32) < 2;
      if (frame) {
        Set(p, x, y, 236, 236, 230);
      } else {
        float cloud = std::max(0.0f, Fractal(static_cast<float>(x), static_cast<float>(y), 64, 16, 61) - 0.5f) * 2.0f;
        float sky = 1.0f - y / 128.0f;
        Set(p, x, y, 110 * sky + 140 * cloud, 160 * sky + 95 * cloud, 230 * sky + 25 * cloud);
      }
    }
  }
  return p;
}

// A wooden door with four sunk panels and a brass knob.
Picture Door() {
  Picture p = MakePicture(64, 128);
  const float wood[3] = {132, 84, 48}, brass[3] = {220, 180, 70};
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 64; ++x) {
      float grain = 0.85f + 0.25f * Noise(x * 4.0f, y * 0.5f, 8, 32, 71);
      bool inPanel = (x > 8 && x < 29) || (x > 35 && x < 56);
      bool panelRow = (y > 10 && y < 58) || (y > 70 && y < 118);
      float shade = grain * ((inPanel && panelRow) ? 0.78f : 1.0f);
      int kx = x - 52, ky = y - 64;
      if (kx * kx + ky * ky < 10) {
        SetShaded(p, x, y, brass, 1.0f - 0.05f * (kx + ky));
      } else {
        SetShaded(p, x, y, wood, shade);
      }
    }
  }
  return p;
}

// A warm glowing shade, brightest in the middle.
Picture Lamp() {
  Picture p = MakePicture(64, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      float d = std::sqrt((x - 31.5f) * (x - 31.5f) + (y - 31.5f) * (y - 31.5f)) / 45.0f;
      float glow = 1.0f - 0.45f * d;
      Set(p, x, y, 255 * glow, 236 * glow, 170 * glow);
    }
  }
  return p;
}

// Flames rising from the bottom of a sooty opening.
Picture Fire() {
  Picture p = MakePicture(64, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      float height = (63 - y) / 63.0f;  // 0 at the bottom
      float flame = Fractal(static_cast<float>(x), y * 0.5f, 64, 16, 81) * 1.3f - height;
      flame = std::max(0.0f, std::min(1.0f, flame * 2.2f));
      Set(p, x, y, 30 + 225 * flame, 18 + 180 * flame * flame, 10 + 40 * flame * flame * flame);
    }
  }
  return p;
}

// A blue-grey woven cloth for the sofa.
Picture Fabric() {
  Picture p = MakePicture(64, 64);
  const float base[3] = {82, 96, 124};
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      float weave = ((x / 2 + y / 2) % 2 == 0) ? 1.08f : 0.92f;
      SetShaded(p, x, y, base, weave * (0.92f + 0.12f * Random01(x, y, 91)));
    }
  }
  return p;
}

}  // namespace

Picture MakeRoomTexture(int number) {
  switch (number) {
    case TexFloor: return Floor();
    case TexWallpaper: return Wallpaper();
    case TexCeiling: return Ceiling();
    case TexRug: return Rug();
    case TexWood: return Wood();
    case TexBooks: return Books();
    case TexBrick: return Brick();
    case TexWindow: return Window();
    case TexDoor: return Door();
    case TexLamp: return Lamp();
    case TexFire: return Fire();
    default: return Fabric();
  }
}
