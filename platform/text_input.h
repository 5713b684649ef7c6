// An FLTK input field whose text, cursor and selection are drawn with Pango, so every script shows.
#pragma once
#include <FL/Fl_Input.H>

// Editing stays FLTK's; drawing and placing the cursor with the mouse use Pango's measures,
// which are the ones the text is drawn with.
class TextInput : public Fl_Input {
 public:
  TextInput(int x, int y, int w, int h) : Fl_Input(x, y, w, h) {}
  void draw() override;
  int handle(int event) override;
  // Left-button presses, drags and releases: the cursor and selection under the mouse.
  int HandleMouse(int event);
  // Pixels at the left inside the box that the text leaves free (for a tag drawn there).
  void SetTextInset(int pixels) { textInset = pixels > 0 ? pixels : 0; }

 private:
  int textInset = 0;
  int scrollX = 0;  // pixels of the text hidden at the left to keep the cursor in view
};
