// The kept window size and place: the line it is read from, and a round trip through the file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "console/window_place.h"

namespace {

TEST(WindowPlace, FourWholeNumbersInRangeOrNothing) {
  struct Case {
    const char* text;
    bool taken;
    WindowPlace place;
  };
  const Case cases[] = {
      {"800 600 120 80\n", true, {800, 600, 120, 80, true}},
      {"  1024\t700 -30 -5 \r\n", true, {1024, 700, -30, -5, true}},
      {"160 160 0 0", true, {160, 160, 0, 0, true}},
      {"159 600 0 0\n", false, {}},       // narrower than the window may be
      {"800 99999 0 0\n", false, {}},
      {"800 600 0 20000\n", false, {}},   // far off any screen
      {"800 600 120\n", false, {}},
      {"800 600 120 80 7\n", false, {}},
      {"800x600+120+80\n", false, {}},
      {"800 600 +120 80\n", false, {}},
      {"800 600 1e2 80\n", false, {}},
      {"99999999999999999999 600 0 0", false, {}},
      {"", false, {}},
  };
  for (const Case& c : cases) {
    WindowPlace place = {1, 2, 3, 4, false};
    EXPECT_EQ(c.taken, ReadWindowPlace(c.text, &place)) << "'" << c.text << "'";
    const WindowPlace expected = c.taken ? c.place : WindowPlace{1, 2, 3, 4, false};
    EXPECT_TRUE(place.width == expected.width && place.height == expected.height && place.x == expected.x &&
                place.y == expected.y && place.placed == expected.placed)
        << "'" << c.text << "' gave " << place.width << "x" << place.height << " at " << place.x << "," << place.y;
  }
}

TEST(WindowPlace, KeptForTheNextStartAndTheFirstSizeWithoutAFile) {
  char folder[] = "/tmp/qivra-place-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(folder));
  setenv("XDG_CONFIG_HOME", folder, 1);
  WindowPlace first = LoadWindowPlace();
  EXPECT_TRUE(first.width == 640 && first.height == 480 && !first.placed);
  EXPECT_FALSE(SaveWindowPlace(first)) << "a place the window manager has not given is not kept";
  ASSERT_TRUE(SaveWindowPlace(WindowPlace{900, 700, 40, 30, true}));
  const WindowPlace kept = LoadWindowPlace();
  EXPECT_TRUE(kept.width == 900 && kept.height == 700 && kept.x == 40 && kept.y == 30 && kept.placed);
  const std::string path = std::string(folder) + "/qivra/window-place.txt";
  std::remove(path.c_str());
  std::remove((std::string(folder) + "/qivra").c_str());
  std::remove(folder);
}

}  // namespace
