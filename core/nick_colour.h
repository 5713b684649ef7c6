// The stable colour of a nickname: the same in the console and on the member's label in the room.
#pragma once

struct NickRgb {
  unsigned char r, g, b;
};

// The colour of nick, compared without case (IRC's rules: "Alice" and "alice" are one member).
// Always readable on the console's dark background and on the room's walls.
NickRgb NickColour(const char* nick);

// The palette NickColour picks from, for tests that check it reads everywhere.
int NickPaletteSize();
NickRgb NickPaletteColour(int index);  // index taken modulo the size
