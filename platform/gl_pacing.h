// The view's pacing by the display through GLX extensions: the swap interval and the refresh rate.
#pragma once
#include <GL/glx.h>

// The refresh rate in Hz of the display the drawable is on; 0 when GLX cannot tell.
int GlxRefreshHz(Display* display, GLXDrawable drawable);
