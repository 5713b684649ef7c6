// The kept window size and place: the line it is read from, and a round trip through the file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "console/window_place.h"

namespace {

std::string Shown(const WindowPlace& p) {
  return std::to_string(p.width) + "x" + std::to_string(p.height) + (p.placed ? " at " : " near ") +
         std::to_string(p.x) + "," + std::to_string(p.y);
}

TEST(WindowPlace, FourWholeNumbersInRangeOrNothing) {
  const std::pair<const char*, const char*> cases[] = {
      {"800 600 120 80\n", "800x600 at 120,80"}, {"  1024\t700 -30 -5 \r\n", "1024x700 at -30,-5"},
      {"160 160 0 0", "160x160 at 0,0"},         {"159 600 0 0\n", ""},  // narrower than a window may be
      {"800 99999 0 0\n", ""},  {"800 600 0 20000\n", ""},  {"800 600 120\n", ""},  {"800 600 120 80 7\n", ""},
      {"800x600+120+80\n", ""}, {"800 600 +120 80\n", ""},  {"800 600 1e2 80\n", ""},
      {"99999999999999999999 600 0 0", ""}, {"", ""},
  };
  for (const auto& [text, expected] : cases) {
    WindowPlace place = {1, 2, 3, 4, false};
    EXPECT_EQ(expected[0] != 0, ReadWindowPlace(text, &place)) << "'" << text << "'";
    EXPECT_EQ(expected[0] ? expected : "1x2 near 3,4", Shown(place)) << "'" << text << "'";
  }
}

TEST(WindowPlace, KeptForTheNextStartAndTheFirstSizeWithoutAFile) {
  char folder[] = "/tmp/qivra-place-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(folder));
  setenv("XDG_CONFIG_HOME", folder, 1);
  EXPECT_EQ("640x480 near 0,0", Shown(LoadWindowPlace()));
  EXPECT_FALSE(SaveWindowPlace(LoadWindowPlace())) << "a place the window manager has not given is not kept";
  ASSERT_TRUE(SaveWindowPlace(WindowPlace{900, 700, 40, 30, true}));
  EXPECT_EQ("900x700 at 40,30", Shown(LoadWindowPlace()));
  std::remove((std::string(folder) + "/qivra/window-place.txt").c_str());
  std::remove((std::string(folder) + "/qivra").c_str());
  std::remove(folder);
}

}  // namespace
