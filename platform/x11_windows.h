// Finding a top-level window by its class and bringing it forward, and asking for attention (Xlib).
#pragma once

typedef struct _XDisplay Display;
typedef unsigned long Window;

// Searches the whole window tree (window managers reparent clients) for a window of that
// WM_CLASS name (the title changes with channel and nickname) on screen or minimised, not
// a withdrawn one; 0 when none.
Window FindWindowByClass(Display* display, const char* windowClass);
// Raises, de-iconifies and focuses the window through the window manager,
// or directly when no window manager runs.
void ActivateWindow(Display* display, Window window);
// True when the window (or a child of it) has the keyboard focus.
bool WindowHasFocus(Display* display, Window window);
// Sets or clears the urgency hint and the window manager's demands-attention state; a
// window manager clears the latter itself when the window gets the focus.
void SetUrgency(Display* display, Window window, bool urgent);
// Asks the window manager to put the window's client area (not its frame) at (x, y) when it
// maps the window, so a window made again opens where the last one was.
void KeepClientPlace(Display* display, Window window, int x, int y);
