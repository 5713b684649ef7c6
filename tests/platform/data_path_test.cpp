// The data folder: the installed copy's shared folder beside <prefix>/bin, and which folder is chosen.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/data_path.h"

namespace {

std::string InstalledFolderOf(const char* exe) {
  char out[256];
  return InstalledFolderFor(exe, out, sizeof out) ? out : "<none>";
}

TEST(DataPath, TheInstalledFolderIsFoundOnlyBesideABinFolder) {
  EXPECT_EQ("/usr/share/qivra", InstalledFolderOf("/usr/bin/qivra"));
  EXPECT_EQ("/opt/q/share/qivra", InstalledFolderOf("/opt/q/bin/qivra"));
  EXPECT_EQ("/share/qivra", InstalledFolderOf("/bin/qivra"));
  EXPECT_EQ("<none>", InstalledFolderOf("/home/ann/qivra/build/qivra")) << "a build tree";
  EXPECT_EQ("<none>", InstalledFolderOf("/home/ann/cabin/qivra")) << "a folder merely ending in bin";
  EXPECT_EQ("<none>", InstalledFolderOf("qivra"));
  char small[8];
  EXPECT_FALSE(InstalledFolderFor("/usr/bin/qivra", small, sizeof small)) << "a result that does not fit";
}

void Touch(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "w");
  ASSERT_NE(nullptr, file) << path;
  std::fclose(file);
}

TEST(DataPath, TheWorkingDirectorysDataWinsWhenItHoldsTheRoom) {
  char folder[] = "/tmp/qivra-data-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(folder));
  const std::string installed = std::string(folder) + "/share", work = std::string(folder) + "/work";
  ASSERT_EQ(0, mkdir(installed.c_str(), 0700));
  ASSERT_EQ(0, mkdir(work.c_str(), 0700));
  char previous[4096];
  ASSERT_NE(nullptr, getcwd(previous, sizeof previous));
  ASSERT_EQ(0, chdir(work.c_str()));
  ASSERT_EQ(0, mkdir("data", 0700));  // a data folder without the room, as a home folder may have

  ChooseDataFolderFrom(installed.c_str());
  EXPECT_STREQ("data/", DataFolder()) << "an installed folder without the room is no better";
  Touch(installed + "/world.txt");
  ChooseDataFolderFrom(installed.c_str());
  EXPECT_EQ(installed + "/", DataFolder());
  char path[4096];
  ASSERT_TRUE(ResolveDataPath("Data\\sub\\1.bmp", path, sizeof path));
  EXPECT_EQ(installed + "/sub/1.bmp", path) << "every spelling of the folder goes there, with slashes";
  char small[8];
  EXPECT_FALSE(ResolveDataPath("data/world.txt", small, sizeof small));

  Touch("data/world.txt");
  ChooseDataFolderFrom(installed.c_str());
  EXPECT_STREQ("data/", DataFolder());
  FILE* opened = OpenDataFile("DATA/world.txt", "r");
  EXPECT_NE(nullptr, opened) << "any letter case names the data folder";
  if (opened) std::fclose(opened);

  ASSERT_EQ(0, chdir(previous));
  std::system((std::string("rm -rf ") + folder).c_str());
}

}  // namespace
