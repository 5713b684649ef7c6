// Writes the room (world.txt) and its numbered textures (1.bmp, 2.bmp, ...) into a folder.
#include <cstdio>
#include <string>

#include "tools/roommaker/room_pictures.h"
#include "tools/roommaker/room_geometry.h"
#include "tools/roommaker/room_textures.h"

int main(int argc, char** argv) {
  std::string folder = argc > 1 ? argv[1] : "data";
  std::string world = MakeWorldText();
  std::string worldPath = folder + "/world.txt";
  FILE* file = std::fopen(worldPath.c_str(), "w");
  if (!file || std::fwrite(world.data(), 1, world.size(), file) != world.size()) {
    std::fprintf(stderr, "roommaker: cannot write %s\n", worldPath.c_str());
    if (file) std::fclose(file);
    return 1;
  }
  if (std::fclose(file) != 0) return 1;
  for (int n = 1; n <= kRoomTextureCount; ++n) {
    std::string path = folder + "/" + std::to_string(n) + ".bmp";
    if (!WriteBmp24(path.c_str(), MakeRoomTexture(n))) {
      std::fprintf(stderr, "roommaker: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  std::printf("roommaker: wrote %s and %d textures\n", worldPath.c_str(), kRoomTextureCount);
  return 0;
}
