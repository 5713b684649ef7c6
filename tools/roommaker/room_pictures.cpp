// The room's pictures and their output through the asset makers' shared BMP writer.
#include "tools/roommaker/room_pictures.h"

#include "tools/common/bmp_writer.h"

Picture MakePicture(int width, int height) {
  Picture p;
  p.width = width;
  p.height = height;
  p.rgb.assign(static_cast<size_t>(width) * height * 3, 0);
  return p;
}

bool WriteBmp24(const char* path, const Picture& picture) {
  return WriteBmp24(path, picture.width, picture.height, picture.rgb);
}
