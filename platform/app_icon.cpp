// Icon 101: the program's own 32x32 picture as an FLTK image for the window and the dialog.
#include "platform/app_icon.h"

#include <FL/Fl_RGB_Image.H>

#include "platform/app_icon_pixels.h"

namespace {

// The icon, made at its first use on the window's thread; the image shows the pixels kept here.
struct AppIconRecord {
  unsigned char pixels[kAppIconSize * kAppIconSize * 3];
  Fl_RGB_Image* image;
};
AppIconRecord Icon;

}  // namespace

const Fl_RGB_Image* AppIconImage() {
  if (!Icon.image) {
    for (int y = 0; y < kAppIconSize; ++y)
      for (int x = 0; x < kAppIconSize; ++x) AppIconPixel(x, y, Icon.pixels + (y * kAppIconSize + x) * 3);
    Icon.image = new Fl_RGB_Image(Icon.pixels, kAppIconSize, kAppIconSize, 3);
  }
  return Icon.image;
}
