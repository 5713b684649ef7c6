// X errors and the X server's loss, inside platform: handlers, and the windows known closed.
#pragma once

class Fl_Window;

// Installs the handlers for X errors and for the loss of the X connection, and the filter
// that keeps FLTK from acting on the unmapping of a window already destroyed. Once, after
// the display is open.
void WatchDisplay();
// Called before a window is closed (hidden or deleted): a late BadWindow about it or one of
// its subwindows is then logged, not fatal.
void NoteWindowsClosing(Fl_Window* window);
