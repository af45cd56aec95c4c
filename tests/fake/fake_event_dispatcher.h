// The fake engine's notification delivery: a queue of events run either on
// the engine thread the dispatcher owns, or, in manual mode, on whichever
// test thread calls DeliverPending. Events never run inside the call that
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

enum class Delivery {
  // Events run on the engine's own thread, in the order they were queued.
  EngineThread,
  // Events wait in the queue until the test calls DeliverPending, which
  // runs them on the test's thread: deterministic interleavings.
  Manual,
};

class FakeEventDispatcher {
 public:
  explicit FakeEventDispatcher(Delivery delivery);
  ~FakeEventDispatcher();
  FakeEventDispatcher(const FakeEventDispatcher&) = delete;
  FakeEventDispatcher& operator=(const FakeEventDispatcher&) = delete;

  Delivery delivery() const { return delivery_; }

  // Queues `event`, tagged with its owner (a player) so that closing the
  // owner can wait for its running event.
  void Post(const void* owner, std::function<void()> event);

  // Manual mode: runs every queued event, including those queued meanwhile,
  // on the calling thread; returns how many ran. Engine-thread mode: 0.
  size_t DeliverPending();

  // Waits until the queue is empty and no event runs; false on time-out.
  // In manual mode it only reports whether the queue is empty.
  bool WaitIdle(std::chrono::milliseconds timeout);

  // Waits (at most 5 s) until no event of `owner` runs, unless called from
  // inside an event (which would wait for itself).
  void WaitUntilOwnerIdle(const void* owner);

  // True on the thread that is running an event right now.
  bool InsideEvent() const;

  size_t Pending() const;

 private:
  struct Item {
    const void* owner;
    std::function<void()> event;
  };
  void RunOne(std::unique_lock<std::mutex>& lock);
  void ThreadMain();

  const Delivery delivery_;
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
