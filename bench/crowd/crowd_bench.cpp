// Frames per second of a full room beside the room alone, in one run, drawn offscreen at the
// window's 640x348, in two layouts: "spread", 199 members standing in rows from 2.5 units to the
// far wall (all far enough for pictures), and "close", all 199 crowded just before the eye (every
// one drawn whole);
// both with their name tags, 20 speech bubbles and an explosion a second.
#include <GL/gl.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "bench/common/offscreen.h"
#include "core/app_state.h"
#include "core/looks.h"
#include "core/player_pose.h"
#include "scene/room_avatars.h"
#include "scene/scene.h"
#include "scene/speech.h"
#include "scene/world.h"

static double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

static double Seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The bubbles stay up: the benchmark's clock stands still.
static uint32_t StandingClock() { return 1000; }

enum Layout { Alone, Spread, Close };

// The lines the first 20 members say: short and long, Latin, CJK and emoji, an action.
static const char* const kLines[] = {
    "hello everyone",
    "has anyone seen the new channel topic? it changed again this morning and nobody knows why",
    "你好，大家好！",
    "brb",
    "lol 😂😂",
    "the fireplace looks great from over here",
    "こんにちは、元気ですか",
    "waves",
    "ok",
    "I think the meeting moved to Thursday, but let me check the calendar first before we decide anything",
};

static void Place(RoomMember& s, int slot, uint32_t serial, float x, float z) {
  s.id = slot;
  s.reach = ReachDirect;  // drawn once it hears us
  s.poseSerial = serial;
  std::snprintf(s.nick, sizeof s.nick, "member%03d", slot);
  s.status = slot % 17 == 0 ? '@' : (slot % 11 == 0 ? '+' : 0);
  s.away = slot % 13 == 0;
  s.look = static_cast<uint8_t>(slot % (kLookCount + 1));
  s.pose.x = x;
  s.pose.z = z;
  s.pose.yaw = s.pose.heading = static_cast<float>(slot * 37 % 360);
}

// The user stands near the back wall looking along -z. Spread: the members stand in rows before
// them, each row as wide as the view is at its distance. Close: in rows from 0.8 to 1.5 units
// ahead, nearer than any picture is used, overlapping as a crowd does.
static void FillRoom(Layout layout, int members) {
  const WorldBoundsRecord& b = WorldBounds;
  static RoomView view;  // 60 KB: kept off the stack
  const uint32_t serial = view.serial + 1;
  std::memset(&view, 0, sizeof view);
  view.serial = serial;
  std::snprintf(view.channel, sizeof view.channel, "#crowd");
  Local.pose = PlayerPose{};
  Local.pose.z = b.maxZ - 0.5f;
  if (layout == Alone) members = 0;
  const int rows = 10;
  const int perRow = (members + rows - 1) / rows;
  const float nearest = layout == Spread ? 2.5f : 0.8f;
  const float farthest = layout == Spread ? Local.pose.z - (b.minZ + 0.5f) : 1.5f;
  int slot = 1;
  for (int r = 0; r < rows && slot <= members; ++r) {
    float distance = nearest + (farthest - nearest) * static_cast<float>(r) / (rows - 1);
    float halfWidth = distance * 0.45f;  // the view's half width at that distance is 0.56
    for (int i = 0; i < perRow && slot <= members; ++i, ++slot) {
      const float across = perRow > 1 ? static_cast<float>(i) / (perRow - 1) : 0.5f;
      Place(view.members[view.count++], slot, serial, -halfWidth + 2.0f * halfWidth * across, Local.pose.z - distance);
    }
  }
  TakeRoomView(view);
  ClearSpeech();
  // Every tenth member speaks: bubbles near and far.
  for (int k = 0; k < 20 && k * 10 + 1 <= members; ++k) {
    char nick[16];
    std::snprintf(nick, sizeof nick, "member%03d", k * 10 + 1);
    ShowSpeech(nick, kLines[k % 10], k % 10 == 7, StandingClock());
  }
}

struct Rate {
  int frames = 0;
  double seconds = 0;
  double cpuSeconds = 0;
  double Fps() const { return frames / seconds; }
  double CpuMs() const { return 1000 * cpuSeconds / frames; }
};

