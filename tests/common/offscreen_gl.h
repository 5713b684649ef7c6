// An off-screen OpenGL context for rendering tests: OSMesa draws into memory, no display needed.
#pragma once
#include <GL/osmesa.h>

#include <vector>

class OffscreenGl {
 public:
  // RGBA colour with a 16-bit depth buffer, current on the calling thread.
  bool Open(int width, int height) {
    width_ = width;
    height_ = height;
    pixels_.assign(static_cast<std::size_t>(width) * height * 4, 0);
    context_ = OSMesaCreateContextExt(OSMESA_RGBA, 16, 0, 0, nullptr);
    return context_ && OSMesaMakeCurrent(context_, pixels_.data(), GL_UNSIGNED_BYTE, width, height);
  }
  ~OffscreenGl() {
    if (!context_) return;
    OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
    OSMesaDestroyContext(context_);
  }
  // Red, green, blue, alpha of the pixel x from the left, y from the bottom.
  const unsigned char* Pixel(int x, int y) const {
    return pixels_.data() + (static_cast<std::size_t>(y) * width_ + x) * 4;
  }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  OSMesaContext context_ = nullptr;
  std::vector<unsigned char> pixels_;
  int width_ = 0;
  int height_ = 0;
};
