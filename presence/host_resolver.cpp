// The lookup worker for members' hosts: a bounded queue, a few helper threads, and results
// handed back to the thread that asked.
#include "presence/host_resolver.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/net.h"
#include "presence/host_lookup.h"

namespace {

constexpr int kWaitingLookups = 256;  // a WHO of a full channel with a name for every host
constexpr int kHelpers = 4;           // lookups under way at once

// A helper touches nothing but its own job, so a connection may end while it still waits.
struct Job {
  ResolvedHost result;
  HostResolved done = nullptr;
  std::atomic<uint8_t> state{0};  // 0 waiting, 1 under way, 2 finished
  uint32_t generation = 0;
};

struct Worker {
  std::mutex mutex;
  std::shared_ptr<Job> jobs[kWaitingLookups];
  uint32_t generation = 1;
  int signal = NetOpenWakeSignal();  // for the life of the process
};
Worker Lookups;

void CopyCut(char* out, std::size_t size, const char* text) {
  std::size_t n = strnlen(text, size - 1);
  std::memcpy(out, text, n);
  out[n] = '\0';
}

void Fill(ResolvedHost* r, int index, const char* nick, const char* host, HostOrigin origin) {
  std::memset(r, 0, sizeof *r);
  r->index = index;
  r->origin = origin;
  CopyCut(r->nick, sizeof r->nick, nick ? nick : "");
  CopyCut(r->host, sizeof r->host, host ? host : "");
}

// Starts a helper for a waiting job (the worker's lock held). False: no thread could be made.
bool StartHelper(const std::shared_ptr<Job>& job) {
  job->state.store(1);
  int signal = Lookups.signal;
  try {
    std::thread([job, signal] {
      HostAddresses found = {};
      // The lookup itself; HostLookupOverride stands in for the resolver in tests.
      job->result.found = LookUpHost(job->result.host, &found) == 1;
      job->result.addresses = found;
      job->state.store(2);
      NetRaiseWakeSignal(signal);
    }).detach();
  } catch (...) {
    job->state.store(2);  // delivered as not found
    return false;
  }
  return true;
}

void StartWaiting() {
  int running = 0;
  for (const auto& job : Lookups.jobs)
    if (job && job->state.load() == 1) ++running;
  for (const auto& job : Lookups.jobs) {
    if (running >= kHelpers) return;
    if (job && job->state.load() == 0 && StartHelper(job)) ++running;
  }
}

}  // namespace

void ResolveMemberHost(int index, const char* nick, const char* host, HostOrigin origin, HostResolved done) {
  ResolvedHost now;
  Fill(&now, index, nick, host, origin);
  NetAddress literal = {};
  if (!now.host[0] || NetParseAddress(now.host, &literal)) {
    // A literal needs no resolver, but it takes LookUpHost's rules: an IPv6 address is no
    // address at all to a client kept to IPv4, which then asks the member for another.
    now.found = now.host[0] && LookUpHost(now.host, &now.addresses) == 1;
    if (!now.found) now.addresses.count = 0;
    done(now);
    return;
  }
  {
    std::lock_guard<std::mutex> hold(Lookups.mutex);
    std::shared_ptr<Job>* free = nullptr;
    for (auto& job : Lookups.jobs) {
      if (job && job->state.load() == 0 && job->result.index == index && job->result.origin == origin) {
        job->result = now;  // one waiting lookup per member and origin: the newest host
        job->done = done;
        return;
      }
      if (!free && !job) free = &job;
    }
    if (free) {
      try {
        *free = std::make_shared<Job>();
      } catch (...) {
        free = nullptr;
      }
    }
    if (free) {
      (*free)->result = now;
      (*free)->done = done;
      (*free)->generation = Lookups.generation;
      StartWaiting();
      return;
    }
  }
  done(now);  // the queue is full: taken as a host that does not resolve
}

void DeliverResolvedHosts() {
  std::shared_ptr<Job> finished[kWaitingLookups];
  int count = 0;
  {
    std::lock_guard<std::mutex> hold(Lookups.mutex);
    for (auto& job : Lookups.jobs) {
      if (!job || job->state.load() != 2) continue;
      if (job->generation == Lookups.generation) finished[count++] = job;
      job.reset();
    }
    StartWaiting();
  }
  // Outside the lock: done may queue lines and greet, and may ask for another lookup.
  for (int i = 0; i < count; ++i) finished[i]->done(finished[i]->result);
}

int ResolvedHostSignal() { return Lookups.signal; }

void ForgetHostLookups() {
  std::lock_guard<std::mutex> hold(Lookups.mutex);
  ++Lookups.generation;
  for (auto& job : Lookups.jobs) {
    if (job && job->state.load() == 0) job.reset();
  }
}
