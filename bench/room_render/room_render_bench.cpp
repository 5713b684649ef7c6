// Frames per second of the shipped room at 640x348, immediate mode against one vertex array.
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/common/offscreen.h"
#include "core/app_state.h"
#include "console/settings.h"
#include "core/player_pose.h"
#include "scene/scene.h"
#include "scene/world.h"


// Walks the user round the room so every frame sees something else.
static void PoseForFrame(int frame) {
  Local.pose.yaw = Local.pose.heading = static_cast<float>(frame % 120) * 3.0f;
  Local.pose.x = 0.0f;
  Local.pose.z = 0.0f;
  Local.pose.pitch = 0.0f;
}

struct VertexArrays {
  std::vector<float> positions, texcoords;
  std::vector<int> runStart, runTexture;  // one draw per texture, triangles sorted by it
};

static VertexArrays BuildArrays() {
  VertexArrays a;
  std::vector<int> order(WorldGeometry.triangleCount);
  for (int i = 0; i < WorldGeometry.triangleCount; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [](int l, int r) {
    return WorldGeometry.triangles[l].texture < WorldGeometry.triangles[r].texture;
  });
  int last = -1;
  for (int i : order) {
    const WorldTriangle& t = WorldGeometry.triangles[i];
    if (t.texture != last) {
      a.runStart.push_back(static_cast<int>(a.positions.size() / 3));
      a.runTexture.push_back(t.texture);
      last = t.texture;
    }
    for (const WorldVertex& v : t.vertex) {
      a.positions.insert(a.positions.end(), {v.x, v.y, v.z});
      a.texcoords.insert(a.texcoords.end(), {v.u, v.v});
    }
  }
  a.runStart.push_back(static_cast<int>(a.positions.size() / 3));
  return a;
}

static void DrawArraysFrame(const VertexArrays& a) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  glRotatef(Local.pose.pitch, 1, 0, 0);
  glRotatef(360.0f - Local.pose.yaw, 0, 1, 0);
  glTranslatef(-Local.pose.x, -Local.pose.bob - 0.6f, -Local.pose.z);
  for (size_t r = 0; r + 1 < a.runStart.size(); ++r) {
    int texture = a.runTexture[r];
    glBindTexture(GL_TEXTURE_2D, texture < WorldTextures.count ? WorldTextures.names[texture] : 0);
    glDrawArrays(GL_TRIANGLES, a.runStart[r], a.runStart[r + 1] - a.runStart[r]);
  }
}

static double Seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

template <typename Draw>
static double FramesPerSecond(double seconds, Draw draw) {
  int frames = 0;
  double start = Seconds();
  while (Seconds() - start < seconds) {
    PoseForFrame(frames);
    draw();
    glFinish();
    ++frames;
  }
  return frames / (Seconds() - start);
}

int main(int argc, char** argv) {
  double seconds = 3.0;
  const char* snapshot = nullptr;
  float pose[4] = {0, 0, 0, 0};  // x z yaw pitch
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--snapshot") == 0 && i + 5 < argc) {
      snapshot = argv[++i];
      for (float& f : pose) f = static_cast<float>(std::atof(argv[++i]));
    } else {
      seconds = std::atof(argv[i]);
    }
  }
  Settings.channel[0] = '\0';
  Offscreen screen;
  if (!OpenOffscreen(&screen)) return 1;
  std::printf("room: %d triangles, %d textures, renderer %s\n", WorldGeometry.triangleCount,
              WorldTextures.count, reinterpret_cast<const char*>(glGetString(GL_RENDERER)));

  if (snapshot) {
    Local.pose.x = pose[0];
    Local.pose.z = pose[1];
    Local.pose.yaw = Local.pose.heading = pose[2];
    Local.pose.pitch = pose[3];
    RenderFrame();
    bool ok = WriteOffscreenPpm(screen, snapshot);
    std::printf("snapshot %s: %s\n", snapshot, ok ? "written" : "failed");
    return ok ? 0 : 1;
  }

  VertexArrays arrays = BuildArrays();
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, arrays.positions.data());
  glTexCoordPointer(2, GL_FLOAT, 0, arrays.texcoords.data());
  glColor3f(1, 1, 1);

  double immediate = FramesPerSecond(seconds, [] { RenderFrame(); });
  glColor3f(1, 1, 1);
  double vertexArray = FramesPerSecond(seconds, [&] { DrawArraysFrame(arrays); });
  std::printf("RenderFrame (one bind and begin/end per triangle): %.1f fps\n", immediate);
  std::printf("one vertex array (%zu draws, sorted by texture):    %.1f fps\n", arrays.runTexture.size(),
              vertexArray);
  std::printf("ratio immediate / vertex array: %.2f\n", immediate / vertexArray);

  CloseOffscreen(&screen);
  return 0;
}
