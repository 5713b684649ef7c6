// The view frustum from the current matrices, and the sphere test the frame uses to skip peers.
#include "scene/view_frustum.h"

#include <GL/gl.h>

#include <cmath>

void TakeViewFrustum(ViewFrustum* frustum) {
  float p[16], m[16], c[16];  // column-major, as OpenGL keeps them
  glGetFloatv(GL_PROJECTION_MATRIX, p);
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  for (int col = 0; col < 4; ++col)
    for (int row = 0; row < 4; ++row) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += p[k * 4 + row] * m[col * 4 + k];
      c[col * 4 + row] = sum;
    }
  // Each plane is the last row of the clip matrix plus or minus one of the others.
  for (int i = 0; i < 6; ++i) {
    int row = i / 2;
    float sign = (i % 2 == 0) ? 1.0f : -1.0f;
    float* q = frustum->plane[i];
    for (int col = 0; col < 4; ++col) q[col] = c[col * 4 + 3] + sign * c[col * 4 + row];
    float length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
    if (length > 0.0f)
      for (int k = 0; k < 4; ++k) q[k] /= length;
  }
}

bool SphereInView(const ViewFrustum& frustum, float x, float y, float z, float radius) {
  for (const float* q : frustum.plane) {
    if (q[0] * x + q[1] * y + q[2] * z + q[3] < -radius) return false;
  }
  return true;
}
