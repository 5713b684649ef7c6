// For widgets of platform/ in files of their own: a child window added to the main window.
#pragma once

class Fl_Window;
struct PlatformWindow;

// The child goes over the view (a window of its own, so it stacks above the GL view) and is
// deleted with the main window; false when there is no window.
bool AddTopWindowChild(PlatformWindow* window, Fl_Window* child);
