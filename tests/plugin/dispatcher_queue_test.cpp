// The road from engine threads to the platform thread: a GLib main context
// queue, SafeEnqueue's modes, and the guarded real-time accessors.
#include <glib.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/debug_log.h"
#include "fake/fake_media_engine.h"
#include "platform/dispatcher_queue.h"
#include "platform/linux/glib_handles.h"
#include "platform/linux/main_context_queue.h"

namespace corvane::platform {
namespace {

using namespace std::chrono_literals;

// Iterates `context` on this thread until `done` or a deadline.
bool IterateUntil(GMainContext* context, const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    g_main_context_iteration(context, FALSE);
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// A task that counts its runs and the copies made of it, wherever made.
struct CountedTask {
  struct Counts {
    std::atomic<int> copies{0};
    std::atomic<int> runs{0};
  };
  explicit CountedTask(std::shared_ptr<Counts> shared) : counts(std::move(shared)) {}
  CountedTask(const CountedTask& other) : counts(other.counts) { ++counts->copies; }
  CountedTask(CountedTask&&) = default;
  void operator()() const { ++counts->runs; }
  std::shared_ptr<Counts> counts;
};

class MainContextQueueTest : public ::testing::Test {
 protected:
  void SetUp() override { g_main_context_push_thread_default(context); }
  void TearDown() override { g_main_context_pop_thread_default(context); }
  const MainContextPtr owned{g_main_context_new()};  // Adopt
  GMainContext* const context = owned.get();
};

gboolean RecordHostTask(gpointer order) {
  static_cast<std::vector<int>*>(order)->push_back(0);
  return G_SOURCE_REMOVE;
}

TEST_F(MainContextQueueTest, RunsTasksLaterOnTheContextThread_InPostingOrder_WithTheHostsOwn) {
  auto queue = CreateQueueForThreadDefaultContext();
  std::vector<int> order;
  ASSERT_TRUE(queue->TryEnqueue([&] { order.push_back(1); }));
  // The host's work (a method call) posted between two of ours.
  const SourcePtr host(g_idle_source_new());  // Adopt
  g_source_set_priority(host.get(), G_PRIORITY_DEFAULT);
  g_source_set_callback(host.get(), &RecordHostTask, &order, nullptr);
  g_source_attach(host.get(), context);
  ASSERT_TRUE(queue->TryEnqueue([&] { order.push_back(2); }));
  EXPECT_TRUE(order.empty()) << "a post from the owning thread must not run inline";
  ASSERT_TRUE(IterateUntil(context, [&] { return order.size() == 3; }));
  EXPECT_EQ(order, (std::vector<int>{1, 0, 2})) << "a task ran ahead of host work posted before it";
}

TEST_F(MainContextQueueTest, CarriesTasksFromOtherThreadsToThisOne) {
  auto queue = CreateQueueForThreadDefaultContext();
  const auto platformThread = std::this_thread::get_id();
  std::atomic<int> ran{0};
  std::atomic<int> elsewhere{0};
  std::vector<std::thread> engines;
  for (int t = 0; t < 4; ++t) {
    engines.emplace_back([&] {
      for (int i = 0; i < 50; ++i) {
        SafeEnqueue(queue.get(), [&] {
          if (std::this_thread::get_id() != platformThread) ++elsewhere;
          ++ran;
        });
      }
    });
  }
  for (auto& engine : engines) engine.join();
  ASSERT_TRUE(IterateUntil(context, [&] { return ran == 200; }));
  EXPECT_EQ(elsewhere, 0);
}

TEST_F(MainContextQueueTest, SafeEnqueue_HandsTheTaskOverWithoutCopyingIt) {
  auto queue = CreateQueueForThreadDefaultContext();
  const auto counts = std::make_shared<CountedTask::Counts>();
  SafeEnqueue(queue.get(), CountedTask(counts));
  ASSERT_TRUE(IterateUntil(context, [&] { return counts->runs == 1; }));
  EXPECT_EQ(counts->copies, 0);
}

TEST_F(MainContextQueueTest, Shutdown_DropsTasksNotYetRun_AndRefusesLaterOnes) {
  auto queue = CreateQueueForThreadDefaultContext();
  std::atomic<int> ran{0};
  auto witness = std::make_shared<int>(0);
  std::weak_ptr<int> captured = witness;
  ASSERT_TRUE(queue->TryEnqueue([&ran, witness] { ++ran; }));
  witness.reset();
  queue->Shutdown();
  EXPECT_TRUE(captured.expired()) << "a dropped task's captures are released";
  EXPECT_FALSE(queue->TryEnqueue([&] { ++ran; }));
  SafeEnqueue(queue.get(), [&] { ++ran; });
  for (int i = 0; i < 10; ++i) g_main_context_iteration(context, FALSE);
  EXPECT_EQ(ran, 0);
}

TEST_F(MainContextQueueTest, ATaskThatRaises_DoesNotStopTheQueue) {
  auto queue = CreateQueueForThreadDefaultContext();
  bool after = false;
  queue->TryEnqueue([] { throw hresult_error(kFail, "task failed"); });
  queue->TryEnqueue([&] { after = true; });
  EXPECT_TRUE(IterateUntil(context, [&] { return after; }));
}

TEST(SafeEnqueue, RunsInlineOnTheCallingThread_WithoutAQueue) {
  std::vector<std::string> lines;
  ScopedDebugLogObserver observer([&](const std::string& line) { lines.push_back(line); });
  std::thread::id ranOn;
  std::thread engine([&] { SafeEnqueue(nullptr, [&] { ranOn = std::this_thread::get_id(); }); });
  const auto engineId = engine.get_id();
  engine.join();
  EXPECT_EQ(ranOn, engineId);
  SafeEnqueue(nullptr, [] { throw std::runtime_error("boom"); });
  EXPECT_EQ(lines, std::vector<std::string>{"CorvanePlugin: Exception in SafeEnqueue fallback execution\n"});
}

class RefusingQueue final : public DispatcherQueue {
 public:
  bool TryEnqueue(DispatcherTask&&) override { throw hresult_error(kFail, "cannot post"); }
  void Shutdown() override {}
};

TEST(SafeEnqueue, RunsTheTaskAtOnce_WithoutACopy_WhenPostingFails) {
  RefusingQueue queue;
  const auto counts = std::make_shared<CountedTask::Counts>();
  SafeEnqueue(&queue, CountedTask(counts));
  EXPECT_EQ(counts->runs, 1);
  EXPECT_EQ(counts->copies, 0) << "the failed post must leave the task itself to run";
}

TEST(RealTimePlayback, AFlagThatCannotBeReadOrWritten_IsFalseAndLogged) {
  std::vector<std::string> lines;
  ScopedDebugLogObserver observer([&](const std::string& line) { lines.push_back(line); });
  testing::FakeMediaEngine engine;
  auto player = engine.CreateMediaPlayer();
  SetRealTimePlayback(*player, true);
  EXPECT_TRUE(GetRealTimePlayback(*player));
  engine.LastPlayer()->Fail("RealTimePlayback get", kNoInterface);
  engine.LastPlayer()->Fail("RealTimePlayback set", kNoInterface);
  EXPECT_FALSE(GetRealTimePlayback(*player));
  SetRealTimePlayback(*player, false);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "CorvanePlugin: RealTimePlayback property not supported, assuming false\n",
                       "CorvanePlugin: RealTimePlayback property not supported, ignoring\n"}));
}

TEST(DebugLog, CutsALongLineToItsBuffer_KeepingTheLineFeed) {
  const std::string longInput(600, 'x');
  const std::string line = FormatDebugLine("CorvanePlugin: Setting media source to: %s\n", longInput.c_str());
  EXPECT_EQ(line.size(), kDebugLineCapacity - 1);
  EXPECT_EQ(line.back(), '\n');
  EXPECT_EQ(line.rfind("CorvanePlugin: Setting media source to: xxx", 0), 0u);
  EXPECT_EQ(FormatDebugLine("CorvanePlugin: Cannot play - current state: %d\n", 1),
            "CorvanePlugin: Cannot play - current state: 1\n");
}

}  // namespace
}  // namespace corvane::platform
