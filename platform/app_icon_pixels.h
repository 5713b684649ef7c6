// The program's icon as plain pixels, for the window (FLTK) and for the icon files an install carries.
#pragma once

constexpr int kAppIconSize = 32;

// The red, green and blue of pixel (x, y), the top row first; black outside the picture.
void AppIconPixel(int x, int y, unsigned char rgb[3]);
