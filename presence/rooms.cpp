// The rooms' names, found by the nickname rule.
#include "presence/rooms.h"

#include <cstring>

#include "core/irc_case.h"

int8_t RoomTable::Find(const char* name) const {
  if (!name || !*name) return kNoRoom;
  for (int8_t i = 0; i < kMaxRooms; ++i)
    if (names[i][0] && SameIrcName(names[i], name)) return i;
  return kNoRoom;
}

int8_t RoomTable::Add(const char* name) {
  if (!name || !*name) return kNoRoom;
  int8_t found = Find(name);
  if (found != kNoRoom) return found;
  for (int8_t i = 0; i < kMaxRooms; ++i) {
    if (names[i][0]) continue;
    std::size_t n = strnlen(name, kRoomNameLength - 1);
    std::memcpy(names[i], name, n);
    names[i][n] = '\0';
    return i;
  }
  return kNoRoom;
}

void RoomTable::Remove(int8_t room) {
  if (room < 0 || room >= kMaxRooms) return;
  names[room][0] = '\0';
  if (standing == room) standing = kNoRoom;
}

void RoomTable::Clear() {
  std::memset(names, 0, sizeof names);
  standing = kNoRoom;
}

const char* RoomTable::Name(int8_t room) const {
  return room >= 0 && room < kMaxRooms ? names[room] : "";
}
