// When to try again after the server link was lost: waits of 2, 4, 8 ... up to 60 seconds.
#pragma once
#include <cstdint>

struct ReconnectPlan {
  bool active = false;     // tries go on until one registers or the user stops them
  int failedTries = 0;
  uint32_t nextTryAt = 0;  // on the wrapping millisecond tick count
};

extern ReconnectPlan Reconnect;  // the plan of the one connection (main thread)

constexpr uint32_t kFirstRetryMs = 2000;
constexpr uint32_t kLongestRetryMs = 60000;

// The wait before the next try after this many failed ones.
uint32_t RetryWaitMs(int failedTries);
// The link was just lost: the first try comes after the first wait. Returns that wait.
uint32_t PlanFirstTry(ReconnectPlan* plan, uint32_t now);
// A try failed: the next one comes after a wait twice as long, at most a minute. Returns it.
uint32_t PlanNextTry(ReconnectPlan* plan, uint32_t now);
bool TryIsDue(const ReconnectPlan* plan, uint32_t now);
void StopPlan(ReconnectPlan* plan);
