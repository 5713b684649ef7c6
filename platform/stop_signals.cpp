// Stop signals: the handler only notes the request and raises a descriptor; the loops act on it.
#include "platform/stop_signals.h"

#include <errno.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <initializer_list>

namespace {

volatile sig_atomic_t stopRequested = 0;
int stopWake = -1;

// Only async-signal-safe calls: a store and a write(2), errno kept for the interrupted code.
void OnStopSignal(int) {
  int saved = errno;
  stopRequested = 1;
  uint64_t one = 1;
  if (stopWake >= 0 && write(stopWake, &one, sizeof one) < 0) {
    // the counter is already raised
  }
  errno = saved;
}

}  // namespace

bool CatchStopSignals() {
  if (stopWake < 0) stopWake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // reads and writes under way go on; the loops look at the flag
  bool caught = true;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) caught = sigaction(signal, &action, nullptr) == 0 && caught;
  return caught && stopWake >= 0;
}

bool StopRequested() { return stopRequested != 0; }

int StopSignalDescriptor() { return stopWake; }
