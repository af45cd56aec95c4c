// Polls a condition from a test until it holds or a limit passes.
#ifndef CORVANE_TESTS_SUPPORT_EVENTUALLY_H_
#define CORVANE_TESTS_SUPPORT_EVENTUALLY_H_

#include <chrono>
#include <thread>

namespace corvane::testing {

template <typename Condition>
bool Eventually(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_SUPPORT_EVENTUALLY_H_
