// Nickname colours: a hash of the lower-cased name picks one of a fixed set of readable colours.
#include "core/nick_colour.h"

#include <cstdint>

#include "core/irc_case.h"

namespace {

// Bright, distinct hues that read on dark grey and on the room's textures alike.
const NickRgb kPalette[] = {
    {255, 110, 110}, {255, 170, 60},  {240, 230, 80},  {140, 230, 90},  {80, 220, 170},
    {90, 210, 255},  {130, 150, 255}, {200, 130, 255}, {255, 120, 220}, {230, 190, 140},
    {170, 240, 200}, {255, 200, 170},
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
