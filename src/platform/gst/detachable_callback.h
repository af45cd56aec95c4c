// A callback that streaming threads call and that its owner can cut off
// for good: once Detach returns, the callback is not running and never runs
// again, so whatever it captured may go.
//
// For pipelines that outlive the player they served (see
// PipelineRetirement): their sinks keep calling while they settle, and the
// player's callbacks must stop first. Calls hold a mutex while they run, so
// a callback must be short and must never wait for its own Detach.
#ifndef CORVANE_PLATFORM_GST_DETACHABLE_CALLBACK_H_
#define CORVANE_PLATFORM_GST_DETACHABLE_CALLBACK_H_

#include <functional>
#include <mutex>
#include <utility>

namespace corvane::platform::gst {

template <typename... Args>
class DetachableCallback {
 public:
  explicit DetachableCallback(std::function<void(Args...)> callback) : callback_(std::move(callback)) {}

  // Any thread.
  void operator()(Args... args) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (callback_) callback_(args...);
  }
  void Detach() {
    std::function<void(Args...)> dropped;
    std::lock_guard<std::mutex> lock(mutex_);
    dropped.swap(callback_);
  }

 private:
  mutable std::mutex mutex_;
  std::function<void(Args...)> callback_;  // guarded by mutex_
};

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_DETACHABLE_CALLBACK_H_
