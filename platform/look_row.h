// The connection dialog's row of looks: a small picture of each, one of them chosen.
#pragma once

constexpr int kLookRowChoices = 16;
constexpr int kLookPictureWidth = 16, kLookPictureHeight = 32;

struct LookChoice {
  const char* name;  // shown as the picture's tooltip, and what ChosenLook gives back
  // kLookPictureWidth x kLookPictureHeight pixels of r, g, b, rows top-down; null: a "?"
  const unsigned char* rgb;
};

// The row's height in pixels, and the row itself put at (x, y), w wide, into the window being
// built (the connection dialog's).
int LookRowHeight();
void AddLookRow(int x, int y, int w);
// The looks offered (copied; at most kLookRowChoices), the one of that name chosen (compared
// without case; an unknown name chooses the first), and the name chosen now.
void OfferLooks(const LookChoice* choices, int count, const char* chosen);
const char* ChosenLook();
