// Headless GL view, message box capture, temp folders and the test programs' main.
#include "tests/scene/test_support.h"

#include <GL/osmesa.h>
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "scene/room_avatars.h"

HeadlessView::HeadlessView(int width, int height)
    : context_(nullptr), width_(width), height_(height), buffer_(static_cast<size_t>(width) * height * 4) {
  OSMesaContext context = OSMesaCreateContextExt(OSMESA_RGBA, 16, 0, 0, nullptr);
  if (!context) return;
  if (!OSMesaMakeCurrent(context, buffer_.data(), GL_UNSIGNED_BYTE, width, height)) {
    OSMesaDestroyContext(context);
    return;
  }
  context_ = context;
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(34.0, static_cast<double>(width) / (height + 2), 0.1, 100.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

HeadlessView::~HeadlessView() {
  if (context_) OSMesaDestroyContext(static_cast<OSMesaContext>(context_));
}

std::vector<unsigned char> HeadlessView::Pixels() {
  glFinish();
  return buffer_;
}

BoxRecorder::BoxRecorder() : running_(true) { testing::internal::CaptureStderr(); }

BoxRecorder::~BoxRecorder() {
  if (running_) Stop();
}

std::vector<BoxShown> BoxRecorder::Stop() {
  running_ = false;
  std::string err = testing::internal::GetCapturedStderr();
  std::vector<BoxShown> boxes;
  const std::string start = "[box] caption=\"";
  size_t at = err.find(start);
  while (at != std::string::npos) {
    size_t next = err.find(start, at + start.size());
    std::string chunk = err.substr(at + start.size(), next == std::string::npos ? std::string::npos : next - at - start.size());
    BoxShown box;
    size_t iconAt = chunk.find("\" icon=");
    size_t textAt = chunk.find(" text=\"", iconAt == std::string::npos ? 0 : iconAt);
    size_t end = chunk.rfind("\"\n");
    if (iconAt != std::string::npos && textAt != std::string::npos && end != std::string::npos && end >= textAt + 7) {
      box.caption = chunk.substr(0, iconAt);
      box.icon = chunk.substr(iconAt + 7, textAt - iconAt - 7);
      box.text = chunk.substr(textAt + 7, end - textAt - 7);
    } else {
      box.text = chunk;
    }
    boxes.push_back(box);
    at = next;
  }
  return boxes;
}

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qivra-test-XXXXXX").string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data())) path_ = name.data();
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

void TempFolder::Write(const std::string& name, const std::vector<unsigned char>& bytes) const {
  std::filesystem::path file = std::filesystem::path(path_) / name;
  std::filesystem::create_directories(file.parent_path());
  FILE* f = std::fopen(file.c_str(), "wb");
  ASSERT_NE(f, nullptr) << file;
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
  std::fclose(f);
}

void TempFolder::Write(const std::string& name, const std::string& bytes) const {
  Write(name, std::vector<unsigned char>(bytes.begin(), bytes.end()));
}

WorkingFolder::WorkingFolder(const std::string& path) {
  previous_ = std::filesystem::current_path().string();
  std::filesystem::current_path(path);
}

WorkingFolder::~WorkingFolder() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
}

static void Put(std::vector<unsigned char>& out, unsigned value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

std::vector<unsigned char> Bmp24(int width, int height, const std::vector<unsigned char>& rgb) {
  unsigned stride = (static_cast<unsigned>(width) * 3 + 3) & ~3u;
  std::vector<unsigned char> out = {'B', 'M'};
  Put(out, 54 + stride * height, 4);
  Put(out, 0, 4);
  Put(out, 54, 4);
  Put(out, 40, 4);
  Put(out, width, 4);
  Put(out, height, 4);
  Put(out, 1, 2);
  Put(out, 24, 2);
  for (int i = 0; i < 6; ++i) Put(out, 0, 4);
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) {
      const unsigned char* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      out.insert(out.end(), {p[2], p[1], p[0]});
    }
    for (unsigned pad = width * 3; pad < stride; ++pad) out.push_back(0);
  }
  return out;
}

// Mesa and LLVM keep some blocks for the life of the process, and so do the font caches of
// Pango's process-wide font map and fontconfig (the labels' pictures fill them).
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libOSMesa\nleak:libLLVM\nleak:libglapi\nleak:libgallium\nleak:libfontconfig.so\n"
         "leak:libpangoft2-1.0.so\n";
}

int main(int argc, char** argv) {
  setenv("QIVRA_AUTO_ANSWER", "yes", 1);  // no box may wait for a click
  unsetenv("QIVRA_CONSOLE_STDERR");       // the box capture reads stderr
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

void ShowRoom(const char* channel, const std::vector<Standing>& members) {
  static RoomView view;  // 60 KB: kept off the stack
  const uint32_t serial = RoomAvatars.serial + 1;
  std::memset(&view, 0, sizeof view);
  view.serial = serial;
  std::snprintf(view.channel, sizeof view.channel, "%s", channel);
  for (const Standing& s : members) {
    if (view.count >= kRoomMembers) break;
    RoomMember& m = view.members[view.count];
    m.id = ++view.count;
    std::snprintf(m.nick, sizeof m.nick, "%s", s.nick);
    m.reach = s.hasAvatar ? ReachDirect : ReachNone;
    m.poseSerial = serial;  // a new pose each time: the view's pose is taken as it is
    m.pose.x = s.x;
    m.pose.z = s.z;
    m.pose.yaw = m.pose.heading = s.yaw;
    m.status = s.status;
    m.away = s.away;
    m.look = static_cast<uint8_t>(s.look);
    m.typing = s.typing;
    m.elsewhere = s.elsewhere;
    std::snprintf(m.elsewhereIn, sizeof m.elsewhereIn, "%s", s.elsewhereIn ? s.elsewhereIn : "");
  }
  TakeRoomView(view);
}

void KeepFrame(const std::vector<unsigned char>& rgba, int width, int height, const char* name) {
  const char* folder = std::getenv("QIVRA_EVIDENCE_DIR");
  if (!folder) return;
  std::string path = std::string(folder) + "/" + name + ".ppm";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fprintf(f, "P6\n%d %d\n255\n", width, height);
  for (int y = height - 1; y >= 0; --y)
    for (int x = 0; x < width; ++x) std::fwrite(&rgba[(static_cast<size_t>(y) * width + x) * 4], 1, 3, f);
  std::fclose(f);
}
