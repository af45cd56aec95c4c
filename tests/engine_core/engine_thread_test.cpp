// The engine thread's task queue: order, timers, signals, stopping, and
// being destroyed from one of its own tasks.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/engine_core/engine_thread.h"

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

}  // namespace
}  // namespace corvane::platform
