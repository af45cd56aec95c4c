// The choice of the dispatcher-queue tier and the lines it writes, for each
// answer the system can give. Portable: runs natively and under Wine.
#include "platform/windows/queue_tier.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane::test {
namespace {

using platform::windows::ChooseQueueTier;
using platform::windows::ControllerAnswer;
using platform::windows::QueueTier;
using platform::windows::QueueTierAttempts;
using platform::windows::ThreadQueueAnswer;

// Answers as scripted and records which attempts were made, in order.
class ScriptedAttempts final : public QueueTierAttempts {
 public:
  ScriptedAttempts(ThreadQueueAnswer thread, ControllerAnswer controller, bool window)
      : thread_(thread), controller_(controller), window_(window) {}
  ThreadQueueAnswer FindThreadQueue() override {
    made.push_back("thread");
    return thread_;
  }
  ControllerAnswer CreateOwnController() override {
    made.push_back("controller");
    return controller_;
  }
  bool CreateMessageWindow() override {
    made.push_back("window");
    return window_;
  }
  std::vector<std::string> made;

 private:
  ThreadQueueAnswer thread_;
  ControllerAnswer controller_;
  bool window_;
};

struct Row {
  const char* name;
  bool modern;
  ThreadQueueAnswer thread;
  ControllerAnswer controller;
  bool window;
  QueueTier tier;
  std::vector<std::string> made;
  std::vector<std::string> log;
};

const char kUsingExisting[] = "CorvanePlugin: Using existing DispatcherQueue for current thread\n";
const char kThreadFailed[] = "CorvanePlugin: DispatcherQueue::GetForCurrentThread() failed or not available\n";
const char kAttempting[] = "CorvanePlugin: Attempting to create DispatcherQueueController\n";
const char kCreated[] = "CorvanePlugin: DispatcherQueueController created successfully\n";
const char kNoCoreMessaging[] = "CorvanePlugin: CoreMessaging.dll not found - running on older Windows version\n";
const char kNoFunction[] = "CorvanePlugin: CreateDispatcherQueueController function not available\n";
const char kCreateFailed[] = "CorvanePlugin: Failed to create DispatcherQueueController\n";
const char kQueueReadFailed[] = "CorvanePlugin: Exception while getting DispatcherQueue from controller\n";
const char kRunningWithout[] = "CorvanePlugin: Running without DispatcherQueueController\n";
const char kWindow[] = "CorvanePlugin: Using a message window for the dispatcher queue\n";
const char kNoWindow[] = "CorvanePlugin: Failed to create a message window for the dispatcher queue\n";

TEST(ChooseQueueTier, TakesTheFirstTierTheSystemOffers_AndLogsEachFinding) {
  using T = ThreadQueueAnswer;
  using C = ControllerAnswer;
  const std::vector<Row> rows = {
      {"thread queue found: nothing else is tried", true, T::Found, C::Created, true, QueueTier::ThreadQueue,
       {"thread"}, {kUsingExisting}},
      {"thread without a queue: own controller", true, T::None, C::Created, true, QueueTier::OwnController,
       {"thread", "controller"}, {kAttempting, kCreated}},
      {"statics unavailable: own controller", true, T::Failed, C::Created, true, QueueTier::OwnController,
       {"thread", "controller"}, {kThreadFailed, kAttempting, kCreated}},
      {"Wine: no class, no CoreMessaging", true, T::Failed, C::NoCoreMessaging, true, QueueTier::MessageWindow,
       {"thread", "controller", "window"}, {kThreadFailed, kAttempting, kNoCoreMessaging, kRunningWithout, kWindow}},
      {"CoreMessaging without the export", true, T::None, C::NoCreateFunction, true, QueueTier::MessageWindow,
       {"thread", "controller", "window"}, {kAttempting, kNoFunction, kRunningWithout, kWindow}},
      {"controller creation fails", true, T::None, C::CreateFailed, true, QueueTier::MessageWindow,
       {"thread", "controller", "window"}, {kAttempting, kCreateFailed, kRunningWithout, kWindow}},
      {"controller without a queue", true, T::None, C::NoQueue, true, QueueTier::MessageWindow,
       {"thread", "controller", "window"}, {kAttempting, kCreateFailed, kRunningWithout, kWindow}},
      {"controller's queue cannot be read", true, T::None, C::QueueReadFailed, true, QueueTier::MessageWindow,
       {"thread", "controller", "window"}, {kAttempting, kQueueReadFailed, kRunningWithout, kWindow}},
      // The caller then writes "Running without DispatcherQueueController"
      // itself, so it is not written twice.
      {"nothing at all: inline", true, T::Failed, C::NoCoreMessaging, false, QueueTier::Inline,
       {"thread", "controller", "window"}, {kThreadFailed, kAttempting, kNoCoreMessaging, kNoWindow}},
      {"older Windows: straight to the window", false, T::Found, C::Created, true, QueueTier::MessageWindow,
       {"window"}, {kWindow}},
      {"older Windows without a window: inline", false, T::Found, C::Created, false, QueueTier::Inline, {"window"},
       {kNoWindow}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScriptedAttempts attempts(row.thread, row.controller, row.window);
    std::vector<std::string> log;
    const QueueTier tier = ChooseQueueTier(row.modern, attempts, [&](const char* line) { log.emplace_back(line); });
    EXPECT_EQ(row.tier, tier);
    EXPECT_EQ(row.made, attempts.made);
    EXPECT_EQ(row.log, log);
  }
}

}  // namespace
}  // namespace corvane::test
