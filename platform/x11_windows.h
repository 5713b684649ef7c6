// Finding a top-level window by its title and bringing it forward (Xlib).
#pragma once

typedef struct _XDisplay Display;
typedef unsigned long Window;

// Searches the whole window tree (window managers reparent clients) for a window
// on screen or minimised, not a withdrawn one; 0 when none.
Window FindWindowByTitle(Display* display, const char* title);
// Raises, de-iconifies and focuses the window through the window manager,
// or directly when no window manager runs.
void ActivateWindow(Display* display, Window window);
// True when the window (or a child of it) has the keyboard focus.
bool WindowHasFocus(Display* display, Window window);
