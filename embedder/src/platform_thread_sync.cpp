// Waiting for a platform-thread task: the same on every system, on top of
// each system's Post.
#include "platform_thread.h"

#include <condition_variable>
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

}  // namespace corvane::embedder::internal
