// Nickname colours: a hash of the lower-cased name picks one of a fixed set of readable colours.
#include "core/nick_colour.h"

#include <cstdint>

#include "core/irc_case.h"

namespace {

// 24 colours picked apart from each other (CIEDE2000 12 or more between any two), from the
// room's green wallpaper, plank floor and ceiling tiles (20 or more), and bright enough for the
// console's dark grey (a contrast of 6:1 or more). tests/core/nick_colour_test.cpp holds them to it.
const NickRgb kPalette[] = {
    {255, 90, 255},  {0, 255, 0},     {240, 135, 0},   {0, 195, 255},   {255, 225, 0},   {255, 180, 180},
    {180, 255, 240}, {195, 195, 255}, {225, 255, 180}, {0, 180, 180},   {180, 165, 60},  {255, 180, 240},
    {0, 225, 165},   {255, 195, 120}, {135, 195, 0},   {255, 120, 165}, {105, 165, 255}, {255, 120, 105},
    {210, 255, 0},   {0, 240, 255},   {255, 165, 120}, {195, 150, 180}, {195, 150, 240}, {210, 210, 120},
};
constexpr uint32_t kPaletteSize = sizeof kPalette / sizeof kPalette[0];

}  // namespace

NickRgb NickColour(const char* nick) {
  uint32_t hash = 2166136261u;  // FNV-1a
  for (const char* c = nick ? nick : ""; *c; ++c) {
    hash ^= static_cast<unsigned char>(IrcLowerCase(*c));
    hash *= 16777619u;
  }
  return kPalette[hash % kPaletteSize];
}

int NickPaletteSize() { return static_cast<int>(kPaletteSize); }

NickRgb NickPaletteColour(int index) {
  const int size = static_cast<int>(kPaletteSize);
  return kPalette[((index % size) + size) % size];
}
