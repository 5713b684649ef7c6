// Nickname colours: one member one colour whatever the case, and different members mostly apart.
#include "core/nick_colour.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "model/texture.h"

static int Key(NickRgb c) { return c.r << 16 | c.g << 8 | c.b; }

TEST(NickColour, SameMemberSameColourAcrossCaseAndIrcFolding) {
  EXPECT_EQ(Key(NickColour("alice")), Key(NickColour("ALICE")));
  EXPECT_EQ(Key(NickColour("bob[away]")), Key(NickColour("BOB{AWAY}")));
  std::set<int> seen;
  for (const char* nick : {"alice", "bob", "carol", "dave", "erin", "frank", "grace", "heidi"})
    seen.insert(Key(NickColour(nick)));
  EXPECT_GE(seen.size(), 5u) << "eight names should not crowd into a few colours";
  NickRgb none = NickColour(nullptr);
  EXPECT_GT(none.r + none.g + none.b, 300) << "every colour reads on a dark background";
}

// Every pair of the palette's colours, and each colour against where it is shown, told apart
// by CIEDE2000 (the colour difference that follows what eyes see, unlike distances in RGB).
namespace {

struct Lab {
  double l, a, b;
};

double Linear(double c) {
  c /= 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(double r, double g, double b) { return 0.2126 * Linear(r) + 0.7152 * Linear(g) + 0.0722 * Linear(b); }

Lab ToLab(double r, double g, double b) {
  const double lr = Linear(r), lg = Linear(g), lb = Linear(b);
  const double x = (0.4124 * lr + 0.3576 * lg + 0.1805 * lb) / 0.95047;
  const double y = 0.2126 * lr + 0.7152 * lg + 0.0722 * lb;
  const double z = (0.0193 * lr + 0.1192 * lg + 0.9505 * lb) / 1.08883;
  auto f = [](double t) { return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116.0; };
  return {116.0 * f(y) - 16.0, 500.0 * (f(x) - f(y)), 200.0 * (f(y) - f(z))};
}

double Ciede2000(const Lab& p, const Lab& q) {
  const double kPi = 3.14159265358979, deg = kPi / 180.0;
  const double c7 = std::pow((std::hypot(p.a, p.b) + std::hypot(q.a, q.b)) / 2.0, 7.0);
  const double g = 0.5 * (1.0 - std::sqrt(c7 / (c7 + std::pow(25.0, 7.0))));
  const double a1 = (1.0 + g) * p.a, a2 = (1.0 + g) * q.a;
  const double c1 = std::hypot(a1, p.b), c2 = std::hypot(a2, q.b);
  double h1 = std::atan2(p.b, a1) / deg, h2 = std::atan2(q.b, a2) / deg;
  if (h1 < 0) h1 += 360.0;
  if (h2 < 0) h2 += 360.0;
  double dh = c1 * c2 == 0.0 ? 0.0 : h2 - h1;
  if (dh > 180.0) dh -= 360.0;
  if (dh < -180.0) dh += 360.0;
  const double dH = 2.0 * std::sqrt(c1 * c2) * std::sin(dh * deg / 2.0);
  const double lMean = (p.l + q.l) / 2.0, cMean = (c1 + c2) / 2.0;
  double hMean = h1 + h2;
  if (c1 * c2 != 0.0) hMean = std::fabs(h1 - h2) <= 180.0 ? hMean / 2.0 : (hMean + (hMean < 360.0 ? 360.0 : -360.0)) / 2.0;
  const double t = 1.0 - 0.17 * std::cos((hMean - 30.0) * deg) + 0.24 * std::cos(2.0 * hMean * deg) +
                   0.32 * std::cos((3.0 * hMean + 6.0) * deg) - 0.20 * std::cos((4.0 * hMean - 63.0) * deg);
  const double theta = 30.0 * std::exp(-std::pow((hMean - 275.0) / 25.0, 2.0));
  const double cm7 = std::pow(cMean, 7.0);
  const double rt = -std::sin(2.0 * theta * deg) * 2.0 * std::sqrt(cm7 / (cm7 + std::pow(25.0, 7.0)));
  const double sl = 1.0 + 0.015 * (lMean - 50.0) * (lMean - 50.0) / std::sqrt(20.0 + (lMean - 50.0) * (lMean - 50.0));
  const double sc = 1.0 + 0.045 * cMean, sh = 1.0 + 0.015 * cMean * t;
  const double dl = (q.l - p.l) / sl, dc = (c2 - c1) / sc, dhh = dH / sh;
  return std::sqrt(dl * dl + dc * dc + dhh * dhh + rt * dc * dhh);
}

// The mean colour of one of the room's pictures, as its mipmaps show it from afar.
bool TextureMean(const char* name, double mean[3]) {
  RgbImage* image = LoadBitmapImage((std::string(QIVRA_SOURCE_DIR) + "/data/" + name).c_str());
  if (!image) return false;
  double sum[3] = {0, 0, 0};
  const int n = image->width * image->height;
  for (int i = 0; i < n; ++i)
    for (int c = 0; c < 3; ++c) sum[c] += image->pixels[3 * i + c];
  for (int c = 0; c < 3; ++c) mean[c] = sum[c] / n;
  std::free(image->pixels);
  std::free(image);
  return true;
}

}  // namespace

TEST(NickColour, TwentyFourColoursApartFromEachOtherTheRoomAndTheConsole) {
  const int size = NickPaletteSize();
  ASSERT_GE(size, 24);
  std::vector<Lab> palette;
  for (int i = 0; i < size; ++i) {
    NickRgb c = NickPaletteColour(i);
    palette.push_back(ToLab(c.r, c.g, c.b));
  }
  for (int i = 0; i < size; ++i)
    for (int j = i + 1; j < size; ++j)
      EXPECT_GE(Ciede2000(palette[i], palette[j]), 12.0) << "colours " << i << " and " << j << " look alike";
  struct Surface {
    const char* what;
    double rgb[3];
  } surfaces[] = {{"wallpaper data/2.bmp", {}}, {"planks data/1.bmp", {}}, {"ceiling data/3.bmp", {}}};
  const char* files[] = {"2.bmp", "1.bmp", "3.bmp"};
  for (int s = 0; s < 3; ++s) ASSERT_TRUE(TextureMean(files[s], surfaces[s].rgb)) << files[s];
  // The console panel's background (platform/console_panel.cpp).
  const double console[3] = {34, 36, 40};
  const double consoleLuminance = Luminance(console[0], console[1], console[2]);
  for (int i = 0; i < size; ++i) {
    NickRgb c = NickPaletteColour(i);
    for (const Surface& s : surfaces)
      EXPECT_GE(Ciede2000(palette[i], ToLab(s.rgb[0], s.rgb[1], s.rgb[2])), 20.0)
          << "colour " << i << " fades into the " << s.what;
    const double contrast = (Luminance(c.r, c.g, c.b) + 0.05) / (consoleLuminance + 0.05);
    EXPECT_GE(contrast, 4.5) << "colour " << i << " on the console's dark grey";
  }
  // A reference pair from the formula's published test data: the distance is CIEDE2000's own.
  EXPECT_NEAR(Ciede2000({50.0, 2.6772, -79.7751}, {50.0, 0.0, -82.7485}), 2.0425, 1e-3);
}
