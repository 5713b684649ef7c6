// Append-only files on POSIX: O_APPEND descriptors and one write() per record.
#include "platform/append_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

static void TellWhy(int error, char* why, std::size_t whySize) {
  if (why && whySize > 0) std::snprintf(why, whySize, "%s", std::strerror(error));
}

bool MakePrivateFolders(const char* path, char* why, std::size_t whySize) {
  char folder[4096];
  int n = std::snprintf(folder, sizeof folder, "%s", path ? path : "");
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof folder) {
    TellWhy(ENAMETOOLONG, why, whySize);
    return false;
  }
  for (char* slash = std::strchr(folder + 1, '/');; slash = std::strchr(slash + 1, '/')) {
    if (slash) *slash = '\0';
    if (mkdir(folder, 0700) != 0 && errno != EEXIST) {
      TellWhy(errno, why, whySize);
      return false;
    }
    if (!slash) break;
    *slash = '/';
  }
  struct stat info;
  if (stat(folder, &info) != 0) {
    TellWhy(errno, why, whySize);
    return false;
  }
  if (!S_ISDIR(info.st_mode)) {
    TellWhy(ENOTDIR, why, whySize);
    return false;
  }
  return true;
}

int OpenAppendFile(const char* path, char* why, std::size_t whySize) {
  int file = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (file < 0) TellWhy(errno, why, whySize);
  return file;
}

bool AppendRecord(int file, const char* data, std::size_t length, char* why, std::size_t whySize) {
  ssize_t written;
  do {
    written = write(file, data, length);
  } while (written < 0 && errno == EINTR);
  if (written < 0) {
    TellWhy(errno, why, whySize);
    return false;
  }
  if (static_cast<std::size_t>(written) != length) {
    TellWhy(ENOSPC, why, whySize);  // a short write to a local file: the disk is full
    return false;
  }
  return true;
}

void CloseAppendFile(int file) {
  if (file >= 0) close(file);
}
