// One OpenGL 2D texture made from a bitmap file, the bitmap reader and the error reporter.
#pragma once

struct RgbImage {
  int width;
  int height;
  unsigned char* pixels;  // width * height * 3 bytes, red green blue, bottom row first
};

// Reads a BMP file; nothing (null) on failure after an "Error" box. The record
// and its pixels come from malloc and are released by the receiver with free.
RgbImage* LoadBitmapImage(const char* path);

// A modal box with no owner window and only an OK button.
void ReportError(const char* text, const char* caption);

// Builds the mipmap chain of the bound GL_TEXTURE_2D from an image's packed rows.
void UploadRgbMipmaps(const RgbImage* image);

class CTexture {
 public:
  CTexture();
  ~CTexture();
  bool LoadFromFile(const char* filename);
  bool Activate();
  bool SetFilters(int minFilter, int magFilter);

  int width;
  int height;
  unsigned int textureName;  // all bits set: no texture
};
