// Keeps the router's forwarding of the presence port on a helper thread per connection.
#include "presence/router_port.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/router_mapping.h"
#include "presence/datagram_link.h"

namespace {

constexpr int kAskMs = 3000;      // one attempt: NAT-PMP, then UPnP discovery
constexpr int kRemoveWaitMs = 1500;

struct Job {
  std::mutex mutex;
  std::condition_variable wake;
  bool stop = false;
  bool asking = true;    // the first attempt is under way: nothing to remove yet
  bool finished = false;
  uint32_t localAddress = 0;
  int leaseSeconds = kRouterLeaseSeconds;
};

// The jobs, under the lock, and what the current helper found, read without it. A detached
// helper holds its own job, so nothing here waits for one to end.
struct PortRecord {
  std::mutex lock;
  std::shared_ptr<Job> current;             // the connection's job, until RouterPortStop
  std::shared_ptr<Job> leaving;             // the last one stopped, until its mapping is removed
  std::atomic<uint32_t> publicAddress{0};
  std::atomic<int> report{0};               // 1 forwarded, 2 not; 0 nothing to say
};
PortRecord Port;

// Publishes what the attempt found, unless the connection has ended meanwhile.
void Publish(Job& job, bool mapped, uint32_t publicAddress, bool report) {
  std::lock_guard<std::mutex> hold(job.mutex);
  job.asking = false;
  if (job.stop) return;
  Port.publicAddress.store(mapped ? publicAddress : 0);
  if (report) Port.report.store(mapped ? 1 : 2);
}

void Run(std::shared_ptr<Job> job) {
  RouterLease lease;
  bool mapped = RouterMapUdpPort(kPresencePort, job->localAddress, job->leaseSeconds, kAskMs, &lease) == 1;
  Publish(*job, mapped, lease.publicAddress, true);
  while (mapped) {
    std::unique_lock<std::mutex> hold(job->mutex);
    // Renewed when half the lease has passed (a lease of 0 lasts until it is removed).
    auto renewAt = std::chrono::steady_clock::now() + std::chrono::seconds(lease.leaseSeconds / 2);
    while (!job->stop && (lease.leaseSeconds == 0 || std::chrono::steady_clock::now() < renewAt)) {
      if (lease.leaseSeconds == 0) {
        job->wake.wait(hold);
      } else {
        job->wake.wait_until(hold, renewAt);
      }
    }
    if (job->stop) break;
    hold.unlock();
    if (RouterRenewUdpPort(&lease, kAskMs) != 1) {  // the router forgot it: ask afresh
      mapped = RouterMapUdpPort(kPresencePort, job->localAddress, job->leaseSeconds, kAskMs, &lease) == 1;
      Publish(*job, mapped, lease.publicAddress, false);
    }
  }
  if (mapped) RouterUnmapUdpPort(&lease, kRemoveWaitMs);
  std::lock_guard<std::mutex> hold(job->mutex);
  job->finished = true;
  job->wake.notify_all();
}

}  // namespace

void RouterPortStart(bool wanted, uint32_t localAddress) {
  RouterPortStop();
  if (!wanted) return;
  std::shared_ptr<Job> job;
  try {
    job = std::make_shared<Job>();
    job->localAddress = localAddress;
    // Test seam: a short lease shows the renewal within a test's time.
    const char* lease = std::getenv("QIVRA_ROUTER_LEASE");
    if (lease && std::atoi(lease) >= 10) job->leaseSeconds = std::atoi(lease);
    std::thread(Run, job).detach();
  } catch (...) {  // no thread: presence relies on the handshake alone
    Port.report.store(2);
    return;
  }
  std::lock_guard<std::mutex> hold(Port.lock);
  Port.current = job;
}

void RouterPortStop() {
  std::shared_ptr<Job> job;
  {
    std::lock_guard<std::mutex> hold(Port.lock);
    job.swap(Port.current);
    if (job) Port.leaving = job;
  }
  Port.publicAddress.store(0);
  Port.report.store(0);
  if (!job) return;
  std::lock_guard<std::mutex> hold(job->mutex);
  job->stop = true;  // first: the helper publishes nothing from now on, and removes its mapping
  job->wake.notify_all();
}

void RouterPortSettle() {
  std::shared_ptr<Job> job;
  {
    std::lock_guard<std::mutex> hold(Port.lock);
    job.swap(Port.leaving);
  }
  if (!job) return;
  // A mapping is removed before this returns (bounded); an attempt still under way is left
  // to finish and remove what it made by itself, nobody waits for the router's discovery.
  std::unique_lock<std::mutex> hold(job->mutex);
  if (!job->asking)
    job->wake.wait_for(hold, std::chrono::milliseconds(kRemoveWaitMs), [&] { return job->finished; });
}

bool RouterPortTakeReport(char* text, std::size_t size) {
  int report = Port.report.exchange(0);
  if (!report || !text || size == 0) return false;
  std::snprintf(text, size, "%s",
                report == 1 ? "Router forwards UDP 6669 to this computer."
                            : "No router port mapping: presence relies on the handshake.");
  return true;
}

uint32_t RouterPublicAddress() { return Port.publicAddress.load(); }
