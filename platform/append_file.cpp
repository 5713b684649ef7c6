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

// One write, again when a signal cut it off before it began.
static ssize_t WriteOnce(int file, const char* data, std::size_t length) {
  ssize_t written;
  do {
    written = write(file, data, length);
  } while (written < 0 && errno == EINTR);
  return written;
}

bool AppendRecord(int file, const char* data, std::size_t length, char* why, std::size_t whySize) {
  ssize_t written = WriteOnce(file, data, length);
  if (written < 0) {
    TellWhy(errno, why, whySize);
    return false;
  }
  if (static_cast<std::size_t>(written) == length) return true;
  // A short write: the disk is full, or the file at its size limit. The rest, tried once,
  // says which (or completes the record after all).
  const std::size_t first = static_cast<std::size_t>(written);
  ssize_t rest = WriteOnce(file, data + first, length - first);
  if (rest >= 0 && first + static_cast<std::size_t>(rest) == length) return true;
  TellWhy(rest < 0 ? errno : ENOSPC, why, whySize);
  // The file ends where the record began, so that its last line is a whole one. The offset of
  // an appending descriptor is the file's end after its own write.
  const off_t end = lseek(file, 0, SEEK_CUR);
  const off_t taken = static_cast<off_t>(first + (rest > 0 ? static_cast<std::size_t>(rest) : 0));
  if (end >= taken && ftruncate(file, end - taken) != 0) {
    // the partial line stays; the failure is reported all the same
  }
  return false;
}

void CloseAppendFile(int file) {
  if (file >= 0) close(file);
}
