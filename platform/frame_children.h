// What other platform files need of the top-level window to put child windows of their own over the view.
#pragma once

class Fl_Window;
struct PlatformWindow;

// The window's frame, which holds the view and the children over it; null for none.
Fl_Window* TopFrame(PlatformWindow* window);
