// qivra-iconmaker: writes the program's icon as the PNG sizes and the SVG an icon theme wants.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/app_icon_pixels.h"
#include "tools/common/png_writer.h"

namespace {

const int kSizes[] = {16, 24, 32, 48, 64, 128, 256};

// How much of source cell i (of n) lies under output cell o (of m), as a share of the output cell.
double Overlap(int i, int n, int o, int m) {
  double cell = static_cast<double>(n) / m;
  double from = std::max(static_cast<double>(i), o * cell), to = std::min(i + 1.0, (o + 1) * cell);
  return to > from ? (to - from) / cell : 0.0;
}

// The icon at size x size: each output pixel is the average of the icon area it covers, so
// whole multiples stay sharp squares and smaller sizes blend rather than drop pixels.
std::vector<unsigned char> Resample(int size) {
  std::vector<unsigned char> out(static_cast<size_t>(size) * size * 3);
  for (int oy = 0; oy < size; ++oy)
    for (int ox = 0; ox < size; ++ox) {
      double sum[3] = {0, 0, 0};
      for (int y = 0; y < kAppIconSize; ++y) {
        double wy = Overlap(y, kAppIconSize, oy, size);
        if (wy == 0) continue;
        for (int x = 0; x < kAppIconSize; ++x) {
          double w = wy * Overlap(x, kAppIconSize, ox, size);
          if (w == 0) continue;
          unsigned char rgb[3];
          AppIconPixel(x, y, rgb);
          for (int c = 0; c < 3; ++c) sum[c] += w * rgb[c];
        }
      }
      for (int c = 0; c < 3; ++c)
        out[(static_cast<size_t>(oy) * size + ox) * 3 + c] = static_cast<unsigned char>(std::lround(std::min(255.0, sum[c])));
    }
  return out;
}

// The icon as squares, one rectangle per run of equal pixels in a row.
std::string Svg() {
  std::string svg =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"32\" height=\"32\" viewBox=\"0 0 32 32\""
      " shape-rendering=\"crispEdges\">\n";
  char rect[128];
  for (int y = 0; y < kAppIconSize; ++y) {
    int x = 0;
    while (x < kAppIconSize) {
      unsigned char rgb[3], next[3];
      AppIconPixel(x, y, rgb);
      int run = 1;
      for (; x + run < kAppIconSize; ++run) {
        AppIconPixel(x + run, y, next);
        if (next[0] != rgb[0] || next[1] != rgb[1] || next[2] != rgb[2]) break;
      }
      std::snprintf(rect, sizeof rect, "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"1\" fill=\"#%02x%02x%02x\"/>\n",
                    x, y, run, rgb[0], rgb[1], rgb[2]);
      svg += rect;
      x += run;
    }
  }
  return svg + "</svg>\n";
}

bool WriteText(const std::filesystem::path& path, const std::string& text) {
  FILE* file = std::fopen(path.c_str(), "w");
  if (!file) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qivra-iconmaker FOLDER   (writes FOLDER/hicolor/<size>/apps/qivra.*)\n");
    return 2;
  }
  std::filesystem::path theme = std::filesystem::path(argv[1]) / "hicolor";
  std::error_code error;
  for (int size : kSizes) {
    std::filesystem::path folder = theme / (std::to_string(size) + "x" + std::to_string(size)) / "apps";
    std::filesystem::create_directories(folder, error);
    if (!png_writer::WritePngRgb((folder / "qivra.png").c_str(), size, size, Resample(size))) {
      std::fprintf(stderr, "qivra-iconmaker: cannot write %s\n", (folder / "qivra.png").c_str());
      return 1;
    }
  }
  std::filesystem::path scalable = theme / "scalable" / "apps";
  std::filesystem::create_directories(scalable, error);
  if (!WriteText(scalable / "qivra.svg", Svg())) {
    std::fprintf(stderr, "qivra-iconmaker: cannot write %s\n", (scalable / "qivra.svg").c_str());
    return 1;
  }
  return 0;
}