// Draws frames for the given time into the rate; with members an explosion goes off every second.
static void DrawFor(double seconds, bool explosions, Rate* rate) {
  static double lastBang = -10;
  double start = Seconds(), cpu = CpuSeconds();
  while (Seconds() - start < seconds) {
    if (explosions && Seconds() - lastBang >= 1.0) {
      SpawnExplosion(0.0f, 0.5f, Local.pose.z - 4.0f);
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

static bool Snapshot(const Offscreen& screen, Layout layout, int members, const char* path) {
  FillRoom(layout, members);
  SpawnExplosion(0.0f, 0.5f, Local.pose.z - 4.0f);
  for (int i = 0; i < 20; ++i) RenderFrame();
  bool ok = WriteOffscreenPpm(screen, path);
  std::printf("snapshot %s: %s\n", path, ok ? "written" : "failed");
  return ok;
}

int main(int argc, char** argv) {
  const char* snapshot = nullptr;
  const char* closeSnapshot = nullptr;
  const char* only = nullptr;  // one layout alone, for a profiler
  std::vector<const char*> numbers;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--snapshot") == 0 && i + 1 < argc)
      snapshot = argv[++i];
    else if (std::strcmp(argv[i], "--close-snapshot") == 0 && i + 1 < argc)
      closeSnapshot = argv[++i];
    else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc)
      only = argv[++i];
    else
      numbers.push_back(argv[i]);
  }
  double seconds = numbers.size() > 0 ? std::atof(numbers[0]) : 6.0;
  int members = numbers.size() > 1 ? std::atoi(numbers[1]) : kRoomMembers;
  if (members < 0 || members > kRoomMembers || !(seconds > 0)) {
    std::fprintf(stderr,
                 "usage: qivra_crowd_bench [SECONDS [MEMBERS]] [--snapshot FILE.ppm] [--close-snapshot FILE.ppm]"
                 " [--only alone|spread|close]"
                 "  (members 0..%d)\n",
                 kRoomMembers);
    return 2;
  }
  Offscreen screen;
  if (!OpenOffscreen(&screen)) return 1;
  SceneTimeMs = StandingClock;
  std::printf("renderer %s, %dx%d, %d room triangles\n",
              reinterpret_cast<const char*>(glGetString(GL_RENDERER)), kBenchWidth, kBenchHeight,
              WorldGeometry.triangleCount);

  if (snapshot || closeSnapshot) {  // one frame of a full room, to see what the benchmark draws
    bool ok = (!snapshot || Snapshot(screen, Spread, members, snapshot)) &&
              (!closeSnapshot || Snapshot(screen, Close, members, closeSnapshot));
    CloseOffscreen(&screen);
    return ok ? 0 : 1;
  }

  if (only) {
    const Layout layout = std::strcmp(only, "alone") == 0 ? Alone : std::strcmp(only, "spread") == 0 ? Spread : Close;
    Rate rate;
    FillRoom(layout, members);
    DrawFor(seconds, layout != Alone, &rate);
    std::printf("%s alone in the run: %d frames, %6.1f fps, %5.2f ms a frame\n", only, rate.frames, rate.Fps(), rate.CpuMs());
    CloseOffscreen(&screen);
    return 0;
  }

  // The three rooms take turns a quarter of a second at a time, so that a machine whose load
  // changes during the run changes every rate alike.
  Rate alone, spread, close, warmUp;
  FillRoom(Spread, members);
  DrawFor(0.5, true, &warmUp);  // the renderer compiles its shaders, the tags are drawn once
  FillRoom(Close, members);
  DrawFor(0.5, true, &warmUp);
  for (double spent = 0; spent < seconds; spent += 0.75) {
    FillRoom(Alone, members);
    DrawFor(0.25, false, &alone);
    FillRoom(Spread, members);
    DrawFor(0.25, true, &spread);
    FillRoom(Close, members);
    DrawFor(0.25, true, &close);
  }
  std::printf("room alone:  %6.1f fps, %5.2f ms of processor time a frame\n", alone.Fps(), alone.CpuMs());
  std::printf("spread: %d avatars to the far wall, their tags, 20 bubbles, explosions: %6.1f fps, %5.2f ms a frame\n",
              members, spread.Fps(), spread.CpuMs());
  std::printf("close:  %d avatars drawn whole, their tags, 20 bubbles, explosions:     %6.1f fps, %5.2f ms a frame\n",
              members, close.Fps(), close.CpuMs());
  std::printf("ratio full / alone: spread %.2f  close %.2f\n", spread.Fps() / alone.Fps(), close.Fps() / alone.Fps());

  ClearSpeech();
  ClearRoomAvatars();
  CloseOffscreen(&screen);
  return 0;
}
