// Frames per second of a full room (199 avatars with labels and an explosion, all in view)
// beside the room alone, in one run, drawn offscreen at the window's 640x348.
#include <GL/gl.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/common/offscreen.h"
#include "core/app_state.h"
#include "core/player_pose.h"
#include "console/settings.h"
#include "scene/room_avatars.h"
#include "scene/scene.h"
#include "scene/world.h"


static double CpuSeconds() {
  return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

static double Seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The user stands near the back wall looking along -z; the members stand in rows before
// them, each row as wide as the view is at its distance, so every avatar is in view.
static void FillRoom(int members) {
  const WorldBoundsRecord& b = WorldBounds;
  static RoomView view;  // 60 KB: kept off the stack
  const uint32_t serial = view.serial + 1;
  std::memset(&view, 0, sizeof view);
  view.serial = serial;
  std::snprintf(view.channel, sizeof view.channel, "#crowd");
  LocalPose = PlayerPose{};
  LocalPose.z = b.maxZ - 0.5f;
  const int rows = 10;
  const int perRow = (members + rows - 1) / rows;
  const float nearest = 2.5f, farthest = LocalPose.z - (b.minZ + 0.5f);
  int slot = 1;
  for (int r = 0; r < rows && slot <= members; ++r) {
    float distance = nearest + (farthest - nearest) * static_cast<float>(r) / (rows - 1);
    float halfWidth = distance * 0.45f;  // the view's half width at that distance is 0.56
    for (int i = 0; i < perRow && slot <= members; ++i, ++slot) {
      RoomMember& s = view.members[view.count++];
      s.id = slot;
      s.reach = ReachDirect;  // drawn once it hears us
      s.poseSerial = serial;
      std::snprintf(s.nick, sizeof s.nick, "member%03d", slot);
      s.pose.x = -halfWidth + 2.0f * halfWidth * (perRow > 1 ? static_cast<float>(i) / (perRow - 1) : 0.5f);
      s.pose.z = LocalPose.z - distance;
      s.pose.yaw = s.pose.heading = static_cast<float>(slot * 37 % 360);
    }
  }
  TakeRoomView(view);
}

struct Rate {
  int frames = 0;
  double seconds = 0;
  double cpuSeconds = 0;
  double Fps() const { return frames / seconds; }
  double CpuMs() const { return 1000 * cpuSeconds / frames; }
};

// Draws frames for the given time into the rate; the labels spin and pulse with the clock,
// and in the full room an explosion goes off every second.
static void DrawFor(double seconds, bool explosions, Rate* rate) {
  static double lastBang = -10;
  double start = Seconds(), cpu = CpuSeconds();
  while (Seconds() - start < seconds) {
    if (explosions && Seconds() - lastBang >= 1.0) {
      SpawnExplosion(0.0f, 0.5f, LocalPose.z - 4.0f);
      lastBang = Seconds();
    }
    AppState.frameScale = 1.6f;  // 60 frames a second in units of 10 ms
    AppState.sceneClock += AppState.frameScale;
    RenderFrame();
    glFinish();
    ++rate->frames;
  }
  rate->seconds += Seconds() - start;
  rate->cpuSeconds += CpuSeconds() - cpu;
}

int main(int argc, char** argv) {
  const char* snapshot = nullptr;
  std::vector<const char*> numbers;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--snapshot") == 0 && i + 1 < argc)
      snapshot = argv[++i];
    else
      numbers.push_back(argv[i]);
  }
  double seconds = numbers.size() > 0 ? std::atof(numbers[0]) : 6.0;
  int members = numbers.size() > 1 ? std::atoi(numbers[1]) : kRoomMembers;
  if (members < 0 || members > kRoomMembers || !(seconds > 0)) {
    std::fprintf(stderr, "usage: qivra_crowd_bench [SECONDS [MEMBERS]] [--snapshot FILE.ppm]  (members 0..%d)\n",
                 kRoomMembers);
    return 2;
  }
  Offscreen screen;
  if (!OpenOffscreen(&screen)) return 1;
  std::printf("renderer %s, %dx%d, %d room triangles\n",
              reinterpret_cast<const char*>(glGetString(GL_RENDERER)), kBenchWidth, kBenchHeight,
              WorldGeometry.triangleCount);

  if (snapshot) {  // one frame of the full room, to see what the benchmark draws
    FillRoom(members);
    SpawnExplosion(0.0f, 0.5f, LocalPose.z - 4.0f);
    for (int i = 0; i < 20; ++i) RenderFrame();
    bool ok = WriteOffscreenPpm(screen, snapshot);
    std::printf("snapshot %s: %s\n", snapshot, ok ? "written" : "failed");
    return ok ? 0 : 1;
  }

  // The two rooms take turns a quarter of a second at a time, so that a machine whose load
  // changes during the run changes both rates alike.
  Rate alone, full, warmUp;
  FillRoom(members);
  DrawFor(0.5, true, &warmUp);  // the renderer compiles its shaders on first use
  for (double spent = 0; spent < seconds; spent += 0.5) {
    FillRoom(0);
    DrawFor(0.25, false, &alone);
    FillRoom(members);
    DrawFor(0.25, true, &full);
  }
  std::printf("room alone:  %6.1f fps, %5.2f ms of processor time a frame\n", alone.Fps(), alone.CpuMs());
  std::printf("room with %d avatars, their labels and explosions: %6.1f fps, %5.2f ms a frame\n", members,
              full.Fps(), full.CpuMs());
  std::printf("ratio full / alone: %.2f\n", full.Fps() / alone.Fps());

  ClearRoomAvatars();
  CloseOffscreen(&screen);
  return 0;
}
