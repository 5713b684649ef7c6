// The program's icon as pixels: our own 32x32, 16-colour speech bubble above a room's floor.
#include "platform/app_icon_pixels.h"

namespace {

// The sixteen colours of the classic 16-colour palette, indexed by hex digit.
const unsigned char kPalette[16][3] = {
    {0, 0, 0},       {0, 0, 128},     {0, 128, 0},   {0, 128, 128},
    {128, 0, 0},     {128, 0, 128},   {128, 128, 0}, {192, 192, 192},
    {128, 128, 128}, {0, 0, 255},     {0, 255, 0},   {0, 255, 255},
    {255, 0, 0},     {255, 0, 255},   {255, 255, 0}, {255, 255, 255},
};

// One hex digit per pixel, top row first.
const char* const kRows[kAppIconSize] = {
    "11111111111111111111111111111111",
    "11111177777777777777777777111111",
    "111117FFFFFFFFFFFFFFFFFFFF711111",
    "11117FFFFFFFFFFFFFFFFFFFFFF71111",
    "11117FFFFFFFF9FFF9FFFFFFFFF71111",
    "11117FFFFFFFF9FFF9FFFFFFFFF71111",
    "11117FFFFFF9999999999FFFFFF71111",
    "11117FFFFFFFF9FFF9FFFFFFFFF71111",
    "11117FFFFFFFF9FFF9FFFFFFFFF71111",
    "11117FFFFFF9999999999FFFFFF71111",
    "11117FFFFFFFF9FFF9FFFFFFFFF71111",
    "11117FFFFFFFF9FFF9FFFFFFFFF71111",
    "11117FFFFFFFFFFFFFFFFFFFFFF71111",
    "111117FFFFFFFFFFFFFFFFFFFF711111",
    "111111777FFF77777777777777111111",
    "111111111FF711111111111111111111",
    "111111111F7111111111111111111111",
    "3333333337333333B333333333333333",
    "0000000000000BBBBBBB000000000000",
    "3333333333B3B3B3B3B3B3B333333333",
    "0000000B00B00B00B00B00EE0B000000",
    "0000B000B000B000B000B0EEB000B000",
    "3B3333B3333B3333B3333CCCC3B3333B",
    "0000B00000B00000B0000CCCC000B000",
    "00B000000B000000B0000CCCC00000B0",
    "B0000000B0000000B0000CCCC0000000",
    "3333333B33333333B33333443B333333",
    "000000B000000000B000004400B00000",
    "00000B0000000000B0000000000B0000",
    "0000B00000000000B00000000000B000",
    "000B000000000000B000000000000B00",
    "33B3333333333333B3333333333333B3",
};

int PaletteIndex(char digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
  return 0;
}

}  // namespace

void AppIconPixel(int x, int y, unsigned char rgb[3]) {
  bool inside = x >= 0 && x < kAppIconSize && y >= 0 && y < kAppIconSize;
  const unsigned char* colour = kPalette[inside ? PaletteIndex(kRows[y][x]) : 0];
  rgb[0] = colour[0];
  rgb[1] = colour[1];
  rgb[2] = colour[2];
}
