// Test support for scene and model tests: a headless GL view, captured message boxes, temp folders.
#pragma once
#include <string>
#include <vector>

// An OSMesa context drawing into memory, with the projection the window sets
// for a 640x480 client (a 640x348 view). Current while it lives.
class HeadlessView {
 public:
  HeadlessView(int width = 640, int height = 348);
  ~HeadlessView();
  bool ok() const { return context_ != nullptr; }
  int width() const { return width_; }
  int height() const { return height_; }
  // RGBA, bottom row first (after glFinish).
  std::vector<unsigned char> Pixels();

 private:
  void* context_;
  int width_, height_;
  std::vector<unsigned char> buffer_;
};

struct BoxShown {
  std::string caption;
  std::string icon;
  std::string text;
};

// Collects the message boxes shown between construction and Stop(); boxes are
// answered at once (QIVRA_AUTO_ANSWER is set for every test program).
class BoxRecorder {
 public:
  BoxRecorder();
  ~BoxRecorder();
  std::vector<BoxShown> Stop();

 private:
  bool running_;
};

// A fresh empty folder under the system's temp folder; removed with its contents.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::string& path() const { return path_; }
  void Write(const std::string& name, const std::string& bytes) const;
  void Write(const std::string& name, const std::vector<unsigned char>& bytes) const;

 private:
  std::string path_;
};

// Changes the working folder for one scope (asset paths are relative).
class WorkingFolder {
 public:
  explicit WorkingFolder(const std::string& path);
  ~WorkingFolder();

 private:
  std::string previous_;
};

// A 24-bit bitmap file (file header, 40-byte header, bottom-up rows) of a
// picture given top row first as red, green, blue.
std::vector<unsigned char> Bmp24(int width, int height, const std::vector<unsigned char>& rgbTopFirst);

// The room as the session would show it: the channel's label and these members, in this order
// (ids 1, 2 ...), each standing at (x, z) facing yaw; hasAvatar false: a member with no link.
struct Standing {
  const char* nick;
  float x, z, yaw;
  bool hasAvatar = true;
  char status = 0;  // '@', '+' or 0
  bool away = false;
  int look = 0;
  bool typing = false;
  bool elsewhere = false;           // its user stands in another room: it stays where it stood here
  const char* elsewhereIn = "";     // that room's channel
};
void ShowRoom(const char* channel, const std::vector<Standing>& members);
// Writes an RGBA frame (bottom row first) as a PPM file into $QIVRA_EVIDENCE_DIR, when set, to
// look at what a test drew.
void KeepFrame(const std::vector<unsigned char>& rgba, int width, int height, const char* name);
