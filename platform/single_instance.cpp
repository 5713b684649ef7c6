// The instance lock (flock on a file) and the search for the running copy's window.
#include "platform/single_instance.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/x11_windows.h"

namespace {

int lockFile = -1;

// "QIVRA Beta 2" -> "QIVRA-Beta-2": file names without blanks are easier to handle.
void FileStem(const char* name, char* out, std::size_t outSize) {
  std::size_t i = 0;
  for (; name[i] && i + 1 < outSize; ++i) out[i] = (name[i] == ' ' || name[i] == '/') ? '-' : name[i];
  out[i] = '\0';
}

bool LockPath(const char* name, char* out, std::size_t outSize) {
  char stem[128];
  FileStem(name, stem, sizeof stem);
  const char* folder = std::getenv("QIVRA_LOCK_DIR");
  if (!folder || !*folder) folder = std::getenv("XDG_RUNTIME_DIR");
  int written;
  if (folder && *folder)
    written = std::snprintf(out, outSize, "%s/%s.lock", folder, stem);
  else
    written = std::snprintf(out, outSize, "/tmp/%s-%u.lock", stem, static_cast<unsigned>(getuid()));
  return written > 0 && static_cast<std::size_t>(written) < outSize;
}

void PauseMs(long ms) {
  struct timespec pause = {ms / 1000, (ms % 1000) * 1000000L};
  nanosleep(&pause, nullptr);
}

}  // namespace

InstanceLockResult AcquireInstanceLock(const char* name) {
  char path[4096];
  if (!LockPath(name, path, sizeof path)) return LockUnavailable;
  int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return LockUnavailable;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return LockHeldElsewhere;
  }
  lockFile = fd;
  return LockAcquired;
}

void ReleaseInstanceLock() {
  if (lockFile < 0) return;
  flock(lockFile, LOCK_UN);
  close(lockFile);
  lockFile = -1;
}

bool BringRunningCopyForward(const char* windowClass) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  bool found = false;
  for (int attempt = 0; attempt < 20 && !found; ++attempt) {
    Window window = FindWindowByClass(display, windowClass);
    if (window) {
      found = true;
      // An activation is occasionally missed: check and ask once more.
      for (int tries = 0; tries < 2; ++tries) {
        ActivateWindow(display, window);
        PauseMs(100);
        if (WindowHasFocus(display, window)) break;
      }
    } else {
      PauseMs(100);
    }
  }
  XCloseDisplay(display);
  return found;
}
