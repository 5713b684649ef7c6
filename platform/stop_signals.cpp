// Stop signals: the handler only notes the request and raises a descriptor; the loops act on it.
#include "platform/stop_signals.h"

#include <errno.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <initializer_list>

namespace {

// A stop signal's arrival: raised by the handler, on whichever thread the signal lands, and read
// by the loops; the wake descriptor is made once by CatchStopSignals. The flag is a lock-free
// atomic, which a handler may store to and another thread read.
struct StopSignalRecord {
  std::atomic<bool> requested;
  int wake;
};
StopSignalRecord Stop = {{false}, -1};
static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler stores to it");

// Only async-signal-safe calls: a lock-free store and a write(2), errno kept for the interrupted
// code.
void OnStopSignal(int) {
  int saved = errno;
  Stop.requested.store(true);
  uint64_t one = 1;
  if (Stop.wake >= 0 && write(Stop.wake, &one, sizeof one) < 0) {
    // the counter is already raised
  }
  errno = saved;
}

}  // namespace

bool CatchStopSignals() {
  if (Stop.wake < 0) Stop.wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // reads and writes under way go on; the loops look at the flag
  bool caught = true;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) caught = sigaction(signal, &action, nullptr) == 0 && caught;
  return caught && Stop.wake >= 0;
}

bool StopRequested() { return Stop.requested.load(); }

int StopSignalDescriptor() { return Stop.wake; }
