// What the current view can see: the six planes of its frustum, to skip what lies outside.
#pragma once

struct ViewFrustum {
  float plane[6][4];  // a, b, c, d with a unit normal pointing inwards: a x + b y + c z + d
};

// The frustum of the projection and model-view matrices current now (world coordinates
// when the model-view matrix holds only the viewing transform).
void TakeViewFrustum(ViewFrustum* frustum);
// True when a sphere at (x, y, z) with the given radius reaches into the frustum.
bool SphereInView(const ViewFrustum& frustum, float x, float y, float z, float radius);
