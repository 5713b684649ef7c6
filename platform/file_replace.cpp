// Whole-file replacement through a synced temporary file in the same folder and a rename.
#include "platform/file_replace.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace {

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Makes the rename itself last across a crash; a folder that cannot be synced still holds it.
void SyncFolderOf(const char* path) {
  char folder[4096];
  const char* slash = strrchr(path, '/');
  if (!slash) {
    folder[0] = '.';
    folder[1] = '\0';
  } else {
    std::size_t n = slash == path ? 1 : static_cast<std::size_t>(slash - path);
    if (n >= sizeof folder) return;
    memcpy(folder, path, n);
    folder[n] = '\0';
  }
  int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

FileReplaceResult ReplaceFileContents(const char* path, const void* data, std::size_t size) {
  char temporary[4200];
  int length = snprintf(temporary, sizeof temporary, "%s.XXXXXX", path ? path : "");
  if (!path || !*path || length < 0 || static_cast<std::size_t>(length) >= sizeof temporary) return FileNotOpened;
  int fd = mkostemp(temporary, O_CLOEXEC);
  if (fd < 0) return FileNotOpened;
  // A file over the size limit would end the program with SIGXFSZ; a failed write is enough.
  struct sigaction ignore = {}, previous = {};
  ignore.sa_handler = SIG_IGN;
  bool limitIgnored = sigaction(SIGXFSZ, &ignore, &previous) == 0;
  bool written = WriteAll(fd, static_cast<const char*>(data), size) && fsync(fd) == 0;
  if (limitIgnored) sigaction(SIGXFSZ, &previous, nullptr);
  // mkostemp makes it 0600, as the user's settings should be.
  if (close(fd) != 0) written = false;
  if (!written) {
    unlink(temporary);
    return FileNotWritten;
  }
  if (rename(temporary, path) != 0) {
    unlink(temporary);
    return FileNotRenamed;
  }
  SyncFolderOf(path);
  return FileReplaced;
}
