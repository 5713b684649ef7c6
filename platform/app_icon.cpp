// Icon 101: the program's own 32x32 picture as an FLTK image for the window and the dialog.
#include "platform/app_icon.h"

#include <FL/Fl_RGB_Image.H>

#include "platform/app_icon_pixels.h"

namespace {

unsigned char iconPixels[kAppIconSize * kAppIconSize * 3];

}  // namespace

const Fl_RGB_Image* AppIconImage() {
  static Fl_RGB_Image* image = nullptr;
  if (!image) {
    for (int y = 0; y < kAppIconSize; ++y)
      for (int x = 0; x < kAppIconSize; ++x) AppIconPixel(x, y, iconPixels + (y * kAppIconSize + x) * 3);
    image = new Fl_RGB_Image(iconPixels, kAppIconSize, kAppIconSize, 3);
  }
  return image;
}
