// The message-window dispatcher queue with real Win32 under Wine: a real
// message-only window, real poster threads, and the test's main thread as
// the platform thread pumping its messages.
#include "platform/windows/message_window_queue.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "platform/hresult.h"
#include "windows/platform/message_pump.h"

namespace corvane::test {
namespace {

using platform::DispatcherQueue;
using platform::windows::CreateMessageWindowQueue;
using platform::windows::kMessageWindowClassName;

// Message-only windows of the queue's class that this process has now.
// The search sees every process's windows, and ctest runs other test
// programs beside this one.
int QueueWindowCount() {
  int count = 0;
  HWND window = nullptr;
  while ((window = FindWindowExW(HWND_MESSAGE, window, kMessageWindowClassName, nullptr)) != nullptr) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) ++count;
  }
  return count;
}

// Counts its destructions; moved-from copies do not count.
class Tracked {
 public:
  explicit Tracked(std::atomic<int>* destroyed) : destroyed_(destroyed) {}
  Tracked(const Tracked& other) : destroyed_(other.destroyed_) {}
  Tracked(Tracked&& other) noexcept : destroyed_(std::exchange(other.destroyed_, nullptr)) {}
  ~Tracked() {
    if (destroyed_) ++*destroyed_;
  }

 private:
  std::atomic<int>* destroyed_;
};

TEST(MessageWindowQueue, TasksFromSeveralThreads_RunOnThePlatformThread_InPostingOrderPerThread) {
  const std::shared_ptr<DispatcherQueue> queue = CreateMessageWindowQueue();
  ASSERT_TRUE(queue);
  const DWORD platformThread = GetCurrentThreadId();

  struct Ran {
    int poster;
    int sequence;
    DWORD thread;
  };
  std::vector<Ran> ran;  // platform thread only
  constexpr int kPosters = 4;
  constexpr int kTasksEach = 250;
  std::atomic<int> refused{0};
  std::vector<std::thread> posters;
  for (int poster = 0; poster < kPosters; ++poster) {
    posters.emplace_back([&, poster] {
      for (int sequence = 0; sequence < kTasksEach; ++sequence) {
        if (!queue->TryEnqueue([&ran, poster, sequence] { ran.push_back({poster, sequence, GetCurrentThreadId()}); })) {
          ++refused;
        }
      }
    });
  }
  // Posting never runs a task inside the call: until this thread pumps,
  // nothing has run.
  for (auto& poster : posters) poster.join();
  EXPECT_TRUE(ran.empty());
  EXPECT_EQ(0, refused.load());

  ASSERT_TRUE(PumpMessagesUntil([&] { return ran.size() == size_t{kPosters * kTasksEach}; }))
      << ran.size() << " tasks ran";
  int next[kPosters] = {};
  for (const Ran& task : ran) {
    EXPECT_EQ(platformThread, task.thread);
    EXPECT_EQ(next[task.poster]++, task.sequence) << "poster " << task.poster;
  }
  queue->Shutdown();
}

TEST(MessageWindowQueue, ATaskThatRaises_DoesNotStopTheOnesAfterIt) {
  const std::shared_ptr<DispatcherQueue> queue = CreateMessageWindowQueue();
  ASSERT_TRUE(queue);
  bool afterRan = false;
  ASSERT_TRUE(queue->TryEnqueue([] { throw std::runtime_error("task failed"); }));
  ASSERT_TRUE(queue->TryEnqueue([&] { afterRan = true; }));
  EXPECT_TRUE(PumpMessagesUntil([&] { return afterRan; }));
  queue->Shutdown();
}

TEST(MessageWindowQueue, Shutdown_DropsAndFreesUnrunTasks_RefusesLaterOnes_AndDestroysItsWindow) {
  const int windowsBefore = QueueWindowCount();
  std::shared_ptr<DispatcherQueue> queue = CreateMessageWindowQueue();
  ASSERT_TRUE(queue);
  EXPECT_EQ(windowsBefore + 1, QueueWindowCount());

  std::atomic<int> destroyed{0};
  std::atomic<int> runs{0};
  constexpr int kPosted = 50;
  std::thread poster([&] {
    for (int i = 0; i < kPosted; ++i) queue->TryEnqueue([&runs, tracked = Tracked(&destroyed)] { ++runs; });
  });
  poster.join();
  EXPECT_EQ(0, destroyed.load());

  queue->Shutdown();
  // Every task was freed at once, none ran, and the messages still on
  // their way find nothing to run.
  EXPECT_EQ(kPosted, destroyed.load());
  EXPECT_FALSE(queue->TryEnqueue([&runs, tracked = Tracked(&destroyed)] { ++runs; }));
  EXPECT_EQ(kPosted + 1, destroyed.load());
  PumpMessagesFor(std::chrono::milliseconds(100));
  EXPECT_EQ(0, runs.load());
  EXPECT_EQ(windowsBefore, QueueWindowCount());

  queue.reset();
  EXPECT_EQ(kPosted + 1, destroyed.load());
}

TEST(MessageWindowQueue, LastReferenceDroppedOnAnEngineThread_DestroysTheWindowOnThePlatformThread) {
  const int windowsBefore = QueueWindowCount();
  std::shared_ptr<DispatcherQueue> queue = CreateMessageWindowQueue();
  ASSERT_TRUE(queue);
  std::atomic<int> destroyed{0};
  bool ran = false;
  ASSERT_TRUE(queue->TryEnqueue([&ran, tracked = Tracked(&destroyed)] { ran = true; }));

  std::thread engine([held = std::move(queue)]() mutable { held.reset(); });
  engine.join();
  // The task went with the queue; the window waits for its own thread.
  EXPECT_EQ(1, destroyed.load());
  EXPECT_EQ(windowsBefore + 1, QueueWindowCount());
  EXPECT_TRUE(PumpMessagesUntil([&] { return QueueWindowCount() == windowsBefore; }));
  EXPECT_FALSE(ran);
}

TEST(MessageWindowQueue, APostThatFails_RaisesAndHandsTheTaskBack_SoSafeEnqueueRunsItItself) {
  // A thread that ends takes its windows with it: posts to the window fail.
  std::shared_ptr<DispatcherQueue> queue;
  std::thread gone([&] { queue = CreateMessageWindowQueue(); });
  gone.join();
  ASSERT_TRUE(queue);

  std::atomic<int> destroyed{0};
  platform::DispatcherTask task = [tracked = Tracked(&destroyed)] {};
  EXPECT_THROW(queue->TryEnqueue(std::move(task)), platform::hresult_error);
  EXPECT_TRUE(task) << "the task went with the failed post";
  EXPECT_EQ(0, destroyed.load()) << "the queue kept a copy";
  task = nullptr;
  EXPECT_EQ(1, destroyed.load());
  DWORD ranOn = 0;
  platform::SafeEnqueue(queue.get(), [&] { ranOn = GetCurrentThreadId(); });
  EXPECT_EQ(GetCurrentThreadId(), ranOn);
}

}  // namespace
}  // namespace corvane::test
