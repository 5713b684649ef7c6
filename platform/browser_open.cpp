// Handing a web address to the desktop's browser through xdg-open, never waiting on it.
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/console_panel.h"

bool OpenInBrowser(const char* address, int length) {
  if (!address || length <= 0) return false;
  char url[2048];
  bool bare = length >= 4 && (std::strncmp(address, "www.", 4) == 0 || std::strncmp(address, "WWW.", 4) == 0);
  int written = std::snprintf(url, sizeof url, "%s%.*s", bare ? "http://" : "", length, address);
  if (written <= 0 || written >= static_cast<int>(sizeof url)) return false;
  // The address goes to the program as one argument: no shell ever reads it. A child starts
  // it and ends at once, so the browser belongs to init and leaves no zombie behind, and the
  // window's thread waits only for that short-lived child, never for the browser.
  char program[] = "xdg-open";
  char* argv[] = {program, url, nullptr};
  pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    pid_t opener = fork();
    if (opener == 0) {
      for (int fd = 3; fd < 1024; ++fd) close(fd);  // the browser gets no socket of ours
      execvp(program, argv);
      _exit(127);
    }
    _exit(opener < 0 ? 1 : 0);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
