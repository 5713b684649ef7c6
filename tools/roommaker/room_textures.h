// The room's procedural textures, numbered as world.txt names them.
#pragma once
#include "tools/roommaker/room_pictures.h"

enum RoomTexture {
  TexFloor = 1,
  TexWallpaper,
  TexCeiling,
  TexRug,
  TexWood,
  TexBooks,
  TexBrick,
  TexWindow,
  TexDoor,
  TexLamp,
  TexFire,
  TexFabric,
  kRoomTextureCount = TexFabric,
};

// The picture of texture number n (1..kRoomTextureCount); the same every run.
Picture MakeRoomTexture(int number);
