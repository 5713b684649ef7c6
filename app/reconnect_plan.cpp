// The growing waits between tries to reach a lost server again.
#include "app/reconnect_plan.h"

ReconnectPlan Reconnect;

uint32_t RetryWaitMs(int failedTries) {
  uint32_t wait = kFirstRetryMs;
  for (int i = 0; i < failedTries && wait < kLongestRetryMs; ++i) wait *= 2;
  return wait < kLongestRetryMs ? wait : kLongestRetryMs;
}

uint32_t PlanFirstTry(ReconnectPlan* plan, uint32_t now) {
  plan->active = true;
  plan->failedTries = 0;
  plan->nextTryAt = now + RetryWaitMs(0);
  return RetryWaitMs(0);
}

uint32_t PlanNextTry(ReconnectPlan* plan, uint32_t now) {
  plan->active = true;
  ++plan->failedTries;
  uint32_t wait = RetryWaitMs(plan->failedTries);
  plan->nextTryAt = now + wait;
  return wait;
}

bool TryIsDue(const ReconnectPlan* plan, uint32_t now) {
  return plan->active && static_cast<int32_t>(now - plan->nextTryAt) >= 0;
}

void StopPlan(ReconnectPlan* plan) { *plan = ReconnectPlan(); }
