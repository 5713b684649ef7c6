// Decodes a Windows bitmap (BMP) held in memory into packed, bottom-up RGB rows.
#pragma once
#include <cstddef>

#include "model/texture.h"

enum BitmapResult {
  BitmapOk = 0,
  BitmapUnknownFormat,    // "Unknown DIB file format."
  BitmapConversionError,  // "Image file conversion error."
  BitmapOutOfMemory,      // "Out of memory."
};

// The text of the "Error" box for a failed decode (empty for BitmapOk).
const char* BitmapResultText(BitmapResult result);

// Largest side and pixel count a picture may have; larger ones are refused
// before anything is allocated (a tiny RLE file can claim a gigantic picture).
constexpr long kMaxBitmapSide = 32767;
constexpr long long kMaxBitmapPixels = 1LL << 26;

// Accepts an optional 14-byte file header, then a 12-byte core or 40-byte
// information header; 1, 4, 8, 16, 24 and 32 bits per pixel, RLE8, RLE4 and
// bit-field masks, bottom-up or top-down rows. Reads nothing outside
// data[0..size). On success *image holds a malloc'd record and pixel block.
BitmapResult DecodeBitmap(const unsigned char* data, std::size_t size, RgbImage** image);
