// What the frame has drawn so far hides: its depth buffer read back into blocks of their
// farthest depth, so that parts of avatars lying wholly behind it are never sent to be drawn.
#pragma once

// Forgets the last frame's cover (nothing is hidden until the next read).
void ForgetDepthCover();
// Waits for what was drawn and reads the viewport's depth buffer; false (nothing hidden)
// when it cannot be had.
bool ReadDepthCover();
bool DepthCoverReady();
// Whether everything a shape could draw lies behind what was read: its window box (pixels
// from the viewport's lower left corner, as the projection gives them) and its nearest
// window depth (0 near .. 1 far, the default depth range). A box off the view is hidden.
bool BoxHidden(float left, float bottom, float right, float top, float nearest);
// The same for a triangle, from its corners on the window (x, y as above, window depth):
// every pixel it covers lies behind what was read.
bool TriangleHidden(const float a[3], const float b[3], const float c[3]);
void FreeDepthCover();
