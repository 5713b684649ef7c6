// Collects the message boxes a test provokes: with QIVRA_AUTO_ANSWER set each box is a stderr line.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

struct CapturedBox {
  std::string caption;
  std::string text;
};

// Boxes are answered at once and written to stderr, where this captures them.
class BoxCapture {
 public:
  BoxCapture() {
    setenv("QIVRA_AUTO_ANSWER", "yes", 1);
    testing::internal::CaptureStderr();
  }
  ~BoxCapture() {
    if (!stopped_) testing::internal::GetCapturedStderr();
  }
  std::vector<CapturedBox> Stop() {
    stopped_ = true;
    std::istringstream lines(testing::internal::GetCapturedStderr());
    std::vector<CapturedBox> boxes;
    std::string line;
    const std::string captionKey = "[box] caption=\"", textKey = " text=\"";
    while (std::getline(lines, line)) {
      if (line.rfind(captionKey, 0) != 0) continue;
      std::size_t captionEnd = line.find("\" icon=");
      std::size_t textStart = line.find(textKey, captionEnd);
      if (captionEnd == std::string::npos || textStart == std::string::npos || line.back() != '"') continue;
      CapturedBox box;
      box.caption = line.substr(captionKey.size(), captionEnd - captionKey.size());
      box.text = line.substr(textStart + textKey.size(), line.size() - textStart - textKey.size() - 1);
      boxes.push_back(box);
    }
    return boxes;
  }

 private:
  bool stopped_ = false;
};

// "caption: text" lines, for failure messages that show every box.
inline std::string Describe(const std::vector<CapturedBox>& boxes) {
  std::string out;
  for (const CapturedBox& b : boxes) out += "[" + b.caption + ": " + b.text + "] ";
  return out.empty() ? "(no box)" : out;
}
