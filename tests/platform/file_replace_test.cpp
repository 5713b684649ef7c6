// Whole-file replacement: the old file stays when the write fails, the new one arrives whole.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/file_replace.h"

namespace {

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return in ? text.str() : "<missing>";
}

// The old file, then a replacement written by a child with RLIMIT_FSIZE at `limit` bytes (a
// disk that fills up mid-write): the child's result, and what the folder holds after it.
TEST(FileReplace, AFailedWriteKeepsTheOldFileAndASuccessfulOneReplacesItWhole) {
  char folder[] = "/tmp/qivra-replace-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(folder));
  const std::string path = std::string(folder) + "/settings.txt", old = "SERVER irc.example.net 6667\n";
  ASSERT_EQ(FileReplaced, ReplaceFileContents(path.c_str(), old.data(), old.size()));
  const std::string fresh = std::string(100000, 'y') + "\nlast line\n";
  for (rlim_t limit : {rlim_t{16}, RLIM_INFINITY}) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      rlimit size = {limit, limit};
      setrlimit(RLIMIT_FSIZE, &size);
      _exit(ReplaceFileContents(path.c_str(), fresh.data(), fresh.size()));
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    const bool limited = limit != RLIM_INFINITY;
    EXPECT_EQ(limited ? FileNotWritten : FileReplaced, WEXITSTATUS(status));
    EXPECT_EQ(limited ? old : fresh, Read(path));
    std::string listing = "ls -A " + std::string(folder) + " | wc -l | grep -qx 1";
    EXPECT_EQ(0, std::system(listing.c_str())) << "a temporary file was left beside it";
  }
  EXPECT_EQ(FileNotOpened, ReplaceFileContents((std::string(folder) + "/none/x.txt").c_str(), "x", 1));
  std::system(("rm -rf " + std::string(folder)).c_str());
}

}  // namespace
