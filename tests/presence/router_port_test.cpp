// The router port mapping's helper thread where no router answers: one console line, no hold-up.
#include <gtest/gtest.h>

#include <net/if.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "presence/router_port.h"

namespace {

// Discovery sends to the local network: only where the test has a network of its own.
bool OnlyLoopback() {
  struct if_nameindex* names = if_nameindex();
  if (!names) return false;
  bool only = true;
  for (struct if_nameindex* n = names; n->if_index != 0; ++n) {
    if (std::strcmp(n->if_name, "lo") != 0) only = false;
  }
  if_freenameindex(names);
  return only;
}

TEST(RouterPort, WithoutARouterTheAttemptSaysSoOnceAndStopsPromptly) {
  if (!OnlyLoopback()) GTEST_SKIP() << "not in a network namespace of its own";
  char text[128];
  RouterPortStart(false, 0);
  EXPECT_FALSE(RouterPortTakeReport(text, sizeof text)) << "switched off: nothing asked, nothing said";

  RouterPortStart(true, 0);
  auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  bool said = false;
  while (!(said = RouterPortTakeReport(text, sizeof text)) && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(said);
  EXPECT_STREQ("No router port mapping: presence relies on the handshake.", text);
  EXPECT_FALSE(RouterPortTakeReport(text, sizeof text)) << "once";
  EXPECT_EQ(0u, RouterPublicAddress());
  auto before = std::chrono::steady_clock::now();
  RouterPortStop();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(1000));

  RouterPortStart(true, 0);  // stopped while the first attempt is still under way
  before = std::chrono::steady_clock::now();
  RouterPortStop();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(200));
  EXPECT_FALSE(RouterPortTakeReport(text, sizeof text)) << "an ended connection hears nothing more";
  before = std::chrono::steady_clock::now();
  RouterPortSettle();  // on the way out: nobody waits for an attempt still asking
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(200));
}

}  // namespace
