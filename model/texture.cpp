// CTexture: one mipmapped OpenGL texture made from a bitmap file; the error reporter.
#include "model/texture.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>
#include <cstdlib>

#include "platform/data_path.h"
#include "platform/message_box.h"

static const unsigned int kNoTexture = 0xFFFFFFFFu;

void ReportError(const char* text, const char* caption) {
  ShowMessageBox(text, caption, BoxIconNone, BoxOk);
}

// Uploads packed RGB rows (no padding between rows) as a mipmap chain.
void UploadRgbMipmaps(const RgbImage* image) {
  GLint alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);  // rows are packed; the default 4 would skew them
  gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image->width, image->height, GL_RGB, GL_UNSIGNED_BYTE,
                    image->pixels);
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

CTexture::CTexture() : width(0), height(0), textureName(kNoTexture) {}

CTexture::~CTexture() {
  width = 0;
  height = 0;
  if (textureName != kNoTexture) {
    GLuint name = textureName;
    glDeleteTextures(1, &name);
    textureName = kNoTexture;
  }
}

bool CTexture::LoadFromFile(const char* filename) {
  if (!filename) {
    ReportError("No filename specified", "CTexture::LoadFromFile");
    return false;
  }
  FILE* probe = OpenDataFile(filename, "rb");
  if (!probe) {
    ReportError("Couldn't open file", "CTexture::LoadFromFile");
    ReportError(filename, "*");
    return false;
  }
  std::fclose(probe);
  RgbImage* image = LoadBitmapImage(filename);
  if (!image) {
    ReportError("Couldn't load file", "CTexture::LoadFromFile");
    return false;
  }
  GLuint name = 0;
  glGenTextures(1, &name);
  textureName = name;
  Activate();
  UploadRgbMipmaps(image);
  width = image->width;
  height = image->height;
  std::free(image->pixels);
  std::free(image);
  return SetFilters(GL_LINEAR, GL_LINEAR);
}

bool CTexture::Activate() {
  if (textureName == kNoTexture) {
    ReportError("Can't activate invalid texture", "CTexture::Activate");
    return false;
  }
  glBindTexture(GL_TEXTURE_2D, textureName);
  return true;
}

bool CTexture::SetFilters(int minFilter, int magFilter) {
  if (textureName == kNoTexture) {
    ReportError("Can't set invalid texture's filters", "CTexture::SetFilters");
    return false;
  }
  Activate();
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
  return true;
}
