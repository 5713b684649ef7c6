// The main window's size and place on the screen as the user left it, kept for the next start.
#pragma once

constexpr const char* kWindowPlaceFile = "window-place.txt";

// A windowed main window: its client area's size, and where on the screen it goes when placed
// (else the window manager chooses).
struct WindowPlace {
  int width, height;
  int x, y;
  bool placed;
};
// 640 x 480, placed by the window manager: the first start's window.
constexpr WindowPlace kFirstWindowPlace = {640, 480, 0, 0, false};
// The sizes a kept window may have (a smaller or larger one is not taken back).
constexpr int kLeastWindowSide = 160, kMostWindowSide = 16384;

// "width height x y" as the file holds it (one line; blanks and a line end around the numbers
// allowed): true and place filled for four whole numbers with both sides in range and the
// place within kMostWindowSide of the screen's corner; false, place untouched, for anything else.
bool ReadWindowPlace(const char* text, WindowPlace* place);
// The place remembered in the user's configuration folder; kFirstWindowPlace without one.
WindowPlace LoadWindowPlace();
// Writes the place whole (beside the file, synced, renamed over it); false when it could not.
bool SaveWindowPlace(const WindowPlace& place);
