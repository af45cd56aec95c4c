// The fake engine's notification delivery: a queue of events run in order
// on the engine thread the dispatcher owns, never inside the call that
// queued them.
#ifndef CORVANE_TESTS_FAKE_FAKE_EVENT_DISPATCHER_H_
#define CORVANE_TESTS_FAKE_FAKE_EVENT_DISPATCHER_H_

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace corvane::testing {

class FakeEventDispatcher {
 public:
  FakeEventDispatcher();
  ~FakeEventDispatcher();
  FakeEventDispatcher(const FakeEventDispatcher&) = delete;
  FakeEventDispatcher& operator=(const FakeEventDispatcher&) = delete;

  // Queues `event`, tagged with its owner (a player) so that closing the
  // owner can wait for its running event.
  void Post(const void* owner, std::function<void()> event);

  // Waits until the queue is empty and no event runs; false on time-out.
  bool WaitIdle(std::chrono::milliseconds timeout);

  // Waits (at most `limit`) until no event of `owner` runs, unless called
  // from inside an event (which would wait for itself).
  void WaitUntilOwnerIdle(const void* owner, std::chrono::milliseconds limit);

 private:
  struct Item {
    const void* owner;
    std::function<void()> event;
  };
  void ThreadMain();

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Item> queue_;
  const void* runningOwner_ = nullptr;
  bool running_ = false;
  std::thread::id runningThread_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_FAKE_FAKE_EVENT_DISPATCHER_H_
