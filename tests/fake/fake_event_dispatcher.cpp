#include "fake/fake_event_dispatcher.h"

namespace corvane::testing {

FakeEventDispatcher::FakeEventDispatcher() : thread_([this] { ThreadMain(); }) {}

FakeEventDispatcher::~FakeEventDispatcher() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    queue_.clear();
  }
  changed_.notify_all();
  if (thread_.joinable()) {
    // The last owner may let go from inside an event; the thread then ends
    // on its own once that event returns.
    if (thread_.get_id() == std::this_thread::get_id()) {
      thread_.detach();
    } else {
      thread_.join();
    }
  }
}

void FakeEventDispatcher::Post(const void* owner, std::function<void()> event) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    queue_.push_back(Item{owner, std::move(event)});
  }
  changed_.notify_all();
}

void FakeEventDispatcher::ThreadMain() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    // The event runs with the lock released, so it may queue more or wait
    // for another player.
    Item item = std::move(queue_.front());
    queue_.pop_front();
    running_ = true;
    runningOwner_ = item.owner;
    runningThread_ = std::this_thread::get_id();
    lock.unlock();
    item.event();
    item.event = nullptr;  // captured references go outside the lock as well
    lock.lock();
    running_ = false;
    runningOwner_ = nullptr;
    runningThread_ = std::thread::id();
    changed_.notify_all();
  }
}

bool FakeEventDispatcher::WaitIdle(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [this] { return stopping_ || (queue_.empty() && !running_); });
}

void FakeEventDispatcher::WaitUntilOwnerIdle(const void* owner, std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (running_ && runningThread_ == std::this_thread::get_id()) return;
  // Bounded, as the real engine's close is: a handler stuck for seconds is
  // a test bug that should show as a failure, not a hang.
  changed_.wait_for(lock, limit, [this, owner] { return !running_ || runningOwner_ != owner; });
}

}  // namespace corvane::testing
