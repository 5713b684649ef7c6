// The rooms the client is in: one per joined channel, by name, and the one the user stands in.
// Positions name the room they belong to, so members who share several see each other where
// each stands.
#pragma once
#include <cstdint>

constexpr int kMaxRooms = 16;           // channels joined at once
constexpr int kRoomNameLength = 128;    // a channel name, terminating zero included
constexpr int8_t kNoRoom = -1;

struct RoomTable {
  char names[kMaxRooms][kRoomNameLength];  // "" : a free place
  int8_t standing = kNoRoom;               // where the user stands

  // The room's index (names compared by the nickname rule), or kNoRoom.
  int8_t Find(const char* name) const;
  // The room's index, entering it when it is new; kNoRoom when every place is taken.
  int8_t Add(const char* name);
  void Remove(int8_t room);
  void Clear();
  const char* Name(int8_t room) const;  // "" for kNoRoom and free places
};

inline uint32_t RoomBit(int8_t room) { return room >= 0 && room < kMaxRooms ? 1u << room : 0u; }
