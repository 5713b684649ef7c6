// Host-name lookup: literals at once, names by the system resolver, and a waiting form to walk away from.
#include "presence/host_lookup.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/net.h"
#include "presence/socket_address.h"

std::atomic<HostLookupFunction> HostLookupOverride{nullptr};

static bool LookUpName(const char* name, HostAddresses* found, bool ipv6) {
  HostLookupFunction lookup = HostLookupOverride.load();
  found->count = lookup ? lookup(name, found->list, kHostAddresses)
                        : NetLookUpHostAll(name, found->list, kHostAddresses, ipv6);
  if (found->count < 0 || found->count > kHostAddresses) found->count = 0;
  // A client without IPv6 keeps to IPv4 whoever answered.
  int kept = 0;
  for (int i = 0; i < found->count; ++i)
    if (ipv6 || found->list[i].family == kNetIPv4) found->list[kept++] = found->list[i];
  found->count = kept;
  return kept > 0;
}

// A literal of a family this client uses; an IPv6 one while IPv6 is off is no address at all.
static bool TakeLiteral(const char* host, HostAddresses* found, int* result) {
  NetAddress address = {};
  if (!NetParseAddress(host, &address)) return false;
  found->count = 0;
  if (address.family == kNetIPv6 && !LinkIPv6) {
    *result = -2;
    return true;
  }
  found->list[0] = address;
  found->count = 1;
  *result = 1;
  return true;
}

namespace {
struct LookupJob {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  bool ipv6 = true;
  HostAddresses found = {};
  char host[2048] = {0};
};
}  // namespace

// Runs the lookup on a helper thread and waits for it while goOn(context) holds. The helper
// touches nothing but its own record, so the caller is free to walk away at any time.
static int LookUpOnHelper(const char* host, HostAddresses* found, bool (*goOn)(void*), void* context) {
  std::shared_ptr<LookupJob> job;
  try {
    job = std::make_shared<LookupJob>();
    std::size_t n = strnlen(host, sizeof job->host - 1);
    std::memcpy(job->host, host, n);
    job->ipv6 = LinkIPv6;
    std::thread([job] {
      HostAddresses addresses = {};
      LookUpName(job->host, &addresses, job->ipv6);
      std::lock_guard<std::mutex> hold(job->mutex);
      job->found = addresses;
      job->finished = true;
      job->done.notify_all();
    }).detach();
  } catch (...) {  // no memory or no thread: look up here and now
    return LookUpName(host, found, LinkIPv6) ? 1 : -2;
  }
  std::unique_lock<std::mutex> hold(job->mutex);
  while (!job->finished) {
    hold.unlock();
    bool stay = goOn(context);
    hold.lock();
    if (!stay && !job->finished) return -2;
    job->done.wait_for(hold, std::chrono::milliseconds(5));
  }
  if (job->found.count == 0) return -2;
  *found = job->found;
  return 1;
}

int LookUpHost(const char* host, HostAddresses* found) {
  found->count = 0;
  if (!host || !*host) return -2;
  int result = -2;
  if (TakeLiteral(host, found, &result)) return result;
  return LookUpName(host, found, LinkIPv6) ? 1 : -2;
}

int LookUpHostWhile(const char* host, HostAddresses* found, bool (*keepWaiting)(void*), void* context) {
  found->count = 0;
  if (!host || !*host) return -2;
  int result = -2;
  if (TakeLiteral(host, found, &result)) return result;
  if (!keepWaiting) return LookUpName(host, found, LinkIPv6) ? 1 : -2;
  return LookUpOnHelper(host, found, keepWaiting, context);
}
