// Icon 101: our own 32x32, 16-colour picture of a speech bubble above a room's floor.
#include "platform/app_icon.h"

#include <FL/Fl_RGB_Image.H>

namespace {

constexpr int kIconSize = 32;

// The sixteen colours of the classic 16-colour palette, indexed by hex digit.
const unsigned char kPalette[16][3] = {
    {0, 0, 0},       {0, 0, 128},     {0, 128, 0},   {0, 128, 128},
    {128, 0, 0},     {128, 0, 128},   {128, 128, 0}, {192, 192, 192},
    {128, 128, 128}, {0, 0, 255},     {0, 255, 0},   {0, 255, 255},
    {255, 0, 0},     {255, 0, 255},   {255, 255, 0}, {255, 255, 255},
};

// One hex digit per pixel, top row first.
const char* const kRows[kIconSize] = {
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

unsigned char iconPixels[kIconSize * kIconSize * 3];

}  // namespace

const Fl_RGB_Image* AppIconImage() {
  static Fl_RGB_Image* image = nullptr;
  if (!image) {
    for (int y = 0; y < kIconSize; ++y)
      for (int x = 0; x < kIconSize; ++x) {
        const unsigned char* colour = kPalette[PaletteIndex(kRows[y][x])];
        unsigned char* pixel = iconPixels + (y * kIconSize + x) * 3;
        pixel[0] = colour[0];
        pixel[1] = colour[1];
        pixel[2] = colour[2];
      }
    image = new Fl_RGB_Image(iconPixels, kIconSize, kIconSize, 3);
  }
  return image;
}
