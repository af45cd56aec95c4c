// The road from engine threads to the platform thread.
//
// Engine notifications arrive on engine threads; everything that touches a
// channel or a player's platform-thread state must run on the host's
// platform thread. A DispatcherQueue carries tasks there. SafeEnqueue posts
// to it and, where a system offers no queue, runs the task on the calling
// thread instead (the "inline" mode).
#ifndef CORVANE_PLATFORM_DISPATCHER_QUEUE_H_
#define CORVANE_PLATFORM_DISPATCHER_QUEUE_H_

#include <functional>
#include <memory>

#include "platform/hresult.h"

namespace corvane::platform {

class MediaPlayer;

// A task; what it raises is caught by whatever runs it and never reaches
// the engine or the host.
using DispatcherTask = std::function<void()>;

class DispatcherQueue {
 public:
  virtual ~DispatcherQueue() = default;

  // Any thread. Posts the task to run later on the queue's thread, in
  // posting order; never runs it inside the call and never blocks. Returns
  // true once the queue has taken the task. Returns false when the queue
  // has been shut down, and raises hresult_error when the post itself
  // fails; either way `task` is left as it was, with the caller: a queue
  // moves from it only once the post can no longer fail, so the caller
  // can still run it without having kept a copy.
  virtual bool TryEnqueue(DispatcherTask&& task) = 0;

  // Queue's thread. Drops every task not yet run and refuses later posts.
  virtual void Shutdown() = 0;
};

// Any thread; never raises. With a queue, posts the task (a refused task is
// dropped without a trace; a failed post runs it at once on the calling
// thread). Without a queue, runs the task at once on the calling thread.
void SafeEnqueue(DispatcherQueue* queue, DispatcherTask task) noexcept;

// The player's real-time playback flag, read and written without ever
// raising: a read that fails reports false, a write that fails is ignored.
// Both log the failure.
bool GetRealTimePlayback(const MediaPlayer& player) noexcept;
void SetRealTimePlayback(MediaPlayer& player, bool value) noexcept;

}  // namespace corvane::platform

#endif  // CORVANE_PLATFORM_DISPATCHER_QUEUE_H_
