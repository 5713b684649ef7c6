// The user's configuration folder: which variable wins, and making it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "platform/user_paths.h"

namespace {

std::string PathOf(const char* name) {
  char out[4096];
  return UserConfigPath(name, out, sizeof out) ? out : "<none>";
}

TEST(UserPaths, XdgConfigHomeWinsOverHomeAndARelativeOneIsIgnored) {
  setenv("HOME", "/home/ann", 1);
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ("/cfg/qivra/config.txt", PathOf("config.txt"));
  setenv("XDG_CONFIG_HOME", "relative", 1);
  EXPECT_EQ("/home/ann/.config/qivra/config.txt", PathOf("config.txt"));
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ("/home/ann/.config/qivra/config.txt", PathOf("config.txt"));
  unsetenv("HOME");
  EXPECT_EQ("<none>", PathOf("config.txt"));
  char small[16];
  setenv("HOME", "/home/ann", 1);
  EXPECT_FALSE(UserConfigPath("config.txt", small, sizeof small)) << "a path that does not fit";
}

TEST(UserPaths, MakesTheFolderAndItsParentsPrivateToTheUser) {
  char base[] = "/tmp/qivra-paths-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(base));
  std::string xdg = std::string(base) + "/a/b";
  setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
  ASSERT_TRUE(MakeUserConfigFolder());
  ASSERT_TRUE(MakeUserConfigFolder()) << "a second call finds it there";
  struct stat info;
  ASSERT_EQ(0, stat((xdg + "/qivra").c_str(), &info));
  EXPECT_EQ(0700u, info.st_mode & 0777u);
  std::system((std::string("rm -rf ") + base).c_str());
  unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
