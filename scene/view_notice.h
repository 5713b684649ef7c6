// A line of text over the 3D view, such as "Press Escape again to leave #room".
#pragma once

// The notice the view shows from the next frame on; null or "" shows none. At most 127 bytes
// are kept.
void SetViewNotice(const char* text);
const char* ViewNotice();
// Draws the notice, if any, over what the frame has drawn: the font's white letters on a dark
// band across the upper part of the view, as wide as the view allows. Leaves the GL state as
// it found it.
void DrawViewNotice();
