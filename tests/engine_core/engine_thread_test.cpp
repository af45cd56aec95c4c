// The engine thread's task queue: order, timers, signals, stopping, and
// being destroyed from one of its own tasks; the watchdog that times
// blocking calls and takes over threads nobody waits for.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/engine_core/engine_thread.h"
#include "platform/engine_core/engine_watchdog.h"
#include "support/log_lines.h"

namespace corvane::platform {
namespace {

using namespace std::chrono_literals;

TEST(EngineThread, RunsPostedTasksInOrder_AndTimersWhenDue) {
  EngineThread thread("test");
  std::mutex mutex;
  std::vector<int> order;
  std::promise<void> done;
  const auto record = [&](int value) {
    std::lock_guard<std::mutex> lock(mutex);
    order.push_back(value);
  };
  thread.PostDelayed(60ms, [&] {
    record(4);
    done.set_value();
  });
  thread.PostDelayed(20ms, [&] { record(3); });
  thread.Post([&] { record(1); });
  thread.Post([&] { record(2); });
  ASSERT_EQ(done.get_future().wait_for(2s), std::future_status::ready);
  std::lock_guard<std::mutex> lock(mutex);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

TEST(EngineThread, Signals_BeforeTheTaskRuns_RunItOnce) {
  EngineThread thread("test");
  std::atomic<int> runs{0};
  std::promise<void> release;
  auto released = release.get_future().share();
  thread.SetSignalTask([&] { ++runs; });
  thread.Post([released] { released.wait(); });  // keep the thread busy
  for (int i = 0; i < 50; ++i) thread.Signal();
  release.set_value();
  const auto waitForRuns = [&](int expected) {
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (runs.load() < expected && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(20ms);  // room for a wrong second run
    return runs.load();
  };
  EXPECT_EQ(waitForRuns(1), 1);
  thread.Signal();
  EXPECT_EQ(waitForRuns(2), 2) << "a signal after the run runs it again";
}

TEST(EngineThread, Stop_RunsWhatWasPosted_DropsPendingTimers_AndRefusesMore) {
  EngineThread thread("test");
  std::atomic<int> posted{0}, timers{0}, late{0};
  thread.Post([&] { ++posted; });
  thread.PostDelayed(10s, [&] { ++timers; });
  thread.Stop();
  thread.Post([&] { ++late; });
  thread.Signal();
  EXPECT_TRUE(thread.WaitStopped(2s));
  EXPECT_EQ(posted.load(), 1);
  EXPECT_EQ(timers.load(), 0);
  EXPECT_EQ(late.load(), 0);
}

TEST(EngineThread, CanBeDestroyedFromItsOwnTask) {
  auto thread = std::make_shared<EngineThread>("test");
  std::promise<void> destroyed;
  auto* raw = thread.get();
  raw->Post([holder = std::move(thread), &destroyed]() mutable {
    holder.reset();  // the last owner lets go on the thread itself
    destroyed.set_value();
  });
  EXPECT_EQ(destroyed.get_future().wait_for(2s), std::future_status::ready);
}

bool WaitFor(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

const EngineWatchdog::Limits kShortLimits{50ms, 100ms, 5ms};

TEST(EngineWatchdog, ACallWaitingTooLong_IsLoggedOnceWhileItWaits_AndWhenItReturns) {
  test::LogLines log;
  EngineWatchdog watchdog(kShortLimits);
  const uint64_t quick = watchdog.CallStarted("a quick seek");
  watchdog.CallEnded(quick);
  const uint64_t slow = watchdog.CallStarted("a state change to NULL");
  ASSERT_TRUE(WaitFor([&] { return log.Count("waiting") == 1; })) << "logged while it still waits";
  std::this_thread::sleep_for(100ms);
  watchdog.CallEnded(slow);
  EXPECT_EQ(log.Count("has been waiting"), 1u);
  EXPECT_EQ(log.Count("a state change to NULL"), 2u) << "once waiting, once returned";
  EXPECT_EQ(log.Count("a quick seek"), 0u);
  EXPECT_EQ(watchdog.SlowCalls(), 1);
}

TEST(EngineWatchdog, StopWithoutWaiting_HandsTheThreadOver_WhichIsJoinedOnceItEnds_OrCountedAsStuck) {
  test::LogLines log;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  EngineWatchdog::Process();  // its thread exists before the count below
  {
    EngineThread busy("test");
    busy.Post([released] { released.wait(); });
    const auto start = std::chrono::steady_clock::now();
    busy.StopWithoutWaiting();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s) << "nothing waits for the busy thread";
  }  // destroyed while still busy: no join either
  EXPECT_EQ(EngineWatchdog::Process().EndingThreads(), 1);
  release.set_value();
  EXPECT_TRUE(WaitFor([] { return EngineWatchdog::Process().EndingThreads() == 0; })) << "joined once it ended";

  EngineWatchdog watchdog(kShortLimits);
  std::atomic<bool> ended{false};
  std::thread stuck([&] {
    while (!ended) std::this_thread::sleep_for(1ms);
  });
  watchdog.AdoptEnding(std::move(stuck), [&] { return ended.load(); });
  // Counted under the watchdog's lock, logged just after it.
  ASSERT_TRUE(WaitFor([&] { return watchdog.StuckThreads() == 1 && log.Count("still running") == 1; }));
  ended = true;
  EXPECT_TRUE(WaitFor([&] {
    return watchdog.EndingThreads() == 0 && log.Count("late media engine thread has ended") == 1;
  }));
  EXPECT_EQ(log.Count("still running"), 1u) << "logged once";
}

}  // namespace
}  // namespace corvane::platform
