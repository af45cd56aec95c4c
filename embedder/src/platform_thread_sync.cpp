// What the platform thread does the same on every system, on top of each
// system's Post and loop: waiting for a task, and the start of stopping.
#include "platform_thread.h"

#include <condition_variable>
#include <deque>
#include <cstdio>
#include <memory>
#include <mutex>

namespace corvane::embedder::internal {

bool PlatformThread::RunSync(const std::function<void()>& task, std::chrono::milliseconds timeout) {
  if (IsCurrent()) {
    task();
    return true;
  }
  struct Completion {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
  };
  auto completion = std::make_shared<Completion>();
  bool posted = Post([task, completion] {
    task();
    {
      std::lock_guard<std::mutex> lock(completion->mutex);
      completion->done = true;
    }
    completion->cv.notify_all();
  });
  if (!posted) return false;
  std::unique_lock<std::mutex> lock(completion->mutex);
  if (!completion->cv.wait_for(lock, timeout, [&] { return completion->done; })) {
    std::fprintf(stderr, "corvane embedder: a task on the platform thread did not finish within %lld ms\n",
                 static_cast<long long>(timeout.count()));
    return false;
  }
  return true;
}

bool PlatformThread::StopAccepting() {
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!accepting_ && !thread_.joinable()) return false;
    accepting_ = false;
    dropped.swap(tasks_);
  }
  // Destroyed outside the lock: a dropped task's captures may post again.
  dropped.clear();
  if (IsCurrent()) {
    std::fprintf(stderr, "corvane embedder: the platform thread cannot stop itself\n");
    return false;
  }
  return true;
}

}  // namespace corvane::embedder::internal
