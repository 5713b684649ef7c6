// Fuzz target: a bitmap file's bytes through the decoder every texture is read with.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "model/bitmap_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RgbImage* image = nullptr;
  if (DecodeBitmap(data, size, &image) != BitmapOk) return 0;
  // Read the last pixel: the block must hold every one the record claims.
  std::size_t bytes = static_cast<std::size_t>(image->width) * static_cast<std::size_t>(image->height) * 3;
  if (image->width > 0 && image->height > 0) {
    volatile unsigned char last = image->pixels[bytes - 1];
    (void)last;
  }
  std::free(image->pixels);
  std::free(image);
  return 0;
}
