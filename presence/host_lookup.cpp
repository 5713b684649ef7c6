// Host-name lookup that a stopping receive thread need not wait for.
#include "presence/host_lookup.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/net.h"

thread_local const std::atomic<uint8_t>* LookupAbandonFlag = nullptr;
std::atomic<HostLookupFunction> HostLookupOverride{nullptr};

static bool LookUpName(const char* name, uint32_t* address) {
  HostLookupFunction lookup = HostLookupOverride.load();
  return lookup ? lookup(name, address) : NetLookUpHost(name, address);
}

namespace {
struct LookupJob {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  bool found = false;
  uint32_t address = 0;
  char host[2048] = {0};
};
}  // namespace

// Runs the lookup on a helper thread and waits for it while goOn(context) holds. The helper
// touches nothing but its own record, so the caller is free to walk away at any time.
static int LookUpOnHelper(const char* host, uint32_t* address, bool (*goOn)(void*), void* context) {
  std::shared_ptr<LookupJob> job;
  try {
    job = std::make_shared<LookupJob>();
    std::size_t n = strnlen(host, sizeof job->host - 1);
    std::memcpy(job->host, host, n);
    std::thread([job] {
      uint32_t found = 0;
      bool ok = LookUpName(job->host, &found);
      std::lock_guard<std::mutex> hold(job->mutex);
      job->found = ok;
      job->address = found;
      job->finished = true;
      job->done.notify_all();
    }).detach();
  } catch (...) {  // no memory or no thread: look up here and now
    return LookUpName(host, address) ? 1 : -2;
  }
  std::unique_lock<std::mutex> hold(job->mutex);
  while (!job->finished) {
    hold.unlock();
    bool stay = goOn(context);
    hold.lock();
    if (!stay && !job->finished) return -2;
    job->done.wait_for(hold, std::chrono::milliseconds(5));
  }
  if (!job->found) return -2;
  *address = job->address;
  return 1;
}

static bool NotAbandoned(void* flag) {
  return static_cast<const std::atomic<uint8_t>*>(flag)->load() == 0;
}

int LookUpHost(const char* host, uint32_t* address) {
  if (!host || !*host) return -2;
  if (NetParseDotted(host, address)) return 1;
  const std::atomic<uint8_t>* abandon = LookupAbandonFlag;
  if (!abandon) return LookUpName(host, address) ? 1 : -2;
  return LookUpOnHelper(host, address, NotAbandoned, const_cast<std::atomic<uint8_t>*>(abandon));
}

int LookUpHostWhile(const char* host, uint32_t* address, bool (*keepWaiting)(void*), void* context) {
  if (!host || !*host) return -2;
  if (NetParseDotted(host, address)) return 1;
  if (!keepWaiting) return LookUpName(host, address) ? 1 : -2;
  return LookUpOnHelper(host, address, keepWaiting, context);
}
