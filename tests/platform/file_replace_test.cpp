// Whole-file replacement: the old file stays when the write fails, the new one arrives whole.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/file_replace.h"

namespace {

class FileReplaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qivra-replace-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    folder = pattern;
    path = folder + "/settings.txt";
  }
  void TearDown() override {
    std::string command = "rm -rf '" + folder + "'";
    EXPECT_EQ(0, std::system(command.c_str()));
  }
  std::string Read() const {
    std::string text;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return "<missing>";
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    std::fclose(f);
    return text;
  }
  int FilesInFolder() const {
    int count = 0;
    DIR* d = opendir(folder.c_str());
    while (dirent* e = d ? readdir(d) : nullptr) count += e->d_name[0] != '.';
    if (d) closedir(d);
    return count;
  }
  std::string folder, path;
};

TEST_F(FileReplaceTest, ASuccessfulWriteReplacesTheFileWholeAndLeavesNothingBeside) {
  ASSERT_EQ(FileReplaced, ReplaceFileContents(path.c_str(), "old line\n", 9));
  std::string fresh(100000, 'x');
  fresh += "\nlast line\n";
  ASSERT_EQ(FileReplaced, ReplaceFileContents(path.c_str(), fresh.data(), fresh.size()));
  EXPECT_EQ(fresh, Read());
  EXPECT_EQ(1, FilesInFolder()) << "a temporary file was left beside it";
}

TEST_F(FileReplaceTest, AWriteOverTheSizeLimitKeepsTheOldFile) {
  const std::string old = "SERVER irc.example.net 6667\nNICKNAME alice\n";
  ASSERT_EQ(FileReplaced, ReplaceFileContents(path.c_str(), old.data(), old.size()));
  // A child with a 16-byte file size limit stands in for a disk that fills up mid-write.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    rlimit limit = {16, 16};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::string fresh(4096, 'y');
    _exit(ReplaceFileContents(path.c_str(), fresh.data(), fresh.size()));
  }
  int status = 0;
  ASSERT_EQ(child, waitpid(child, &status, 0));
  ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
  EXPECT_EQ(FileNotWritten, WEXITSTATUS(status));
  EXPECT_EQ(old, Read());
  EXPECT_EQ(1, FilesInFolder()) << "the failed temporary file was left beside it";
}

TEST_F(FileReplaceTest, AMissingFolderIsReportedAndNothingIsMade) {
  std::string inside = folder + "/no-such-folder/file.txt";
  EXPECT_EQ(FileNotOpened, ReplaceFileContents(inside.c_str(), "x\n", 2));
  EXPECT_EQ(0, FilesInFolder());
}

}  // namespace
